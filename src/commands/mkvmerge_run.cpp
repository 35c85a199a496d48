// SPDX-License-Identifier: MIT
#include "commands/mkvmerge_run.h"

#include <algorithm>
#include <optional>

#include "engine/progress.h"
#include "export/mkv_hand_off.h"
#include "platform/child_process.h"
#include "platform/paths.h"
#include "platform/staged_file.h"

namespace morvale {

namespace {

constexpr const char* kMkvmerge = "mkvmerge";

std::string remainingText(const MkvmergeJob& job, const ProgressAmount& amount, Clock& clock) {
    if (amount.done <= 0) return {};
    const double elapsed = clock.now() - job.startDays;
    const double remaining =
        elapsed * static_cast<double>(amount.total - amount.done) / static_cast<double>(amount.done);
    return ", Remaining time: " + clock.formatLongTime(remaining + kOneSecond);
}

void showLine(std::string_view line, const MkvmergeJob& job, std::string& lastError,
              CommandHost& host) {
    const MkvmergeLine read = readMkvmergeLine(line);
    switch (read.kind) {
        case MkvmergeLine::Kind::Progress: {
            const ProgressAmount amount = mkvmergeProgress(job, read.percent);
            host.slog("Multiplexing: " + std::to_string(read.percent) + "%" +
                          remainingText(job, amount, host.clock()),
                      Panel::Progress);
            host.showProgress(amount);
            break;
        }
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

// mkvmerge exits 0, or 1 after warnings, when it has written its file; the file must be
// there and be Matroska (a program on PATH by that name may say so without writing).
bool madeFile(const ChildOutcome& outcome, const MkvmergeJob& job) {
    return outcome.started && outcome.signal == 0 &&
           (outcome.exitStatus == 0 || outcome.exitStatus == 1) &&
           fileBeginsWith(job.output, kMatroskaMagic);
}

MkvmergeEnd finish(const ChildOutcome& outcome, const std::string& lastError,
                   const MkvmergeJob& job, CommandHost& host) {
    if (madeFile(outcome, job)) return MkvmergeEnd::Made;
    if (outcome.stopped) return MkvmergeEnd::Stopped;
    std::string reason;
    if (!outcome.started) {
        reason = describeChildEnd(outcome);
    } else if (!lastError.empty()) {
        reason = lastError;
    } else if (outcome.signal == 0 && (outcome.exitStatus == 0 || outcome.exitStatus == 1)) {
        reason = "it ended well but wrote no Matroska file";
    } else {
        reason = describeChildEnd(outcome);
    }
    host.showError("mkvmerge could not make " + job.target + ": " + reason);
    return MkvmergeEnd::Failed;
}

}  // namespace

ProgressAmount mkvmergeProgress(const MkvmergeJob& job, int percent) {
    const int64_t done = job.readBytes + job.streamBytes * std::clamp(percent, 0, 100) / 100;
    return megabytesRead(done, job.readBytes + job.streamBytes);
}

MkvmergeEnd runMkvmerge(const MkvmergeJob& job, RunControl& control, CommandHost& host) {
    const std::optional<std::string> program = findProgram(kMkvmerge);
    if (!program) return MkvmergeEnd::Missing;
    host.log("Running mkvmerge @" + job.optionsFile + " in " + job.folder);
    host.slog("Multiplexing " + fileNameOf(job.target), Panel::State);
    host.showProgress(mkvmergeProgress(job, 0));
    control.cancelRequested = false;
    control.confirmCancel = true;
    host.setCancelEnabled(true);
    std::string lastError;
    ChildCallbacks callbacks;
    callbacks.workingFolder = job.folder;
    callbacks.onLine = [&](std::string_view line) { showLine(line, job, lastError, host); };
    callbacks.onTick = [&] {
        host.pumpEvents();
        return control.cancelRequested;
    };
    const ChildOutcome outcome =
        runChildProcess(*program, {"--gui-mode", "@" + job.optionsFile}, callbacks);
    host.setCancelEnabled(false);
    return finish(outcome, lastError, job, host);
}

}  // namespace morvale
