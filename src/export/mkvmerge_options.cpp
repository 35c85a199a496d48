#include "export/mkvmerge_options.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "export/feature_description.h"

namespace morvale {

namespace {

constexpr int64_t kTicksPerMs = kTicksPerSecond / 1000;

bool hasFile(const MkvTrackInput& track, size_t part) {
    return part < track.parts.size() && !track.parts[part].path.empty();
}

bool hasTime(const MkvTrackInput& track, size_t part) {
    return hasFile(track, part) && track.parts[part].firstPts.has_value();
}

size_t partCount(const MkvJob& job) {
    size_t count = 0;
    for (const MkvTrackInput& track : job.tracks)
        count = std::max(count, track.parts.size());
    return count;
}

// The stream a part's timeline is measured against: its first video with a timestamp,
// otherwise its stream with the earliest one.
std::optional<size_t> referenceOf(const MkvJob& job, size_t part) {
    std::optional<size_t> earliest;
    for (size_t t = 0; t < job.tracks.size(); ++t) {
        if (!hasTime(job.tracks[t], part)) continue;
        if (job.tracks[t].isVideo) return t;
        if (!earliest || ptsDifference(*job.tracks[t].parts[part].firstPts,
                                       *job.tracks[*earliest].parts[part].firstPts) < 0) {
            earliest = t;
        }
    }
    return earliest;
}

// Where each file lands (its start on the output timeline, in ticks) as planned so far.
struct Placement {
    std::vector<std::vector<std::optional<int64_t>>> start;  // [track][part]
    std::vector<std::vector<std::optional<int64_t>>> syncMs;
};

// The output time of the reference's start in `part`: 0 shifted so that no stream of the
// first part starts before 0; later, where the previous part's reference (or, without one
// in both, the previous part's latest stream) ended.
int64_t referenceStart(const MkvJob& job, const Placement& placed, size_t part, size_t reference) {
    const uint32_t referencePts = *job.tracks[reference].parts[part].firstPts;
    if (part == 0) {
        int64_t earliest = 0;
        for (const MkvTrackInput& track : job.tracks) {
            if (hasTime(track, 0)) {
                earliest =
                    std::min(earliest, ptsDifference(*track.parts[0].firstPts, referencePts));
            }
        }
        return -earliest;
    }
    std::optional<int64_t> end;
    const MkvTrackInput& ref = job.tracks[reference];
    if (placed.start[reference][part - 1] && hasFile(ref, part - 1)) {
        return *placed.start[reference][part - 1] + ref.parts[part - 1].durationTicks;
    }
    for (size_t t = 0; t < job.tracks.size(); ++t) {
        if (!placed.start[t][part - 1]) continue;
        const int64_t trackEnd =
            *placed.start[t][part - 1] + job.tracks[t].parts[part - 1].durationTicks;
        end = std::max(end.value_or(trackEnd), trackEnd);
    }
    return end.value_or(0);
}

int64_t roundedMs(int64_t ticks) {
    return ticksToMilliseconds(ticks);
}

}  // namespace

std::vector<std::vector<std::optional<int64_t>>> planSync(const MkvJob& job) {
    const size_t parts = partCount(job);
    Placement placed;
    placed.start.assign(job.tracks.size(), std::vector<std::optional<int64_t>>(parts));
    placed.syncMs.assign(job.tracks.size(), std::vector<std::optional<int64_t>>(parts));
    // Where the next file of each track starts when it is given no --sync.
    std::vector<std::optional<int64_t>> natural(job.tracks.size());

    for (size_t part = 0; part < parts; ++part) {
        const std::optional<size_t> reference = referenceOf(job, part);
        const int64_t origin = reference ? referenceStart(job, placed, part, *reference) : 0;
        for (size_t t = 0; t < job.tracks.size(); ++t) {
            const MkvTrackInput& track = job.tracks[t];
            if (!hasFile(track, part)) continue;
            const int64_t from = natural[t].value_or(0);
            int64_t sync = 0;
            if (reference && hasTime(track, part)) {
                const int64_t wanted =
                    origin + ptsDifference(*track.parts[part].firstPts,
                                           *job.tracks[*reference].parts[part].firstPts);
                sync = roundedMs(wanted - from);
            }
            placed.syncMs[t][part] = sync;
            placed.start[t][part] = from + sync * kTicksPerMs;
            natural[t] = *placed.start[t][part] + track.parts[part].durationTicks;
        }
    }
    return placed.syncMs;
}

std::vector<std::string> mkvmergeArguments(const MkvJob& job) {
    std::vector<std::string> args = {"--output", job.output};
    if (!job.title.empty()) args.insert(args.end(), {"--title", job.title});
    if (!job.chaptersPath.empty()) args.insert(args.end(), {"--chapters", job.chaptersPath});

    const auto sync = planSync(job);
    std::string appendMap;
    int fileNumber = 0;
    for (size_t t = 0; t < job.tracks.size(); ++t) {
        const MkvTrackInput& track = job.tracks[t];
        std::optional<int> previousFile;
        for (size_t part = 0; part < track.parts.size(); ++part) {
            if (!hasFile(track, part)) continue;
            if (!previousFile) {
                args.insert(args.end(), {"--language", "0:" + track.language});
                if (!track.name.empty())
                    args.insert(args.end(), {"--track-name", "0:" + track.name});
                args.insert(args.end(),
                            {"--default-track-flag", track.isDefault ? "0:yes" : "0:no"});
            }
            if (sync[t][part].value_or(0) != 0) {
                args.insert(args.end(), {"--sync", "0:" + std::to_string(*sync[t][part])});
            }
            if (previousFile) {
                args.push_back("+");
                if (!appendMap.empty()) appendMap += ",";
                appendMap +=
                    std::to_string(fileNumber) + ":0:" + std::to_string(*previousFile) + ":0";
            }
            args.push_back(track.parts[part].path);
            previousFile = fileNumber++;
        }
    }
    if (!appendMap.empty()) args.insert(args.end(), {"--append-to", appendMap});
    return args;
}

std::string mkvmergeOptionsFile(const std::vector<std::string>& arguments) {
    return nlohmann::json(arguments).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) +
           "\n";
}

}  // namespace morvale
