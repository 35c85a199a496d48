// SPDX-License-Identifier: MIT
#pragma once

// Reads a .sup back into its display sets: the checks the writer's output must pass and
// what tests compare, not a decoder for every PGS stream in the field.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "subtitles/display_event.h"

namespace morvale {

struct PgsCompositionObject {
    uint16_t objectId = 0;
    uint8_t windowId = 0;
    uint8_t flags = 0;  // 0x40 forced, 0x80 cropped
    uint16_t x = 0, y = 0;
};

struct PgsWindow {
    uint8_t id = 0;
    uint16_t x = 0, y = 0, width = 0, height = 0;
};

struct PgsObject {
    uint16_t id = 0;
    uint16_t width = 0, height = 0;
    std::vector<uint8_t> rle;  // the fragments joined
};

struct PgsDisplaySet {
    uint32_t pts = 0;
    uint16_t width = 0, height = 0;  // the canvas
    uint16_t compositionNumber = 0;
    uint8_t compositionState = 0;  // 0x80 epoch start, 0x40 acquisition point, 0 normal
    bool paletteUpdate = false;
    std::vector<PgsCompositionObject> composition;
    std::vector<PgsWindow> windows;
    size_t paletteEntries = 0;  // entries the PDS set (0: no PDS)
    uint8_t paletteVersion = 0;
    Palette palette{};  // the entries it set, by index
    std::vector<PgsObject> objects;
};

struct PgsStream {
    std::vector<PgsDisplaySet> sets;
    std::string error;  // empty when every byte belonged to a whole display set
};

PgsStream readPgs(std::span<const uint8_t> sup);

}  // namespace morvale
