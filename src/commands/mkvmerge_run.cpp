#include "commands/mkvmerge_run.h"

#include <optional>

#include "export/mkv_hand_off.h"
#include "platform/child_process.h"
#include "platform/folders.h"
#include "platform/paths.h"

namespace morvale {

namespace {

constexpr const char* kMkvmerge = "mkvmerge";

void showLine(std::string_view line, std::string& lastError, CommandHost& host) {
    const MkvmergeLine read = readMkvmergeLine(line);
    switch (read.kind) {
        case MkvmergeLine::Kind::Progress:
            host.slog("Multiplexing: " + std::to_string(read.percent) + "%", Panel::Progress);
            host.showProgress({read.percent, 100});
            break;
        case MkvmergeLine::Kind::Warning:
            host.log("mkvmerge warning: " + read.text);
            break;
        case MkvmergeLine::Kind::Error:
            host.log("mkvmerge error: " + read.text);
            lastError = read.text;
            break;
        case MkvmergeLine::Kind::Other:
            break;
    }
}

bool finish(const ChildOutcome& outcome, const std::string& lastError, const MkvLayout& layout,
            CommandHost& host) {
    const bool made = outcome.started && !outcome.stopped &&
                      (outcome.exitStatus == 0 || outcome.exitStatus == 1);
    if (made) return true;
    // Never leave a half-written file where the Matroska file is expected.
    removeFile(layout.output);
    if (outcome.stopped) {
        host.log("Stopped by Cancel: no Matroska file was made.");
        return false;
    }
    std::string reason = !outcome.started ? outcome.startError
                         : !lastError.empty()
                             ? lastError
                             : "it ended with status " + std::to_string(outcome.exitStatus);
    host.showError("mkvmerge could not make " + layout.output + ": " + reason);
    return false;
}

}  // namespace

bool runMkvmerge(const MkvLayout& layout, const std::string& optionsFile, RunControl& control,
                 CommandHost& host) {
    const std::optional<std::string> program = findProgram(kMkvmerge);
    if (!program) {
        host.log("mkvmerge was not found. The streams, chapters and options are in " + layout.work);
        host.log("To make " + layout.output + ", install mkvtoolnix and run: mkvmerge @" +
                 optionsFile);
        host.showError("mkvmerge was not found: " + layout.output + " was not made.");
        return false;
    }
    host.log("Running mkvmerge @" + optionsFile);
    host.slog("Multiplexing " + fileNameOf(layout.output), Panel::State);
    control.cancelRequested = false;
    control.confirmCancel = true;
    host.setCancelEnabled(true);
    std::string lastError;
    ChildCallbacks callbacks;
    callbacks.onLine = [&](std::string_view line) { showLine(line, lastError, host); };
    callbacks.onTick = [&] {
        host.pumpEvents();
        return control.cancelRequested;
    };
    const ChildOutcome outcome =
        runChildProcess(*program, {"--gui-mode", "@" + optionsFile}, callbacks);
    host.setCancelEnabled(false);
    return finish(outcome, lastError, layout, host);
}

}  // namespace morvale
