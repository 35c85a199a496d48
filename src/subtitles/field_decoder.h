// SPDX-License-Identifier: MIT
#pragma once

// The run-length codes of subpicture fields, decoded into an index bitmap. A field holds
// every second line of the area (the top field lines 0, 2, 4 ..., the bottom field 1, 3,
// 5 ...); its lines are coded one after the other, each ending on a byte boundary.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace morvale {

enum class RunCode {
    DvdNibbles,  // 4/8/12/16-bit codes of (length << 2) | 2-bit colour
    HdDvdBits,   // run flag, colour width, 2- or 8-bit colour, 3- or 7-bit length
};

// Decodes one field, starting at byte `offset` of `unit`, into lines first, first + 2, ...
// of `bitmap` (width x height, row by row). Returns an empty string, or why the field is
// broken: data past the unit's end, or a run past the end of a line.
std::string decodeField(std::span<const uint8_t> unit, size_t offset, RunCode code, int width,
                        int height, int firstLine, std::vector<uint8_t>& bitmap);

}  // namespace morvale
