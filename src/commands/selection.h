// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace morvale {

// The playlist's fixed name on an HD DVD disc.
inline constexpr std::string_view kPlaylistName = "VPLST000.XPL";

// The chosen source and playlist, derived from the two path fields.
struct Selection {
    std::string sourceFileName;  // the source's name without folder
    std::string sourceBaseName;  // without its last four characters: base of every output name
    std::string evoFolder;       // ends in a separator; the EVO dialog opens there
    std::string xplFolder;       // ends in a separator; the XPL dialog opens there
    std::string xplFileName;     // when non-empty, "Read XPL" is enabled
};

// The source's name without its folder, and without its last four characters (the
// extension): the base every output name starts with.
std::string sourceFileNameOf(std::string_view source);
std::string sourceBaseNameOf(std::string_view source);

// When folder ends in disc folder `from` followed by either separator, the same path with
// `to` in its place, keeping the separator; empty otherwise. Exact and case-sensitive, as
// the disc's own folder names are.
std::string siblingFolder(std::string_view folder, std::string_view from, std::string_view to);

inline constexpr std::string_view kVideoFolder = "HVDVD_TS";
inline constexpr std::string_view kPlaylistFolder = "ADV_OBJ";

// The disc's playlist of a source in a HVDVD_TS folder: ADV_OBJ/VPLST000.XPL beside it, with
// the separator the path uses; empty for a source elsewhere.
std::string discPlaylistOf(std::string_view source);

}  // namespace morvale
