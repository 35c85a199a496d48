#pragma once

// DVD-style subpicture units (2-bit run-length coded bitmaps with their display control
// sequences), the format of HD DVD's standard-definition subpicture streams.

#include "access_unit.h"

namespace morvale::sample {

struct SubpictureBox {
    int x, y, width, height;  // on the 1920x1080 frame
    int fill;                 // pixel code 1-3 inside the border (code 2)
};

// One unit that shows a bordered box at once and hides it after `durationTicks` (90 kHz).
Bytes subpictureUnit(const SubpictureBox& box, uint64_t durationTicks);

}  // namespace morvale::sample
