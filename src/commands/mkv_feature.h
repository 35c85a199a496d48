// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "commands/command_host.h"
#include "commands/command_settings.h"
#include "export/playlist_model.h"

namespace morvale {

// What one Matroska file is made of: its parts in playing order, the name it takes by
// default, and the playlist title it plays (its names, languages and chapters).
struct MkvFeature {
    std::vector<std::string> parts;
    std::string baseName;  // the file's name without ".mkv"
    std::optional<PlaylistTitle> title;
    std::string playlistPath;   // empty: no playlist
    std::string playlistName;   // the Playlist element's displayName
    std::string playlistError;  // why the playlist gives nothing
};

// The feature of a source: FEATURE_1.EVO with its FEATURE_2.EVO (as "Continue with second
// EVO" reads on), a DVD title set's VTS_nn_1.VOB with VTS_nn_2.VOB ... in order, or the source
// alone; the playlist's title that plays it. Logs what is missing or unreadable of the
// playlist. Throws FileError when the playlist cannot be read.
MkvFeature sourceFeature(const CommandSettings& settings, const std::string& playlist,
                         CommandHost& host);

// Title `number` (1-based, in the playlist's order) of the disc `disc` (the disc's folder,
// its HVDVD_TS folder or the playlist): its clips' EVOs in playing order, named after the
// title ("Title N" when it has no name). Throws FileError("Cannot open file ...") for a clip
// whose EVO is missing, and returns nothing, with `why` set, for a disc or title there is not.
// Of a DVD (its folder or VIDEO_TS folder), `number` is a title set's: its VOBs in order.
std::optional<MkvFeature> titleFeature(const std::string& disc, int number, std::string& why);

}  // namespace morvale
