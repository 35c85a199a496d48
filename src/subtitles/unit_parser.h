// SPDX-License-Identifier: MIT
#pragma once

// A subpicture unit's display control sequences and pixel data turned into the event it
// shows. Both layouts: DVD (u16 offsets, 2-bit colours into the 16-colour palette) and HD DVD
// (u32 offsets, its own 256-colour palette and transparencies, 2- or 8-bit indices).
//
// The event starts with the first sequence holding a start command (0x00 forced or 0x01) and
// stops with the first later stop command (0x02). Colours and opacities that later sequences
// before the stop set again (a fade) become palette steps. Area and pixel data are those in
// force when the display starts.

#include <optional>
#include <string>

#include "subtitles/display_event.h"
#include "subtitles/dvd_palette.h"
#include "subtitles/subpicture_unit.h"

namespace morvale {

// The largest area decoded: 2048 x 2048, above any video frame subpictures go with, so that
// a small unit whose corners name a 4096 x 4096 area cannot make us hold 16 MiB.
inline constexpr int64_t kMaxAreaPixels = 2048 * 2048;

struct UnitParse {
    std::optional<DisplayEvent> event;  // none: the unit shows nothing (no start, no picture)
    std::string malformed;              // why the unit is broken; empty when it is not
};

// `palette` gives the colours of 2-bit pictures (DVD units).
UnitParse parseSubpictureUnit(const SubpictureUnit& unit, const DvdPalette& palette);

}  // namespace morvale
