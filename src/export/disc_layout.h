// SPDX-License-Identifier: MIT
#pragma once

// Where a disc keeps what the program reads: an HD DVD's playlist (ADV_OBJ/VPLST000.XPL) and
// its EVOs (HVDVD_TS), or a DVD's title sets (VIDEO_TS). Folders keep the separator their
// path uses ("/" or "\"); the disc folder names are matched exactly, as discs write them.

#include <string>
#include <string_view>

namespace morvale {

inline constexpr std::string_view kHdDvdPlaylistName = "VPLST000.XPL";

enum class DiscKind { None, HdDvd, Dvd };

struct DiscLayout {
    DiscKind kind = DiscKind::None;
    std::string playlistPath;  // HD DVD: ".../ADV_OBJ/VPLST000.XPL" (found or not)
    std::string evoFolder;     // HD DVD: ".../HVDVD_TS/"
    std::string vobFolder;     // DVD: ".../VIDEO_TS/"
    std::string error;         // kind None: why `disc` is no disc the program reads
};

// Finds the disc of `disc`:
//  - a file: a playlist (.XPL; its EVOs in HVDVD_TS beside its ADV_OBJ folder, or in its own
//    folder when it lies elsewhere), an EVO in HVDVD_TS (the playlist in ADV_OBJ beside it),
//    or a VOB or IFO (the DVD of its folder);
//  - a folder named HVDVD_TS, ADV_OBJ or VIDEO_TS: that part of its disc;
//  - any other folder: the disc in it, by its ADV_OBJ/VPLST000.XPL, or else by a VIDEO_TS
//    folder holding VIDEO_TS.IFO or a title set.
// The HD DVD's playlist is named even when the file is missing (the caller says so when it
// reads it); only a path that is none of the above gives kind None and an error.
DiscLayout findDiscLayout(const std::string& disc);

}  // namespace morvale
