#include "commands/mkv_hand_off_files.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "commands/selection.h"
#include "export/chapter_file.h"
#include "export/description_json.h"
#include "export/playlist_model.h"
#include "export/wav_writer.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/paths.h"

namespace morvale {

namespace {

constexpr int64_t kCopyPiece = 1 << 20;

int64_t fileSizeOf(const std::string& path) {
    return SourceFile::open(path, ShareMode::Shared).size();
}

// A part file that received nothing is no file of the stream.
std::string usable(const std::string& path) {
    if (path.empty() || !fileExists(path)) return {};
    if (fileSizeOf(path) > 0) return path;
    removeFile(path);
    return {};
}

void writeText(const std::string& path, const std::string& text) {
    OutputFile file = OutputFile::create(path);
    file.write(text.data(), text.size());
    file.close();
}

std::string joined(const std::vector<std::string>& paths) {
    std::string text;
    for (const std::string& path : paths)
        text += (text.empty() ? "" : ", ") + path;
    return text;
}

uint64_t convertToWav(const std::string& lpcm, const std::string& wav, const LpcmFormat& format,
                      LpcmLayout layout, CommandHost& host) {
    host.log("Converting " + fileNameOf(lpcm) + " to WAV");
    SourceFile in = SourceFile::open(lpcm, ShareMode::Shared);
    LpcmWavWriter writer(wav, format, layout);
    const auto buffer = std::make_unique<uint8_t[]>(kCopyPiece);
    while (true) {
        const int64_t got = in.read(buffer.get(), kCopyPiece);
        if (got <= 0) break;
        writer.write({buffer.get(), size_t(got)});
    }
    writer.close();
    return writer.dataBytes();
}

// Every part of every LPCM stream becomes WAV; its duration follows from its samples.
void convertLpcm(WorkStreams& streams, FeatureScan& scan, bool keepStreams, CommandHost& host) {
    for (ScanStream& stream : scan.streams) {
        std::vector<std::string>* files = streams.filesOf(stream);
        if (files == nullptr || !workFileKindOf(stream.format).lpcm) continue;
        const std::optional<LpcmFormat> format = streams.recorder().lpcmFormat(stream);
        for (size_t p = 0; p < files->size(); ++p) {
            std::string& path = (*files)[p];
            if (usable(path).empty()) {
                path.clear();
                continue;
            }
            if (!format) {
                host.log(fileNameOf(path) + ": the LPCM format is not one this program knows");
                path.clear();
                continue;
            }
            const std::string wav = path.substr(0, path.size() - 4) + "wav";
            const LpcmLayout layout = streams.recorder().lpcmLayout();
            const uint64_t bytes = convertToWav(path, wav, *format, layout, host);
            if (!keepStreams) removeFile(path);
            path = wav;
            if (p < stream.parts.size()) {
                const uint64_t frames = bytes / uint64_t(wavFormatOf(*format).frameBytes());
                stream.parts[p].durationTicks =
                    int64_t(frames * kTicksPerSecond / uint64_t(format->sampleRate));
            }
        }
    }
}

// The audio mkvmerge reads as it is lasts as long as its units.
void timeAudio(WorkStreams& streams, FeatureScan& scan) {
    for (ScanStream& stream : scan.streams) {
        std::vector<std::string>* files = streams.filesOf(stream);
        const std::optional<AudioCoding> coding = workFileKindOf(stream.format).coding;
        if (files == nullptr || !coding) continue;
        for (size_t p = 0; p < files->size() && p < stream.parts.size(); ++p) {
            const std::string path = usable((*files)[p]);
            (*files)[p] = path;
            if (!path.empty()) stream.parts[p].durationTicks = audioFileDurationTicks(path, *coding);
        }
    }
}

// The playlist and its title that plays the source, with why there is none.
struct HandOffPlaylist {
    std::optional<PlaylistModel> model;
    std::string path;
    std::string error;
};

HandOffPlaylist readPlaylist(const std::string& path, const std::string& sourceBaseName,
                             CommandHost& host) {
    HandOffPlaylist playlist;
    if (path.empty() || !fileExists(path)) {
        host.log("No playlist: the Matroska file gets no names, languages or chapters.");
        return playlist;
    }
    playlist.path = path;
    PlaylistReading reading = readPlaylistModelFile(path, sourceBaseName);
    if (!reading.model) {
        playlist.error = reading.error;
        host.log(fileNameOf(path) + " is " + reading.error +
                 "; the Matroska file gets no names, languages or chapters from it.");
        return playlist;
    }
    if (!reading.model->chosenTitle) {
        host.log(fileNameOf(path) + " has no title that plays " + sourceBaseName + ".");
    }
    playlist.model = std::move(reading.model);
    return playlist;
}

FeatureDescription describe(const FeatureScan& scan, const HandOffPlaylist& playlist) {
    const PlaylistModel* model = playlist.model ? &*playlist.model : nullptr;
    const PlaylistTitle* title =
        model && model->chosenTitle ? &model->titles[*model->chosenTitle] : nullptr;
    FeatureDescription description =
        describeFeature(scan, title, model ? model->displayName : std::string());
    description.playlistPath = playlist.path;
    description.playlistError = playlist.error;
    return description;
}

// The files of each chosen stream; those mkvmerge reads are the hand-off's own.
std::vector<StreamFiles> streamFilesOf(WorkStreams& streams, const FeatureDescription& description,
                                       std::vector<std::string>& handedOff) {
    std::vector<StreamFiles> all;
    for (const DescribedStream& stream : description.streams) {
        std::vector<std::string>* files = streams.filesOf(stream.scan);
        if (files == nullptr || std::all_of(files->begin(), files->end(),
                                            [](const std::string& p) { return p.empty(); })) {
            continue;  // no box, or its box was not ticked
        }
        StreamFiles entry{stream, streams.captionOf(stream.scan), {}};
        for (const std::string& path : *files) {
            const std::string file = usable(path);
            entry.parts.push_back({file});
            if (!file.empty() && mkvmergeReads(stream.scan)) handedOff.push_back(file);
        }
        all.push_back(std::move(entry));
    }
    return all;
}

void logLeftOut(const HandOff& handOff, CommandHost& host) {
    for (const LeftOutStream& left : handOff.leftOut) {
        std::string line = left.caption + " left out: mkvmerge cannot read these subpictures";
        if (!left.paths.empty()) line += "; they are in " + joined(left.paths);
        host.log(line);
    }
}

}  // namespace

PreparedHandOff prepareHandOff(WorkStreams& streams, const CommandSettings& settings,
                               const MkvOptions& options, const MkvLayout& layout,
                               CommandHost& host) {
    FeatureScan scan = streams.recorder().scan();
    convertLpcm(streams, scan, options.keepStreams, host);
    timeAudio(streams, scan);
    const std::string playlistPath = options.playlist.empty() ? settings.playlist : options.playlist;
    const HandOffPlaylist playlist =
        readPlaylist(playlistPath, sourceBaseNameOf(settings.source), host);
    const FeatureDescription description = describe(scan, playlist);
    writeText(layout.stem + ".json", featureDescriptionJson(description));

    std::string chapters;
    if (description.title && !description.title->chapters.empty()) {
        chapters = layout.stem + ".chapters.xml";
        writeChapterFile(chapters, description.title->chapters, ChapterFormat::MatroskaXml);
    }
    PreparedHandOff prepared;
    prepared.handOff = planHandOff(description, streamFilesOf(streams, description, prepared.streamFiles),
                                   layout.output, chapters);
    prepared.optionsFile = layout.stem + ".mkvmerge.json";
    writeText(prepared.optionsFile, mkvmergeOptionsFile(mkvmergeArguments(prepared.handOff.job)));
    logLeftOut(prepared.handOff, host);
    return prepared;
}

}  // namespace morvale
