// SPDX-License-Identifier: MIT
#pragma once

// The 16-colour palette DVD subpictures index, as the program chain in the title set's IFO
// file (VTS_nn_0.IFO) holds it, and a standard one for streams without an IFO.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "subtitles/display_event.h"

namespace morvale {

// Y, Cr, Cb of each entry (BT.601, video range); alpha is left at 255.
using DvdPalette = std::array<PaletteEntry, 16>;

// The palette of the first program chain of a title set's IFO: the VTS_PGCI table starts at
// the sector (2,048 bytes) given by the u32 at 0xCC, its first entry gives the PGC's offset
// in the table, and the PGC holds 16 entries (0, Y, Cr, Cb) at 0xA4. Nullopt when the bytes
// are not a title-set IFO ("DVDVIDEO-VTS") or a field points outside them.
std::optional<DvdPalette> readIfoPalette(std::span<const uint8_t> ifo);

// Black, white, three greys, the primary and secondary colours and their dark halves.
const DvdPalette& defaultDvdPalette();

// The palette for a DVD stream: the IFO's when its bytes give one, the default otherwise.
struct DvdPaletteChoice {
    DvdPalette palette;
    bool fromIfo = false;
    std::string reason;  // why the default was taken ("no IFO", "not a title-set IFO" ...)
};
DvdPaletteChoice chooseDvdPalette(std::optional<std::span<const uint8_t>> ifo);

}  // namespace morvale
