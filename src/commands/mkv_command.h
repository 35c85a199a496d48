// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

#include "commands/command_host.h"
#include "commands/command_settings.h"
#include "commands/mkv_streams.h"
#include "commands/session.h"

namespace morvale {

// A title of a disc's playlist to make, in place of the title that plays the source.
struct MkvTitleChoice {
    std::string disc;  // the disc's folder, its HVDVD_TS folder or the playlist
    int number = 0;    // 1-based, in the playlist's order
};

struct MkvOptions {
    // A ".mkv" file, or the folder of <name>.mkv; empty: the output folder (the current
    // folder when that is empty).
    std::string output;
    // The playlist; empty: the settings' playlist (the disc's own, found by the disc layout).
    std::string playlist;
    // Keep the work folder with the demuxed streams after mkvmerge made the Matroska file.
    bool keepStreams = false;
    // A file at the output path is replaced (morvale-cli's --overwrite).
    bool overwrite = false;
    // Without `overwrite`, ask the user whether a file at the output path may be replaced
    // (the window); otherwise such a file ends the command with an error.
    bool askBeforeReplacing = false;
    // The folder the work folder is made in; empty: the Matroska file's folder.
    std::string workFolderIn;
    std::optional<MkvTitleChoice> title;
    MkvStreamChoice streams;
};

// How a Make MKV ended.
enum class MkvEnd {
    FileError,  // a file error was shown; nothing more was done
    NotMade,    // mkvmerge is missing or failed, or the output was not to be replaced
    Done,       // "Done." (the Matroska file was made, or the user stopped the run)
};

// "Make MKV": demuxes every chosen stream of every part of the feature (or of the chosen
// title's clips) into a work folder of its own, "<name>.work" beside the Matroska file,
// turns LPCM into WAV and subpictures into PGS or VobSub, writes the feature's description,
// the title's chapters, the video's timestamps and mkvmerge's options, and runs mkvmerge in
// the work folder. Its progress shows as the command's own and its warnings and errors go to
// the log.
//
// The Matroska file appears whole or not at all: mkvmerge writes a hidden file beside it,
// renamed into place once mkvmerge ended well and the file is Matroska. A file already at the
// output path is replaced only when the options allow it. A Cancel or a failure removes the
// work folder (kept with --keep-streams); without mkvmerge it stays, and the log says how to
// finish.
MkvEnd makeMkv(Session& session, const CommandSettings& settings, const MkvOptions& options,
               CommandHost& host);

}  // namespace morvale
