// SPDX-License-Identifier: MIT
#include "cli/cli_commands.h"

#include <functional>
#include <ostream>

#include "cli/cli_host.h"
#include "commands/demux_command.h"
#include "commands/mkv_command.h"
#include "commands/mkv_feature.h"
#include "commands/read_evo.h"
#include "commands/read_xpl.h"
#include "commands/rebuild_command.h"
#include "commands/selection.h"
#include "commands/stream_names.h"
#include "export/chapter_file.h"
#include "export/description_json.h"
#include "export/disc_description.h"
#include "export/disc_title_listing.h"
#include "export/disc_titles.h"
#include "export/feature_scan_recorder.h"
#include "export/playlist_model.h"
#include "platform/file.h"
#include "platform/file_identity.h"
#include "platform/paths.h"
#include "platform/stop_signals.h"

namespace morvale {

namespace {

// The settings of a source command as the window's controls would hold them after the
// source was chosen.
CommandSettings settingsOf(const SourceOptions& options) {
    CommandSettings settings;
    settings.source = options.source;
    settings.playlist = discPlaylistOf(options.source);
    settings.outputFolder = options.outputDir;
    settings.options = {!options.noContinue, !options.noFastCheck, !options.noCountFrames,
                        !options.noDetails};
    settings.extensions = {options.videoExt, options.audioExt, options.subExt};
    settings.subpictureFormat = options.subpictureFormat;
    return settings;
}

int statusOf(const CliHost& host) {
    if (host.failed()) return kExitFileError;
    if (StopSignals::received()) return kExitStopped;
    return kExitDone;
}

// What a source command runs after the scan: the session, the settings with the chosen
// streams, the host and what the scan found.
using AfterScan =
    std::function<void(Session&, const CommandSettings&, CliHost&, const ReadEvoOutcome&)>;

// Read EVO, the choice of streams, then the writing command (if any). The log goes to
// `log` (stdout unless the command prints something else there).
int scanThenRun(const SourceOptions& options, const CliStreams& streams, const AfterScan& command,
                std::ostream& log) {
    StopSignals signals;
    Session session;
    CliHost host(session.control, log, streams.err, streams.showStatus);
    CommandSettings settings = settingsOf(options);
    const ReadEvoOutcome scan = readEvo(session, settings, host);
    if (int status = statusOf(host); status != kExitDone) return status;

    settings.chosen = foundBoxes(scan.lastSlots());
    if (options.streams) {
        auto chosen = chooseStreams(settings.chosen, *options.streams);
        if (const std::string* missing = std::get_if<std::string>(&chosen)) {
            streams.err << "morvale-cli: " << options.source << " has no stream \"" << *missing
                        << "\"; the scan found: " << foundStreamsText(settings.chosen) << "\n";
            return kExitUsage;
        }
        settings.chosen = std::get<std::vector<ChosenBox>>(chosen);
    }
    if (!command) return kExitDone;
    command(session, settings, host, scan);
    return statusOf(host);
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

FeatureScan featureScanOf(const ReadEvoOutcome& scan) {
    FeatureScanRecorder recorder;
    for (const ScannedPart& part : scan.parts)
        recorder.addPart(part.path, part.scan);
    return recorder.scan();
}

}  // namespace

int runScan(const SourceOptions& options, const CliStreams& streams) {
    if (!options.json) return scanThenRun(options, streams, {}, streams.out);
    const auto printJson = [&](Session&, const CommandSettings& settings, CliHost& host,
                               const ReadEvoOutcome& scan) {
        const std::string playlistPath = options.playlist.empty() ? settings.playlist : options.playlist;
        try {
            const PlaylistForDescription playlist =
                readPlaylistFor(playlistPath, sourceBaseNameOf(settings.source));
            streams.out << featureDescriptionJson(describe(featureScanOf(scan), playlist));
            streams.out.flush();
        } catch (const FileError& error) {
            host.showError(error.what());
        }
    };
    return scanThenRun(options, streams, printJson, streams.err);
}

int runDemux(const SourceOptions& options, const CliStreams& streams) {
    return scanThenRun(
        options, streams,
        [](Session& session, const CommandSettings& settings, CliHost& host, const ReadEvoOutcome&) {
            demuxFeature(session, settings, host);
        },
        streams.out);
}

int runRebuild(const SourceOptions& options, const CliStreams& streams) {
    return scanThenRun(
        options, streams,
        [](Session& session, const CommandSettings& settings, CliHost& host, const ReadEvoOutcome&) {
            rebuildFeature(session, settings, host);
        },
        streams.out);
}

int runMkv(const SourceOptions& options, const CliStreams& streams) {
    MkvOptions mkv;
    mkv.output = options.mkvOutput;
    mkv.playlist = options.playlist;
    mkv.keepStreams = options.keepStreams;
    mkv.overwrite = options.overwrite;
    mkv.workFolderIn = options.workDir;
    SourceOptions scanned = options;
    scanned.streams.reset();  // chosen among every stream the scan met, below
    if (options.title) {
        std::string why;
        std::optional<MkvFeature> feature;
        try {
            feature = titleFeature(options.source, *options.title, why);
        } catch (const FileError& error) {
            streams.err << error.what() << "\n";
            return kExitFileError;
        }
        if (!feature) {
            streams.err << "morvale-cli: " << why << "\n";
            return kExitUsage;
        }
        mkv.title = MkvTitleChoice{options.source, *options.title};
        scanned.source = feature->parts.front();
        scanned.noContinue = true;  // the title's clips are its parts
    }
    int unmet = kExitDone;
    const int status = scanThenRun(
        scanned, streams,
        [&](Session& session, const CommandSettings& settings, CliHost& host, const ReadEvoOutcome& scan) {
            if (options.streams) {
                std::vector<PartScan> parts;
                for (const ScannedPart& part : scan.parts)
                    parts.push_back(part.scan);
                auto chosen = chooseMkvStreams(parts, *options.streams);
                if (const UnmetChoice* missing = std::get_if<UnmetChoice>(&chosen)) {
                    streams.err << "morvale-cli: " << scanned.source
                                << (missing->ambiguous ? " has more than one stream \""
                                                       : " has no stream \"")
                                << missing->name << "\""
                                << (missing->ambiguous ? " (name its id space: pes:, sub: or ext:)" : "")
                                << "\n";
                    unmet = kExitUsage;
                    return;
                }
                mkv.streams.only = std::get<std::vector<StreamId>>(chosen);
            }
            makeMkv(session, settings, mkv, host);
        },
        streams.out);
    return unmet != kExitDone ? unmet : status;
}

int runTitles(const TitlesOptions& options, const CliStreams& streams) {
    try {
        DiscTitles disc = readDiscTitles(options.disc);
        if (!disc.error.empty()) {
            streams.err << "morvale-cli: " << options.disc << ": " << disc.error << "\n";
            return kExitFileError;
        }
        if (options.json) {
            streams.out << featureDescriptionJson(describeDisc(std::move(disc)));
        } else {
            for (const std::string& line : discTitleLines(disc))
                streams.out << line << '\n';
        }
        streams.out.flush();
        return kExitDone;
    } catch (const FileError& error) {
        streams.err << error.what() << "\n";
        return kExitFileError;
    }
}

namespace {

// Without --source no title is chosen: one line tells which title the EVO of the playlist's
// first title that plays one would show, and how to ask for it.
std::string noSourceHint(const XplOptions& options) {
    std::string hint = "morvale-cli: no --source given, so no title is chosen; ";
    PlaylistForDescription playlist;
    try {
        playlist = readPlaylistFor(options.playlist, "");
    } catch (const FileError&) {
    }
    if (playlist.model) {
        const std::string videoFolder =
            siblingFolder(folderOf(options.playlist), kPlaylistFolder, kVideoFolder);
        const std::vector<PlaylistTitle>& titles = playlist.model->titles;
        for (size_t n = 0; n < titles.size(); ++n) {
            const PlaylistTitle& title = titles[n];
            // Its titleNumber, or where it stands among the titles when it has none.
            const size_t number = title.titleNumber > 0 ? title.titleNumber : n + 1;
            for (const PlaylistClip& clip : title.clips) {
                if (!clip.primary || clip.evoName.empty()) continue;
                hint += "--source " + videoFolder + clip.evoName + " shows title " +
                        std::to_string(number);
                return hint + (title.name.empty() ? "" : " \"" + title.name + "\"");
            }
        }
    }
    return hint + "name the EVO whose title to show with --source EVO";
}

// --json and --chapters of xpl: the title that plays the source, as the playlist model
// reads it. False when the chapters could not be written.
bool exportTitle(const XplOptions& options, const CliStreams& streams, std::ostream& log) {
    try {
        const PlaylistForDescription playlist =
            readPlaylistFor(options.playlist, sourceBaseNameOf(options.source));
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
        std::vector<std::string> inputs{options.playlist};
        if (!options.source.empty()) inputs.push_back(options.source);
        refuseOutputsOverInputs({options.chapters}, inputs);
        writeChapterFile(options.chapters, describe({}, playlist).title->chapters,
                         *chapterFormatOf(options.chapters));
        log << "Chapter file " << options.chapters << '\n';
        return true;
    } catch (const FileError& error) {
        streams.err << error.what() << "\n";
        return false;
    }
}

void printTree(const XplOutcome& outcome, std::ostream& out) {
    if (!outcome.tree) {
        for (const char* item : kUnlistedXplTree)
            out << item << '\n';
        return;
    }
    for (const std::string& line : xplTreeLines(*outcome.tree))
        out << line << '\n';
}

}  // namespace

int runXpl(const XplOptions& options, const CliStreams& streams) {
    StopSignals signals;
    Session session;
    std::ostream& log = options.json ? streams.err : streams.out;
    CliHost host(session.control, log, streams.err, streams.showStatus);
    CommandSettings settings;
    settings.source = options.source;
    settings.playlist = options.playlist;
    const XplOutcome outcome = readXpl(session, settings, host);
    if (host.failed()) return kExitFileError;
    if (options.outline) {
        for (const std::string& line : outcome.outline.value_or(std::vector<std::string>{}))
            streams.out << line << '\n';
    }
    if (options.tree) printTree(outcome, streams.out);
    if (options.source.empty()) streams.err << noSourceHint(options) << '\n';
    const bool exported = exportTitle(options, streams, log);
    streams.out.flush();
    return exported ? kExitDone : kExitFileError;
}

}  // namespace morvale
