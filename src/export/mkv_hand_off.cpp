#include "export/mkv_hand_off.h"

#include <algorithm>
#include <charconv>

namespace morvale {

namespace {

constexpr std::string_view kProgress = "#GUI#progress ";
constexpr std::string_view kWarning = "#GUI#warning ";
constexpr std::string_view kError = "#GUI#error ";

int64_t partDuration(const ScanPartTimes& part) {
    if (part.durationTicks) return *part.durationTicks;
    if (part.firstPts && part.lastPts)
        return std::max<int64_t>(0, ptsDifference(*part.lastPts, *part.firstPts));
    return 0;
}

MkvTrackInput trackOf(const StreamFiles& files) {
    const DescribedStream& described = files.stream;
    MkvTrackInput track;
    track.name = described.name;
    track.language = described.language;
    track.isDefault = described.isDefault;
    track.isVideo = described.scan.kind == ScanStreamKind::Video;
    for (size_t p = 0; p < files.parts.size(); ++p) {
        MkvPartInput part;
        part.path = files.parts[p].path;
        if (p < described.scan.parts.size()) {
            part.firstPts = described.scan.parts[p].firstPts;
            part.durationTicks = partDuration(described.scan.parts[p]);
        }
        track.parts.push_back(std::move(part));
    }
    return track;
}

}  // namespace

bool mkvmergeReads(const ScanStream& stream) {
    return stream.kind != ScanStreamKind::Subpicture;
}

HandOff planHandOff(const FeatureDescription& description, const std::vector<StreamFiles>& files,
                    const std::string& output, const std::string& chaptersPath) {
    HandOff handOff;
    handOff.job.output = output;
    if (description.title) {
        handOff.job.title = description.title->name.empty() ? description.title->playlistName
                                                            : description.title->name;
        if (!description.title->chapters.empty()) handOff.job.chaptersPath = chaptersPath;
    }
    for (const StreamFiles& stream : files) {
        if (mkvmergeReads(stream.stream.scan)) {
            handOff.job.tracks.push_back(trackOf(stream));
            continue;
        }
        LeftOutStream left{stream.caption, {}};
        for (const StreamPartFile& part : stream.parts)
            if (!part.path.empty()) left.paths.push_back(part.path);
        handOff.leftOut.push_back(std::move(left));
    }
    return handOff;
}

MkvmergeLine readMkvmergeLine(std::string_view line) {
    MkvmergeLine read;
    if (line.starts_with(kProgress)) {
        std::string_view number = line.substr(kProgress.size());
        int percent = 0;
        auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), percent);
        if (error == std::errc() && end != number.data() && percent >= 0 && percent <= 100) {
            read.kind = MkvmergeLine::Kind::Progress;
            read.percent = percent;
            return read;
        }
    }
    if (line.starts_with(kWarning)) {
        read.kind = MkvmergeLine::Kind::Warning;
        line.remove_prefix(kWarning.size());
    } else if (line.starts_with(kError)) {
        read.kind = MkvmergeLine::Kind::Error;
        line.remove_prefix(kError.size());
    }
    read.text = std::string(line);
    return read;
}

}  // namespace morvale
