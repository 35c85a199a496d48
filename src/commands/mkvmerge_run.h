// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "commands/command_host.h"
#include "engine/run_control.h"

namespace morvale {

// One run of mkvmerge over a work folder's hand-off files.
struct MkvmergeJob {
    std::string folder;       // the work folder: mkvmerge runs in it and reads its files there
    std::string optionsFile;  // mkvmerge's options file, by its name in the folder
    std::string output;       // where mkvmerge writes the Matroska file (a staged name)
    std::string target;       // the Matroska file as the user names it, for the messages
    // The whole run's progress: the demux before it read `readBytes`; mkvmerge's share of
    // the bar is the streams' bytes it multiplexes (as the demux's bar counted them).
    int64_t readBytes = 0;
    int64_t streamBytes = 0;
    double startDays = 0;
};

enum class MkvmergeEnd {
    Made,     // it ended well and the file it wrote is a Matroska file
    Missing,  // there is no mkvmerge on PATH
    Failed,   // it could not start, failed, or wrote nothing (the reason was shown)
    Stopped,  // stopped by Cancel or a stop signal before it had made the file
};

// Runs mkvmerge on the options file: its progress shows as the command's own (after the
// demux's, with the time remaining), its warnings and errors go to the log, Cancel stops it.
// A run that made its file before the stop took effect counts as made.
MkvmergeEnd runMkvmerge(const MkvmergeJob& job, RunControl& control, CommandHost& host);

// The bar's share and text of the run's progress when mkvmerge is `percent` % done.
ProgressAmount mkvmergeProgress(const MkvmergeJob& job, int percent);

}  // namespace morvale
