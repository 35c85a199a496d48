#pragma once

// Subpicture units of both layouts with pictures of any content, for tests and sample
// streams: DVD units (2-bit codes, SET_COLOR/SET_CONTR into the 16-colour palette) and HD DVD
// units (32-bit sizes and offsets, their own 256-colour palette and transparencies, 8-bit
// run-length codes), with forced starts, stop commands and fades over several sequences.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "access_unit.h"

namespace morvale::sample {

struct DvdPicture {
    int x = 0, y = 0, width = 0, height = 0;
    std::vector<uint8_t> codes;          // width x height pixel codes 0-3, row by row
    std::array<uint8_t, 4> colours{};    // palette entry (0-15) of codes 0-3
    std::array<uint8_t, 4> contrasts{};  // 0 clear to 15 opaque, of codes 0-3
    bool forced = false;                 // forced start (0x00) as well as start
    uint64_t startTicks = 0;             // after the unit's PTS (in steps of 1,024 ticks)
    std::optional<uint64_t> stopTicks;   // after the PTS; none: no stop command
};
Bytes dvdSubpictureUnit(const DvdPicture& picture);

// A later control sequence that sets new transparencies.
struct HdFadeStep {
    uint64_t ticks = 0;  // after the unit's PTS
    std::array<uint8_t, 256> transparency{};
};

struct HdPicture {
    int x = 0, y = 0, width = 0, height = 0;
    std::vector<uint8_t> pixels;              // width x height indices, row by row
    std::array<uint8_t, 768> yCrCb{};         // Y, Cr, Cb of each index
    std::array<uint8_t, 256> transparency{};  // 0 opaque to 255 clear
    bool forced = false;
    uint64_t startTicks = 0;
    std::vector<HdFadeStep> fades;
    std::optional<uint64_t> stopTicks;
};
Bytes hdSubpictureUnit(const HdPicture& picture);

}  // namespace morvale::sample
