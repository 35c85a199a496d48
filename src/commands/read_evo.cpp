// SPDX-License-Identifier: MIT
#include "commands/read_evo.h"

#include "commands/command_run.h"
#include "commands/feature_files.h"
#include "commands/frame_summary.h"
#include "engine/demux.h"

namespace morvale {

namespace {

constexpr const char* kNoStreamFound = "No video, audio or subpicture stream found.";

// The first part is opened shared: other programs may go on writing it.
constexpr FeaturePass kScanPass{ShareMode::Shared, "Reading", false, " "};

EngineOptions scanOptions(const CommandSettings& settings) {
    return {.mode = EngineMode::Scan,
            .countFrames = settings.options.countFrames,
            .details = settings.options.details,
            .fastCheck = settings.options.fastCheck,
            .runProgress = std::nullopt};
}

// Scans both parts into the outcome and lowers the subpicture time base. Throws FileError.
void scanFeature(Session& session, const CommandSettings& settings, CommandHost& host,
                 ReadEvoOutcome& outcome) {
    CommandEngineHost engineHost(host);
    const EngineOptions options = scanOptions(settings);
    runFeature(host, settings, secondPartOf(settings), kScanPass, {}, [&](SourceFile& source) {
        PartScan scan = demux(engineHost, session.control, source, options);
        if (scan.firstTimestamp && *scan.firstTimestamp < session.lastScan.subpictureTimeBase) {
            session.lastScan.subpictureTimeBase = *scan.firstTimestamp;
        }
        session.lastScan.bytesRead += scan.bytesRead;
        for (const ScannedStream& stream : scan.streams)
            session.lastScan.payloadBytes += stream.payloadBytes;
        outcome.parts.push_back({source.path(), std::move(scan)});
        return !session.control.cancelRequested;
    });
}

void takeVideoSize(LastScan& last, const ReadEvoOutcome& outcome) {
    for (const ScannedPart& part : outcome.parts) {
        for (const ScannedStream& stream : part.scan.streams) {
            if (stream.slotKind() != SlotKind::Video || stream.facts.width == 0 ||
                stream.facts.height == 0)
                continue;
            last.videoWidth = stream.facts.width;
            last.videoHeight = stream.facts.height;
            return;
        }
    }
}

bool anyStreamFound(const ReadEvoOutcome& outcome) {
    for (const ScannedPart& part : outcome.parts) {
        if (part.scan.slotTable.any()) return true;
    }
    return false;
}

// A stop that was not the user's was the fast-check limit, in the last part read.
void logFastCheckStop(CommandHost& host, const RunControl& control, const ReadEvoOutcome& outcome) {
    if (control.cancelledByUser || outcome.parts.empty()) return;
    const PartScan& last = outcome.parts.back().scan;
    if (last.interrupted) host.log(fastCheckStopLine(last.bytesRead));
}

}  // namespace

ReadEvoOutcome readEvo(Session& session, const CommandSettings& settings, CommandHost& host) {
    ReadEvoOutcome outcome;
    session.lastScan = {.source = {}, .slotTable = {}, .subpictureTimeBase = 0xFFFFFFFF};
    if (!runFileWork(host, [&] { scanFeature(session, settings, host, outcome); })) {
        return outcome;
    }
    session.lastScan.source = settings.source;
    session.lastScan.slotTable = outcome.lastSlots();
    session.lastScan.pictures = featurePictures(outcome.parts);
    takeVideoSize(session.lastScan, outcome);

    if (!anyStreamFound(outcome)) host.log(kNoStreamFound);
    logStoppedByUser(host, session.control, kStoppedScan);
    logFastCheckStop(host, session.control, outcome);
    logDone(host);
    logFrameCounts(host, outcome.parts, readEvoRunningDays, true);
    outcome.completed = true;
    return outcome;
}

}  // namespace morvale
