#pragma once

#include <string>
#include <vector>

#include "commands/command_host.h"
#include "commands/mkv_command.h"
#include "commands/mkv_work_streams.h"
#include "export/mkv_hand_off.h"

namespace morvale {

// What is handed to mkvmerge: the job, its options file, and the work files it reads (removed
// after a good run unless they are to be kept).
struct PreparedHandOff {
    HandOff handOff;
    std::string optionsFile;
    std::vector<std::string> streamFiles;
};

// Turns the work streams into what mkvmerge reads: LPCM into WAV, each audio part timed by
// its units, the playlist read for names, languages and chapters, and the feature's
// description, its chapters and mkvmerge's options file written into the work folder. Logs
// the streams left out. Throws FileError.
PreparedHandOff prepareHandOff(WorkStreams& streams, const CommandSettings& settings,
                               const MkvOptions& options, const MkvLayout& layout,
                               CommandHost& host);

}  // namespace morvale
