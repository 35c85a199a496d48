// SPDX-License-Identifier: MIT
#pragma once

// The titles of a disc: for an HD DVD every Title of its playlist with the EVOs its clips
// play (and which of them are missing) and the longest title, the likely feature; for a DVD
// its title sets (dvd_title_sets.h).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "export/disc_layout.h"
#include "export/dvd_title_sets.h"
#include "export/playlist_model.h"

namespace morvale {

// One clip of a title on the disc, beside the title's clip of the same index.
struct DiscClip {
    // The EVO the clip plays: the disc's EVO folder + the clip's evoName. Empty for a clip
    // that plays no EVO of HVDVD_TS: not a PrimaryAudioVideoClip, a dataSource other than
    // "Disc" (or none), or a src that names no plain file.
    std::string evoPath;
    bool present = false;  // the EVO is there
};

struct DiscTitle {
    PlaylistTitle title;
    std::vector<DiscClip> clips;  // one for each of title.clips, in the same order
    // The title's length: its titleDuration, or else the latest titleTimeEnd of its clips.
    std::optional<int64_t> durationNs;
    bool likelyFeature = false;  // the longest title of the disc
    // The file names of the EVOs its clips play that are not there, each once.
    std::vector<std::string> missingEvos;
    // The EVOs its clips play, in timeline order, each once.
    std::vector<std::string> evoNames;
};

struct DiscTitles {
    DiscLayout layout;
    std::string error;              // why the disc's playlist could not be read; empty when it was
    std::string playlistName;       // the Playlist's displayName
    std::vector<DiscTitle> titles;  // HD DVD, in the playlist's order
    std::optional<size_t> longest;  // index into titles: the first of the longest
    DvdTitleSets dvd;               // DVD
};

// The disc of `disc` (findDiscLayout) with its titles or title sets. An HD DVD without its
// playlist, a playlist that is no XML or too large, and a path that is no disc give an
// error and no titles. Throws FileError when the playlist is there but cannot be read.
DiscTitles readDiscTitles(const std::string& disc);

// The titles of a playlist model on a disc whose EVOs lie in `evoFolder` (ending in its
// separator), with the longest marked.
std::vector<DiscTitle> discTitlesOf(const PlaylistModel& model, const std::string& evoFolder);

}  // namespace morvale
