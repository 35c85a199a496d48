// SPDX-License-Identifier: MIT
#include "subtitles/field_decoder.h"

#include <algorithm>
#include <cstring>

namespace morvale {

namespace {

// Reads bits most significant first through a 64-bit window. Codes are read by peeking at
// their longest form and skipping what they took; bits past the end read as zeros, and
// taking them marks the reader.
class BitReader {
  public:
    BitReader(std::span<const uint8_t> bytes, size_t offset) : bytes_(bytes), next_(offset) {}

    // The next `count` bits (up to 24).
    uint32_t peek(int count) {
        if (held_ < count) refill();
        const uint64_t bits =
            held_ >= count ? window_ >> (held_ - count) : window_ << (count - held_);
        return static_cast<uint32_t>(bits & ((uint64_t{1} << count) - 1));
    }
    void skip(int count) {
        if (count > held_) {
            overrun_ = true;
            held_ = 0;
            return;
        }
        held_ -= count;
    }
    void alignToByte() { held_ -= held_ % 8; }
    bool overrun() const { return overrun_; }

  private:
    void refill() {
        while (held_ <= 56 && next_ < bytes_.size()) {
            window_ = (window_ << 8) | bytes_[next_++];
            held_ += 8;
        }
    }

    std::span<const uint8_t> bytes_;
    size_t next_;
    uint64_t window_ = 0;
    int held_ = 0;  // bits of the window not yet read
    bool overrun_ = false;
};

struct Run {
    int length;  // 0: to the end of the line
    uint8_t colour;
};

// DVD: the code grows by a nibble while its value is below 4, 16 and 64.
Run dvdRun(BitReader& in) {
    const uint32_t bits = in.peek(16);
    int width = 16;
    if (bits >= 0x4000) {
        width = 4;
    } else if (bits >= 0x1000) {
        width = 8;
    } else if (bits >= 0x0400) {
        width = 12;
    }
    in.skip(width);
    const uint32_t value = bits >> (16 - width);
    return {static_cast<int>(value >> 2), static_cast<uint8_t>(value & 3)};
}

// HD DVD: run flag, colour width, colour, then for a run 3 bits + 2 or 7 bits + 9 (7-bit
// zero: to the end of the line).
Run hdDvdRun(BitReader& in) {
    const uint32_t bits = in.peek(18);
    const bool isRun = (bits >> 17) != 0;
    const int colourBits = ((bits >> 16) & 1) != 0 ? 8 : 2;
    const auto colour =
        static_cast<uint8_t>((bits >> (16 - colourBits)) & ((1u << colourBits) - 1));
    int used = 2 + colourBits;
    Run run{1, colour};
    if (isRun) {
        const uint32_t rest = bits << used;  // the length form at bit 17
        if (((rest >> 17) & 1) == 0) {
            run.length = static_cast<int>((rest >> 14) & 7) + 2;
            used += 4;
        } else {
            const int length = static_cast<int>((rest >> 10) & 0x7F);
            run.length = length == 0 ? 0 : length + 9;
            used += 8;
        }
    }
    in.skip(used);
    return run;
}

}  // namespace

std::string decodeField(std::span<const uint8_t> unit, size_t offset, RunCode code, int width,
                        int height, int firstLine, std::vector<uint8_t>& bitmap) {
    if (offset >= unit.size()) return "field offset outside the unit";
    BitReader in(unit, offset);
    for (int line = firstLine; line < height; line += 2) {
        uint8_t* row = bitmap.data() + static_cast<size_t>(line) * static_cast<size_t>(width);
        int x = 0;
        while (x < width) {
            const Run run = code == RunCode::DvdNibbles ? dvdRun(in) : hdDvdRun(in);
            if (in.overrun()) return "field data past the end of the unit";
            // Length 0 fills the line (DVD: the 16-bit code; HD DVD: the 7-bit 0).
            const int length = run.length == 0 ? width - x : run.length;
            if (length > width - x) return "run past the end of a line";
            if (length <= 8) {  // most runs: shorter than a call to memset
                for (int i = 0; i < length; ++i)
                    row[x + i] = run.colour;
            } else {
                std::memset(row + x, run.colour, static_cast<size_t>(length));
            }
            x += length;
        }
        in.alignToByte();
    }
    return {};
}

}  // namespace morvale
