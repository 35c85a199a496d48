// SPDX-License-Identifier: MIT
#pragma once

// Video-range Y'CbCr and R'G'B' under the two colour matrices subtitles meet: ITU-R BT.601
// (DVD, standard definition) and BT.709 (high definition).

#include <cstdint>

#include "subtitles/display_event.h"

namespace morvale {

enum class ColourMatrix { Bt601, Bt709 };

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// The R'G'B' (0-255, rounded, clipped) of a video-range colour.
Rgb rgbOf(const PaletteEntry& colour, ColourMatrix matrix);

// The video-range colour of an R'G'B' colour, rounded.
PaletteEntry yCrCbOf(Rgb colour, ColourMatrix matrix, uint8_t alpha = 255);

// The same colour under another matrix: the integer Y, Cr, Cb (of the eight nearest the exact
// value) whose colour under `to` is nearest the colour of `colour` under `from`. Alpha kept.
PaletteEntry convertMatrix(const PaletteEntry& colour, ColourMatrix from, ColourMatrix to);

}  // namespace morvale
