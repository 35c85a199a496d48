#include "cli/cli_commands.h"

#include <functional>
#include <ostream>

#include "cli/cli_form.h"
#include "commands/demux_command.h"
#include "commands/mkv_command.h"
#include "commands/read_evo.h"
#include "commands/read_xpl.h"
#include "commands/rebuild_command.h"
#include "commands/selection.h"
#include "commands/stream_lists.h"
#include "export/chapter_file.h"
#include "export/description_json.h"
#include "export/playlist_model.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/stop_signals.h"

namespace morvale {

namespace {

// The window as the user leaves it before pressing a button: first activation (the boxes
// in their empty state), the options set, the source chosen.
void prepareSource(CliForm& form, Session& session, const SourceOptions& options) {
    Resetcbs(form);
    form.setText(Edit::Workdir, options.outputDir);
    form.setTicked(Option::Continue, !options.noContinue);
    form.setTicked(Option::FastCheck, !options.noFastCheck);
    form.setTicked(Option::CountFrames, !options.noCountFrames);
    form.setTicked(Option::Details, !options.noDetails);
    form.setText(Edit::VideoExt, options.videoExt);
    form.setText(Edit::AudioExt, options.audioExt);
    form.setText(Edit::SubExt, options.subExt);
    form.setText(Edit::EvoFile, options.source);
    EVOadj(form, session.selection);
}

int statusOf(const CliForm& form) {
    if (form.failed()) return kExitFileError;
    if (StopSignals::received()) return kExitStopped;
    return kExitDone;
}

// Read EVO, the choice of streams, then the writing command (if any). The log goes to
// `log` (stdout unless the command prints something else there).
int scanThenRun(const SourceOptions& options, const CliStreams& streams,
                const std::function<void(Session&, Form&)>& command, std::ostream& log,
                FeatureScanRecorder* recorder = nullptr) {
    StopSignals signals;
    Session session;
    session.scanRecorder = recorder;
    CliForm form(session, log, streams.err, streams.showStatus);
    prepareSource(form, session, options);
    bCheckClick(session, form);
    if (int status = statusOf(form); status != kExitDone) return status;

    if (options.streams) {
        if (std::optional<std::string> missing = applyStreamChoices(form, *options.streams)) {
            streams.err << "morvale-cli: " << options.source << " has no stream \"" << *missing
                        << "\"\n";
            return kExitUsage;
        }
    }
    if (!command) return kExitDone;
    command(session, form);
    return statusOf(form);
}

// The playlist's title that plays the source, read for a description; the reason when the
// playlist is no XML goes into the description.
struct PlaylistForDescription {
    std::optional<PlaylistModel> model;
    std::string path;
    std::string error;

    const PlaylistTitle* title() const {
        return model && model->chosenTitle ? &model->titles[*model->chosenTitle] : nullptr;
    }
    std::string displayName() const { return model ? model->displayName : std::string(); }
};

PlaylistForDescription readPlaylistFor(const std::string& path, const std::string& baseName) {
    PlaylistForDescription playlist;
    if (path.empty() || !fileExists(path)) return playlist;
    playlist.path = path;
    PlaylistReading reading = readPlaylistModelFile(path, baseName);
    playlist.model = std::move(reading.model);
    playlist.error = reading.error;
    return playlist;
}

FeatureDescription describe(const FeatureScan& scan, const PlaylistForDescription& playlist) {
    FeatureDescription description =
        describeFeature(scan, playlist.title(), playlist.displayName());
    description.playlistPath = playlist.path;
    description.playlistError = playlist.error;
    return description;
}

}  // namespace

int runScan(const SourceOptions& options, const CliStreams& streams) {
    if (!options.json) return scanThenRun(options, streams, {}, streams.out);
    FeatureScanRecorder recorder;
    const auto printJson = [&](Session& session, Form& form) {
        const std::string playlistPath =
            options.playlist.empty() ? form.text(Edit::XplFile) : options.playlist;
        try {
            const PlaylistForDescription playlist =
                readPlaylistFor(playlistPath, session.selection.sourceBaseName);
            streams.out << featureDescriptionJson(describe(recorder.scan(), playlist));
            streams.out.flush();
        } catch (const FileError& error) {
            form.showError(error.what());
        }
    };
    return scanThenRun(options, streams, printJson, streams.err, &recorder);
}

int runDemux(const SourceOptions& options, const CliStreams& streams) {
    return scanThenRun(options, streams, bDemuxClick, streams.out);
}

int runRebuild(const SourceOptions& options, const CliStreams& streams) {
    return scanThenRun(options, streams, bRebuildClick, streams.out);
}

int runMkv(const SourceOptions& options, const CliStreams& streams) {
    const MkvOptions mkv{options.mkvOutput, options.playlist, options.keepStreams};
    return scanThenRun(
        options, streams, [&](Session& session, Form& form) { bMakeMkvClick(session, form, mkv); },
        streams.out);
}

namespace {

// --json and --chapters of xpl: the title that plays the source, as the playlist model
// reads it. False when the chapters could not be written.
bool exportTitle(const XplOptions& options, const Session& session, const CliStreams& streams) {
    try {
        const PlaylistForDescription playlist =
            readPlaylistFor(options.playlist, session.selection.sourceBaseName);
        if (options.json) streams.out << featureDescriptionJson(describe({}, playlist));
        if (options.chapters.empty()) return true;
        if (!playlist.title()) {
            streams.err << "morvale-cli: no chapters written: "
                        << (playlist.error.empty()
                                ? "the playlist has no title that plays the source"
                                : fileNameOf(options.playlist) + " is " + playlist.error)
                        << "\n";
            return false;
        }
        writeChapterFile(options.chapters, describe({}, playlist).title->chapters,
                         *chapterFormatOf(options.chapters));
        return true;
    } catch (const FileError& error) {
        streams.err << error.what() << "\n";
        return false;
    }
}

}  // namespace

int runXpl(const XplOptions& options, const CliStreams& streams) {
    StopSignals signals;
    Session session;
    CliForm form(session, options.json ? streams.err : streams.out, streams.err,
                 streams.showStatus);
    Resetcbs(form);
    if (!options.source.empty()) {
        form.setText(Edit::EvoFile, options.source);
        EVOadj(form, session.selection);
    }
    form.setText(Edit::XplFile, options.playlist);
    XPLadj(form, session.selection);
    bReadXPLClick(session, form);
    if (form.failed()) return kExitFileError;
    if (options.outline) {
        for (const std::string& line : form.xplOutline())
            streams.out << line << '\n';
    }
    if (options.tree) {
        for (const std::string& line : xplTreeLines(form.xplTree()))
            streams.out << line << '\n';
    }
    const bool exported = exportTitle(options, session, streams);
    streams.out.flush();
    return exported ? kExitDone : kExitFileError;
}

}  // namespace morvale
