#pragma once

#include <string>

#include "commands/command_host.h"
#include "commands/mkv_work_streams.h"
#include "engine/run_control.h"

namespace morvale {

// Runs mkvmerge on the options file: its progress shows as the command's own, its warnings
// and errors go to the log, Cancel stops it. True when it made the Matroska file; otherwise
// the reason was logged or shown and no half-made file is left at the output path.
bool runMkvmerge(const MkvLayout& layout, const std::string& optionsFile, RunControl& control,
                 CommandHost& host);

}  // namespace morvale
