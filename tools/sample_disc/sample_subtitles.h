#pragma once

// The sample disc's subpicture streams: English as HD DVD units (8-bit colours of their own
// palette), Deutsch as DVD-layout units (2-bit codes into the 16-colour palette).

#include <cstdint>
#include <vector>

#include "access_unit.h"

namespace morvale::sample {

// A caption bar on the 1920x1080 frame: where both streams show their pictures.
struct CaptionBar {
    int x, y, width, height;
};
inline constexpr CaptionBar kCaptionBar{640, 904, 640, 64};

// The English units, one per start time, each shown for `durationTicks`. Unit 1 fades in
// over three transparency steps, unit 2 is forced (shown with subtitles off), and unit 3 is
// a colour field whose every pixel has a code of its own, over 64 KiB, spread over many
// packets; the others are bordered bars of colour runs.
std::vector<Bytes> englishSubpictureUnits(size_t count, uint64_t durationTicks);

// The Deutsch unit: a bordered box of DVD pixel codes.
Bytes deutschSubpictureUnit(uint64_t durationTicks);

}  // namespace morvale::sample
