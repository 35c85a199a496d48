#include "commands/mkv_command.h"

#include "commands/command_run.h"
#include "commands/feature_files.h"
#include "commands/mkv_hand_off_files.h"
#include "commands/mkv_work_streams.h"
#include "commands/mkvmerge_run.h"
#include "platform/folders.h"
#include "platform/paths.h"

namespace morvale {

namespace {

constexpr const char* kStoppedMkv = "Stopped by Cancel: no Matroska file was made.";

// After a good mkvmerge: the demuxed streams go unless they are to be kept; the subpictures
// that were left out stay.
void tidyUp(const PreparedHandOff& prepared, const MkvLayout& layout, bool keepStreams) {
    if (keepStreams) return;
    for (const std::string& path : prepared.streamFiles)
        removeFile(path);
    for (const char* suffix : {".json", ".chapters.xml", ".mkvmerge.json"})
        removeFile(layout.stem + suffix);
    removeEmptyFolder(layout.work.substr(0, layout.work.size() - 1));
}

}  // namespace

std::string mkvOutputPath(const CommandSettings& settings, const MkvOptions& options) {
    if (upperExtension(options.output) == ".MKV") return options.output;
    const std::string base = featureBaseName(settings, secondPartOf(settings));
    const std::string& folder = options.output.empty() ? settings.outputFolder : options.output;
    return withTrailingSeparator(folder) + base + ".mkv";
}

MkvEnd makeMkv(Session& session, const CommandSettings& settings, const MkvOptions& options,
               CommandHost& host) {
    const MkvLayout layout = mkvLayoutOf(settings, options);
    WorkStreams streams;
    if (!runFileWork(host, [&] { streams.demux(session, settings, host, layout); })) {
        return MkvEnd::FileError;
    }
    if (session.control.cancelRequested) {
        host.log(kStoppedMkv);
        logDone(host);
        return MkvEnd::Done;
    }
    PreparedHandOff prepared;
    if (!runFileWork(host, [&] { prepared = prepareHandOff(streams, settings, options, layout, host); })) {
        return MkvEnd::FileError;
    }
    const bool made = runMkvmerge(layout, prepared.optionsFile, session.control, host);
    if (!made && !session.control.cancelRequested) return MkvEnd::NotMade;
    if (made) {
        tidyUp(prepared, layout, options.keepStreams);
        host.log("Matroska file " + layout.output);
    }
    logDone(host);
    return MkvEnd::Done;
}

}  // namespace morvale
