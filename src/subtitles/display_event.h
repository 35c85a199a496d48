// SPDX-License-Identifier: MIT
#pragma once

// What one subpicture unit shows: a bitmap of palette indices over an area of the picture,
// from a start time to an optional stop time, with its colours and their later changes.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "subtitles/subpicture_unit.h"

namespace morvale {

// A colour as subpictures and PGS carry it: Y, Cr, Cb (video range) and opacity
// (0 transparent, 255 opaque).
struct PaletteEntry {
    uint8_t y = 16, cr = 128, cb = 128, alpha = 0;
    bool operator==(const PaletteEntry&) const = default;
};
using Palette = std::array<PaletteEntry, 256>;

// Inclusive SET_DAREA corners turned into a top-left corner and a size.
struct DisplayArea {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const DisplayArea&) const = default;
};

// A later control sequence that changes colours or opacities (a fade): the palette in force
// from `time` on.
struct PaletteStep {
    int64_t time = 0;
    Palette palette;
};

struct DisplayEvent {
    int64_t start = 0;            // 90 kHz: the unit's PTS + delay x 1,024
    std::optional<int64_t> stop;  // the stop command's time; none: until the next unit
    bool forced = false;          // shown even with subtitles off (command 0x00)
    SpuLayout layout = SpuLayout::Dvd;
    bool eightBit = false;  // 8-bit colour indices (area command 0x85)
    DisplayArea area;
    // The colours of the indices. A 2-bit bitmap uses entries 0-3: for DVD units the palette
    // entries its SET_COLOR names with alpha = contrast x 17.
    Palette palette;
    // 2-bit bitmaps: the palette entries (0-15) and contrasts (0-15) of the four pixel codes,
    // as SET_COLOR and SET_CONTR gave them.
    std::array<uint8_t, 4> colourIndex{};
    std::array<uint8_t, 4> contrast{};
    std::vector<PaletteStep> fades;  // in time order, after start, before stop
    std::vector<uint8_t> pixels;     // width x height indices, row by row, both fields
};

}  // namespace morvale
