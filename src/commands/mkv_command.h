#pragma once

#include <string>

#include "commands/command_host.h"
#include "commands/command_settings.h"
#include "commands/session.h"

namespace morvale {

struct MkvOptions {
    // A ".mkv" file, or the folder of <base>.mkv; empty: the output folder (the current
    // folder when that is empty).
    std::string output;
    // The playlist; empty: the settings' playlist (the disc's own, found by the disc layout).
    std::string playlist;
    // Keep the demuxed streams in the work folder after mkvmerge made the Matroska file.
    bool keepStreams = false;
};

// How a Make MKV ended.
enum class MkvEnd {
    FileError,  // a file error was shown; nothing more was done
    NotMade,    // mkvmerge is missing or failed: the message was shown, no "Done."
    Done,       // "Done." (the Matroska file was made, or the user stopped the run)
};

// "Make MKV": demuxes the chosen streams of every part of the feature into a work folder
// beside the Matroska file (<output>.work), LPCM as WAV, writes the feature's description,
// the playlist title's chapters and mkvmerge's options file, and runs mkvmerge, whose
// progress shows as the command's own and whose warnings and errors go to the log. The
// Matroska file is <base>.mkv (<base>_2.mkv for a feature over two parts, as Demux names its
// outputs). Subpictures mkvmerge cannot read are named as left out with their files.
//
// Without mkvmerge the hand-off files stay in the work folder and the log says how to
// finish. A Cancel or a failed mkvmerge leaves no Matroska file behind.
MkvEnd makeMkv(Session& session, const CommandSettings& settings, const MkvOptions& options,
               CommandHost& host);

// The Matroska file the command makes.
std::string mkvOutputPath(const CommandSettings& settings, const MkvOptions& options);

}  // namespace morvale
