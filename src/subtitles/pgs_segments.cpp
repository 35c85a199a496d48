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

void putRun(std::vector<uint8_t>& out, uint8_t colour, int length) {
    while (length > 0) {
        const int n = std::min(length, kLongRun);
        length -= n;
        if (colour != 0 && n <= 2) {
            out.insert(out.end(), static_cast<size_t>(n), colour);
            continue;
        }
        out.push_back(0);
        const uint8_t colourFlag = colour != 0 ? 0x80 : 0x00;
        if (n <= kShortRun) {
            out.push_back(static_cast<uint8_t>(colourFlag | n));
        } else {
            out.push_back(static_cast<uint8_t>(colourFlag | 0x40 | (n >> 8)));
            out.push_back(static_cast<uint8_t>(n));
        }
        if (colour != 0) out.push_back(colour);
    }
}

}  // namespace

void encodePgsRle(const uint8_t* pixels, int width, int height, size_t stride,
                  std::vector<uint8_t>& out) {
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = pixels + static_cast<size_t>(y) * stride;
        int x = 0;
        while (x < width) {
            const uint8_t colour = row[x];
            int end = x + 1;
            // Eight pixels at a time through the long runs of clear pixels subtitles have.
            const uint64_t eight = uint64_t{colour} * 0x0101010101010101u;
            uint64_t chunk = 0;
            while (end + 8 <= width && (std::memcpy(&chunk, row + end, 8), chunk == eight))
                end += 8;
            while (end < width && row[end] == colour)
                ++end;
            putRun(out, colour, end - x);
            x = end;
        }
        out.push_back(0);
        out.push_back(0);
    }
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
