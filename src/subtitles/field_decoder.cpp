#include "subtitles/field_decoder.h"

#include <algorithm>
#include <cstring>

namespace morvale {

namespace {

// Reads bits most significant first through a 64-bit window; reading past the end gives
// zeros and marks the reader.
class BitReader {
  public:
    BitReader(std::span<const uint8_t> bytes, size_t offset) : bytes_(bytes), next_(offset) {}

    // Up to 24 bits.
    uint32_t bits(int count) {
        if (held_ < count) refill();
        if (held_ < count) {
            overrun_ = true;
            held_ = count;  // the missing bits read as zeros
        }
        held_ -= count;
        return static_cast<uint32_t>((window_ >> held_) & ((uint64_t{1} << count) - 1));
    }
    uint32_t bit() { return bits(1); }
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
    uint32_t value = in.bits(4);
    for (uint32_t bound : {0x4u, 0x10u, 0x40u}) {
        if (value >= bound) break;
        value = (value << 4) | in.bits(4);
    }
    return {static_cast<int>(value >> 2), static_cast<uint8_t>(value & 3)};
}

// HD DVD: run flag, colour width, colour, then for a run 3 bits + 2 or 7 bits + 9 (7-bit
// zero: to the end of the line).
Run hdDvdRun(BitReader& in) {
    const bool isRun = in.bit() != 0;
    const auto colour = static_cast<uint8_t>(in.bits(in.bit() != 0 ? 8 : 2));
    if (!isRun) return {1, colour};
    if (in.bit() == 0) return {static_cast<int>(in.bits(3)) + 2, colour};
    const int length = static_cast<int>(in.bits(7));
    return {length == 0 ? 0 : length + 9, colour};
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
            std::memset(row + x, run.colour, static_cast<size_t>(length));
            x += length;
        }
        in.alignToByte();
    }
    return {};
}

}  // namespace morvale
