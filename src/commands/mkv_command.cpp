// SPDX-License-Identifier: MIT
#include "commands/mkv_command.h"

#include <cerrno>
#include <optional>

#include "commands/cancel_command.h"
#include "commands/command_run.h"
#include "commands/feature_files.h"
#include "commands/mkv_feature.h"
#include "commands/mkv_tracks.h"
#include "commands/mkvmerge_run.h"
#include "engine/demux.h"
#include "export/chapter_file.h"
#include "export/description_json.h"
#include "export/feature_scan_recorder.h"
#include "platform/child_process.h"
#include "platform/file.h"
#include "platform/file_identity.h"
#include "platform/folders.h"
#include "platform/free_space.h"
#include "platform/paths.h"
#include "platform/staged_file.h"
#include "platform/work_folder.h"

namespace morvale {

namespace {

constexpr const char* kStoppedMkv = "Stopped by Cancel: no Matroska file was made.";
// The work folder's own files, beside the streams.
constexpr const char* kOptionsFile = "mkvmerge.json";
constexpr const char* kChaptersFile = "chapters.xml";
constexpr const char* kDescriptionFile = "feature.json";
// The Matroska file takes about as many bytes as the streams' work files; a little more
// for its own structure.
constexpr int64_t kMatroskaOverheadPercent = 2;

void writeText(const std::string& path, const std::string& text) {
    OutputFile file = OutputFile::create(path);
    file.write(text.data(), text.size());
    file.close();
}

int64_t sizeOf(const std::string& path) {
    return SourceFile::open(path, ShareMode::Shared).size();
}

std::string mebibytes(int64_t bytes) {
    return std::to_string(bytes / kMegabyte) + " Mbytes";
}

MkvFeature featureOf(const CommandSettings& settings, const MkvOptions& options, CommandHost& host) {
    if (!options.title) {
        return sourceFeature(settings, options.playlist.empty() ? settings.playlist : options.playlist,
                             host);
    }
    std::string why;
    std::optional<MkvFeature> feature = titleFeature(options.title->disc, options.title->number, why);
    if (!feature) throw FileError("Cannot make title " + std::to_string(options.title->number) + ": " + why);
    host.log("Title " + std::to_string(options.title->number) + ": " + feature->baseName + ", " +
             std::to_string(feature->parts.size()) + " part" + (feature->parts.size() == 1 ? "" : "s"));
    return std::move(*feature);
}

std::string outputPathOf(const MkvFeature& feature, const CommandSettings& settings,
                         const MkvOptions& options) {
    if (upperExtension(options.output) == ".MKV") return options.output;
    const std::string& folder = options.output.empty() ? settings.outputFolder : options.output;
    return withTrailingSeparator(folder) + feature.baseName + ".mkv";
}

// The checks before anything is written: the output's folder is there, the output is none
// of the files being read, and a file standing there may be replaced. False when the user
// chose to keep it. Throws FileError.
bool outputAllowed(const std::string& output, const MkvFeature& feature, const MkvOptions& options,
                   CommandHost& host) {
    requireFolder(outputFolderOf(output));
    std::vector<std::string> inputs = feature.parts;
    if (!feature.playlistPath.empty()) inputs.push_back(feature.playlistPath);
    if (clashingInput(output, inputs)) {
        throw FileError("Cannot create file \"" + absolutePath(output) +
                        "\". It is one of the files being read.");
    }
    if (!pathTaken(output) || options.overwrite) return true;
    if (pathKindOf(output) == PathKind::Folder) throw FileError(cannotCreateMessage(output, EISDIR));
    if (!options.askBeforeReplacing) {
        throw FileError("Cannot create file \"" + absolutePath(output) +
                        "\". It exists; --overwrite replaces it.");
    }
    if (host.askYesNo(kConfirmTitle, fileNameOf(output) + " exists. Replace it?")) return true;
    host.log("Not replaced: " + output);
    return false;
}

WorkFolder claimWorkFolder(const std::string& path, CommandHost& host) {
    WorkFolderClaim claim = WorkFolder::claim(path);
    if (!claim.folder) {
        throw FileError("Cannot use the work folder \"" + absolutePath(path) + "\": it " +
                        (claim.refusal.rfind("in use", 0) == 0 ? "is " : "") + claim.refusal + ".");
    }
    if (claim.leftOverRemoved) host.log("Removed what a stopped run had left in " + path);
    host.log("Work folder " + claim.folder->path());
    return std::move(*claim.folder);
}

std::string workFolderPathOf(const std::string& output, const MkvOptions& options) {
    const std::string name = fileNameOf(output.substr(0, output.size() - 4)) + ".work";
    if (!options.workFolderIn.empty()) return withTrailingSeparator(options.workFolderIn) + name;
    return output.substr(0, output.size() - 4) + ".work";
}

// What the parts hold of the streams, as the last scan found their share of its source.
int64_t streamBytesEstimate(const std::vector<std::string>& parts, const LastScan& scan) {
    int64_t total = 0;
    for (const std::string& part : parts)
        total += sizeOf(part);
    if (scan.bytesRead <= 0) return total;
    return static_cast<int64_t>(static_cast<long double>(total) * scan.payloadBytes / scan.bytesRead);
}

bool onOneFileSystem(const WorkFolder& work, const std::string& output) {
    const auto a = fileIdentityOf(work.path());
    const auto b = fileIdentityOf(outputFolderOf(output));
    return a && b && a->device == b->device;
}

// The work files and the Matroska file must fit where they go (twice on one file system).
void checkFreeSpace(const WorkFolder& work, const std::string& output, int64_t streamBytes) {
    const int64_t matroska = streamBytes + streamBytes * kMatroskaOverheadPercent / 100;
    const bool oneFileSystem = onOneFileSystem(work, output);
    const auto check = [](const std::string& folder, int64_t needed, const std::string& what) {
        const std::optional<uint64_t> free = freeBytesFor(folder);
        if (!free || *free >= static_cast<uint64_t>(needed)) return;
        throw FileError("Not enough free space in \"" + absolutePath(folder) + "\": " + what +
                        " needs about " + mebibytes(needed) + ", " +
                        mebibytes(static_cast<int64_t>(*free)) + " are free.");
    };
    if (oneFileSystem) {
        check(work.path(), streamBytes + matroska, "the Matroska file with its work files");
    } else {
        check(work.path(), streamBytes, "the work files");
        check(outputFolderOf(output), matroska, "the Matroska file");
    }
}

// One part after the other into the work folder, with one bar over all of them.
struct DemuxedFeature {
    FeatureScanRecorder recorder;
    int64_t bytesRead = 0;
    double startDays = 0;
};

// The bar counts the bytes the demux reads and then those mkvmerge multiplexes (about the
// streams' bytes), so it runs once from 0 to its end over the whole run.
void demuxParts(Session& session, const CommandSettings& settings, const MkvFeature& feature,
                int64_t streamBytes, MkvStreams& streams, DemuxedFeature& demuxed,
                CommandHost& host) {
    CommandEngineHost engineHost(host);
    int64_t total = streamBytes;
    for (const std::string& part : feature.parts)
        total += sizeOf(part);
    demuxed.startDays = host.clock().now();
    for (size_t p = 0; p < feature.parts.size(); ++p) {
        const std::string& path = feature.parts[p];
        host.log((p == 0 ? "Opening file " : "Continue on ") + fileNameOf(path));
        SourceFile source = SourceFile::open(path, ShareMode::Exclusive);
        host.log(fileSizeLine(source.size()));
        host.slog("Demuxing " + fileNameOf(path), Panel::State);
        const EngineOptions options{
            .mode = EngineMode::Demux,
            .countFrames = true,
            .details = settings.options.details,
            .runProgress = RunProgress{demuxed.bytesRead, total, demuxed.startDays}};
        DemuxOutputs outputs;
        outputs.router = &streams;
        streams.beginPart();
        const PartScan scan = demux(engineHost, session.control, source, options, &outputs);
        streams.endPart(scan);
        demuxed.recorder.addPart(path, scan);
        demuxed.bytesRead += scan.bytesRead;
        if (session.control.cancelRequested) break;
    }
    streams.close();
}

// The files the options name: by their names in the work folder, where mkvmerge runs; by
// their full paths for a user who runs it by hand.
std::string nameFor(const std::string& path, const std::string& folder, bool local) {
    if (local && path.rfind(folder, 0) == 0) return path.substr(folder.size());
    return absolutePath(path);
}

MkvJob localJob(MkvJob job, const std::string& folder, bool local) {
    if (!job.chaptersPath.empty()) job.chaptersPath = nameFor(job.chaptersPath, folder, local);
    for (MkvTrackInput& track : job.tracks) {
        if (!track.timestampsPath.empty())
            track.timestampsPath = nameFor(track.timestampsPath, folder, local);
        for (MkvFile& file : track.files)
            file.path = nameFor(file.path, folder, local);
    }
    job.output = nameFor(job.output, folder, local);
    return job;
}

// The description, the chapters and the tracks. Throws FileError.
MkvJob handOff(MkvStreams& streams, const MkvFeature& feature, const DemuxedFeature& demuxed,
               const WorkFolder& work, const std::string& stem, CommandHost& host) {
    const PlaylistTitle* title = feature.title ? &*feature.title : nullptr;
    FeatureDescription description = describeFeature(demuxed.recorder.scan(), title, feature.playlistName);
    description.playlistPath = feature.playlistPath;
    description.playlistError = feature.playlistError;
    writeText(work.path() + kDescriptionFile, featureDescriptionJson(description));
    MkvJob job;
    if (description.title && !description.title->chapters.empty()) {
        job.chaptersPath = work.path() + kChaptersFile;
        writeChapterFile(job.chaptersPath, description.title->chapters, ChapterFormat::MatroskaXml);
    }
    if (feature.title && !feature.title->name.empty()) job.title = feature.title->name;
    job.tracks = makeTracks(streams, feature, stem, host).tracks;
    return job;
}

// Without mkvmerge: the work folder stays as the user's, with options that name the
// Matroska file itself, and the log says how to finish.
void leaveForHand(WorkFolder& work, const MkvJob& job, const std::string& output, CommandHost& host) {
    MkvJob byHand = localJob(job, work.path(), false);
    byHand.output = absolutePath(output);
    const std::string options = work.path() + kOptionsFile;
    writeText(options, mkvmergeOptionsFile(mkvmergeArguments(byHand)));
    work.keep();
    host.log("mkvmerge was not found. The streams, chapters and options are in " + work.path());
    host.log("To make " + output + ", install mkvtoolnix and run: mkvmerge @" + absolutePath(options));
    host.showError("mkvmerge was not found: " + output + " was not made.");
}

void finishWork(WorkFolder& work, bool keep, CommandHost& host) {
    if (keep) {
        work.keep();
        host.log("The work files are kept in " + work.path());
    } else if (!work.release()) {
        host.log("The work folder " + work.path() + " holds files of another program and stays.");
    }
}

// The steps after the checks. Throws FileError.
MkvEnd makeInto(Session& session, const CommandSettings& settings, const MkvOptions& options,
                const MkvFeature& feature, const std::string& output, bool replacing,
                CommandHost& host) {
    WorkFolder work = claimWorkFolder(workFolderPathOf(output, options), host);
    const int64_t estimate = streamBytesEstimate(feature.parts, session.lastScan);
    checkFreeSpace(work, output, estimate);
    const std::string stem = work.path() + feature.baseName;
    MkvStreams streams(stem, options.streams, static_cast<int>(feature.parts.size()));
    DemuxedFeature demuxed;
    demuxParts(session, settings, feature, estimate, streams, demuxed, host);
    if (session.control.cancelRequested) {
        finishWork(work, options.keepStreams, host);
        host.log(kStoppedMkv);
        logDone(host);
        return MkvEnd::Done;
    }
    MkvJob job = handOff(streams, feature, demuxed, work, stem, host);
    if (!findProgram("mkvmerge")) {
        leaveForHand(work, job, output, host);
        return MkvEnd::NotMade;
    }
    // Staged in the work folder where it lies on the Matroska file's file system: a killed
    // run's half-made file then goes with the work folder it left.
    StagedFile staged = onOneFileSystem(work, output) ? StagedFile::create(output, work.path())
                                                      : StagedFile::create(output);
    job.output = staged.path();
    writeText(work.path() + kOptionsFile,
              mkvmergeOptionsFile(mkvmergeArguments(localJob(job, work.path(), true))));
    const MkvmergeJob run{work.path(), kOptionsFile, staged.path(), output, demuxed.bytesRead,
                          estimate, demuxed.startDays};
    const MkvmergeEnd end = runMkvmerge(run, session.control, host);
    if (end == MkvmergeEnd::Made) {
        staged.commit(replacing ? StagedFile::Replace::Existing : StagedFile::Replace::Never);
        finishWork(work, options.keepStreams, host);
        host.log("Matroska file " + output);
        logDone(host);
        return MkvEnd::Done;
    }
    staged.discard();
    finishWork(work, options.keepStreams, host);
    if (end == MkvmergeEnd::Stopped) {
        host.log(kStoppedMkv);
        logDone(host);
        return MkvEnd::Done;
    }
    return MkvEnd::NotMade;
}

}  // namespace

MkvEnd makeMkv(Session& session, const CommandSettings& settings, const MkvOptions& options,
               CommandHost& host) {
    MkvEnd end = MkvEnd::FileError;
    runFileWork(host, [&] {
        const MkvFeature feature = featureOf(settings, options, host);
        const std::string output = outputPathOf(feature, settings, options);
        if (!outputAllowed(output, feature, options, host)) {
            end = MkvEnd::NotMade;
            logDone(host);
            return;
        }
        // A file that appears there meanwhile is not one the user let go.
        const bool replacing = pathTaken(output);
        end = makeInto(session, settings, options, feature, output, replacing, host);
    });
    return end;
}

}  // namespace morvale
