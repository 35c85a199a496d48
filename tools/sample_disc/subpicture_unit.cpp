#include "subpicture_unit.h"

#include <algorithm>
#include <iterator>

namespace morvale::sample {

namespace {

// Writes 4-bit nibbles, most significant first.
class NibbleWriter {
  public:
    void put(uint32_t value, int nibbles) {
        for (int i = nibbles - 1; i >= 0; --i)
            putOne(static_cast<uint8_t>((value >> (4 * i)) & 0x0F));
    }
    void alignToByte() {
        if (half_) putOne(0);
    }
    Bytes& bytes() { return bytes_; }

  private:
    void putOne(uint8_t nibble) {
        if (half_) {
            bytes_.back() |= nibble;
        } else {
            bytes_.push_back(static_cast<uint8_t>(nibble << 4));
        }
        half_ = !half_;
    }
    Bytes bytes_;
    bool half_ = false;
};

// One run of `length` pixels of code `pixel` in the shortest of the four run-length codes.
void putRun(NibbleWriter& w, int length, int pixel) {
    while (length > 0) {
        const int n = std::min(length, 255);
        const uint32_t code = static_cast<uint32_t>((n << 2) | pixel);
        if (n < 4) {
            w.put(code, 1);
        } else if (n < 16) {
            w.put(code, 2);
        } else if (n < 64) {
            w.put(code, 3);
        } else {
            w.put(code, 4);
        }
        length -= n;
    }
}

constexpr int kBorder = 4;

void putLine(NibbleWriter& w, const SubpictureBox& box, int line) {
    if (line < kBorder || line >= box.height - kBorder) {
        putRun(w, box.width, 2);
    } else {
        putRun(w, kBorder, 2);
        putRun(w, box.width - 2 * kBorder, box.fill);
        putRun(w, kBorder, 2);
    }
    w.alignToByte();
}

void putWord(Bytes& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

}  // namespace

Bytes subpictureUnit(const SubpictureBox& box, uint64_t durationTicks) {
    // Pixel data: the top field (even lines), then the bottom field (odd lines).
    NibbleWriter pixels;
    for (int line = 0; line < box.height; line += 2)
        putLine(pixels, box, line);
    const size_t bottomField = pixels.bytes().size();
    for (int line = 1; line < box.height; line += 2)
        putLine(pixels, box, line);

    constexpr size_t kHeader = 4;
    const size_t topOffset = kHeader;
    const size_t bottomOffset = kHeader + bottomField;
    const size_t firstSequence = kHeader + pixels.bytes().size();
    // Delay and link, SET_COLOR, SET_CONTR, SET_DAREA, SET_DSPXA, STA_DSP, CMD_END.
    const size_t firstSequenceSize = 4 + 3 + 3 + 7 + 5 + 1 + 1;
    const size_t secondSequence = firstSequence + firstSequenceSize;

    Bytes unit = {0, 0};  // the unit's size, set at the end
    putWord(unit, static_cast<uint32_t>(firstSequence));
    std::copy(pixels.bytes().begin(), pixels.bytes().end(), std::back_inserter(unit));

    // Display control sequence 1, at once: colours, contrast, area, field offsets, show.
    putWord(unit, 0);
    putWord(unit, static_cast<uint32_t>(secondSequence));
    unit.insert(unit.end(), {0x03, 0x0F, 0x21});  // SET_COLOR: palette entries per code
    unit.insert(unit.end(), {0x04, 0xFF, 0xF0});  // SET_CONTR: codes 1-3 opaque, 0 clear
    const int x2 = box.x + box.width - 1;
    const int y2 = box.y + box.height - 1;
    unit.insert(unit.end(), {0x05, static_cast<uint8_t>(box.x >> 4),
                             static_cast<uint8_t>(((box.x & 0x0F) << 4) | (x2 >> 8)),
                             static_cast<uint8_t>(x2), static_cast<uint8_t>(box.y >> 4),
                             static_cast<uint8_t>(((box.y & 0x0F) << 4) | (y2 >> 8)),
                             static_cast<uint8_t>(y2)});
    unit.push_back(0x06);  // SET_DSPXA
    putWord(unit, static_cast<uint32_t>(topOffset));
    putWord(unit, static_cast<uint32_t>(bottomOffset));
    unit.push_back(0x01);  // STA_DSP
    unit.push_back(0xFF);  // CMD_END

    // Display control sequence 2, after the duration (in units of 1,024 clock ticks): hide.
    putWord(unit, static_cast<uint32_t>((durationTicks + 512) / 1024));
    putWord(unit, static_cast<uint32_t>(secondSequence));  // the last sequence points at itself
    unit.push_back(0x02);                                  // STP_DSP
    unit.push_back(0xFF);                                  // CMD_END

    unit[0] = static_cast<uint8_t>(unit.size() >> 8);
    unit[1] = static_cast<uint8_t>(unit.size());
    return unit;
}

}  // namespace morvale::sample
