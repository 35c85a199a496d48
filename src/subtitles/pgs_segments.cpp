// SPDX-License-Identifier: MIT
#include "subtitles/pgs_segments.h"

#include <algorithm>
#include <cstring>

namespace morvale {

void putU16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

void putU24(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value >> 16));
    putU16(out, value);
}

void putU32(std::vector<uint8_t>& out, uint32_t value) {
    putU16(out, value >> 16);
    putU16(out, value);
}

void appendPgsSegment(std::vector<uint8_t>& out, uint32_t pts, uint8_t type,
                      std::span<const uint8_t> payload) {
    out.push_back('P');
    out.push_back('G');
    putU32(out, pts);
    putU32(out, 0);
    out.push_back(type);
    putU16(out, static_cast<uint32_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
}

namespace {

constexpr int kShortRun = 0x3F;
constexpr int kLongRun = 0x3FFF;

// Writes one run at `w`, at most 4 bytes per 3 pixels and 2 per pixel; returns the end.
uint8_t* putRun(uint8_t* w, uint8_t colour, int length) {
    while (length > 0) {
        const int n = std::min(length, kLongRun);
        length -= n;
        if (colour != 0 && n <= 2) {
            *w++ = colour;
            if (n == 2) *w++ = colour;
            continue;
        }
        *w++ = 0;
        const uint8_t colourFlag = colour != 0 ? 0x80 : 0x00;
        if (n <= kShortRun) {
            *w++ = static_cast<uint8_t>(colourFlag | n);
        } else {
            *w++ = static_cast<uint8_t>(colourFlag | 0x40 | (n >> 8));
            *w++ = static_cast<uint8_t>(n);
        }
        if (colour != 0) *w++ = colour;
    }
    return w;
}

// The end of the run of row[x]'s colour, eight pixels at a time through long runs.
int runEnd(const uint8_t* row, int x, int width) {
    const uint8_t colour = row[x];
    const uint64_t eight = uint64_t{colour} * 0x0101010101010101u;
    int end = x + 1;
    uint64_t chunk = 0;
    while (end + 8 <= width && (std::memcpy(&chunk, row + end, 8), chunk == eight))
        end += 8;
    while (end < width && row[end] == colour)
        ++end;
    return end;
}

}  // namespace

void encodePgsRle(const uint8_t* pixels, int width, int height, size_t stride,
                  std::vector<uint8_t>& out) {
    // Room for the worst case, single pixels of colour 0 (two bytes each), and the line ends.
    const size_t start = out.size();
    out.resize(start + (2 * static_cast<size_t>(width) + 2) * static_cast<size_t>(height));
    uint8_t* w = out.data() + start;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = pixels + static_cast<size_t>(y) * stride;
        for (int x = 0; x < width;) {
            const int end = runEnd(row, x, width);
            w = putRun(w, row[x], end - x);
            x = end;
        }
        *w++ = 0;
        *w++ = 0;
    }
    out.resize(static_cast<size_t>(w - out.data()));
}

std::string decodePgsRle(std::span<const uint8_t> rle, int width, int height,
                         std::vector<uint8_t>& bitmap) {
    bitmap.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    size_t at = 0;
    int x = 0, y = 0;
    auto next = [&](uint8_t& b) {
        if (at >= rle.size()) return false;
        b = rle[at++];
        return true;
    };
    uint8_t b = 0;
    while (next(b)) {
        uint8_t colour = b;
        int length = 1;
        if (b == 0) {
            uint8_t flags = 0, low = 0;
            if (!next(flags)) return "code cut short";
            length = flags & kShortRun;
            if ((flags & 0x40) != 0) {
                if (!next(low)) return "code cut short";
                length = (length << 8) | low;
            }
            colour = 0;
            if ((flags & 0x80) != 0 && !next(colour)) return "code cut short";
            if (flags == 0) {  // end of line
                if (x != width) return "line shorter than the width";
                x = 0;
                ++y;
                continue;
            }
        }
        if (y >= height) return "more lines than the height";
        if (length > width - x) return "line longer than the width";
        std::memset(bitmap.data() + static_cast<size_t>(y) * width + x, colour,
                    static_cast<size_t>(length));
        x += length;
    }
    if (x != 0 || y != height) return "code cut short";
    return {};
}

}  // namespace morvale
