// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "commands/command_host.h"
#include "engine/progress.h"
#include "engine/run_control.h"
#include "platform/file.h"

namespace morvale {

// Runs a command's file work. A file error ends it: Cancel goes off since nothing runs any
// more, the message closes the log's block (so the log, scrolled back, tells what happened),
// the status is "Ready" again, and the message is shown. False when the work ended that way.
template <class Work>
bool runFileWork(CommandHost& host, Work&& work) {
    try {
        std::forward<Work>(work)();
        return true;
    } catch (const FileError& error) {
        host.setCancelEnabled(false);
        host.log(error.logLine());  // the reason and the file too, for the record
        host.log("");
        host.slog("Ready", Panel::State);
        host.slog("", Panel::Progress);
        host.showError(error.what());
        return false;
    }
}

// The line a command stopped by the user logs before "Done.".
inline constexpr const char* kStoppedScan = "Stopped by Cancel.";
inline constexpr const char* kStoppedWriting =
    "Stopped by Cancel: the output files hold what was written so far.";

inline void logStoppedByUser(CommandHost& host, const RunControl& control, const char* line) {
    if (control.cancelledByUser) host.log(line);
}

// The line a scan stopped by "Fast EVO checking" logs before "Done.", with the bytes it read
// of the part it stopped in: a cut scan must not pass for a whole one.
inline std::string fastCheckStopLine(int64_t bytesRead) {
    return "Fast EVO checking: read the first " + std::to_string(bytesRead / kMegabyte) +
           " Mbytes only.";
}

// The closing lines of a command that ran to its end.
inline void logDone(CommandHost& host) {
    host.log("Done.");
    host.log("");
    host.slog("Ready", Panel::State);
    host.slog("", Panel::Progress);
}

}  // namespace morvale
