#include "hd_subpicture_unit.h"

#include <algorithm>

#include "support/bit_writer.h"

namespace morvale::sample {

namespace {

using testing::BitWriter;

constexpr uint64_t kDelayUnit = 1024;

uint16_t delayOf(uint64_t ticks) {
    return static_cast<uint16_t>((ticks + kDelayUnit / 2) / kDelayUnit);
}

void putBig(Bytes& out, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void setBig(Bytes& out, size_t at, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * (bytes - 1 - i)));
}

// x1, x2, y1, y2 in 12 bits each, inclusive.
void putArea(Bytes& out, int x, int y, int width, int height) {
    const int x2 = x + width - 1, y2 = y + height - 1;
    out.insert(out.end(),
               {static_cast<uint8_t>(x >> 4), static_cast<uint8_t>(((x & 0x0F) << 4) | (x2 >> 8)),
                static_cast<uint8_t>(x2), static_cast<uint8_t>(y >> 4),
                static_cast<uint8_t>(((y & 0x0F) << 4) | (y2 >> 8)), static_cast<uint8_t>(y2)});
}

// DVD nibble codes: (length << 2) | code in 4, 8, 12 or 16 bits; 16-bit length 0 ends a line.
void putDvdRun(BitWriter& w, int length, int code, bool toEnd) {
    if (toEnd) {
        w.bits(static_cast<uint64_t>(code), 16);
        return;
    }
    const uint64_t value = static_cast<uint64_t>((length << 2) | code);
    const int width = length < 4 ? 4 : length < 16 ? 8 : length < 64 ? 12 : 16;
    w.bits(value, width);
}

// HD DVD codes: run flag, colour width, 2- or 8-bit colour, 3-bit length - 2 or 7-bit
// length - 9 (7-bit 0: to the end of the line).
void putHdRun(BitWriter& w, int length, int colour, bool toEnd) {
    const bool wide = colour > 3;
    w.flag(length > 1 || toEnd).flag(wide).bits(static_cast<uint64_t>(colour), wide ? 8 : 2);
    if (toEnd) {
        w.flag(true).bits(0, 7);
    } else if (length >= 10) {
        w.flag(true).bits(static_cast<uint64_t>(length - 9), 7);
    } else if (length >= 2) {
        w.flag(false).bits(static_cast<uint64_t>(length - 2), 3);
    }
}

// The lines first, first + 2, ... of a picture, each ending byte-aligned. Runs longer than a
// code holds are split; a last run longer than one code ends the line with "to the end".
template <typename PutRun>
void putField(BitWriter& w, const std::vector<uint8_t>& pixels, int width, int height, int first,
              int maxRun, PutRun putRun) {
    for (int line = first; line < height; line += 2) {
        const uint8_t* row = pixels.data() + static_cast<size_t>(line) * width;
        for (int x = 0; x < width;) {
            int end = x + 1;
            while (end < width && row[end] == row[x])
                ++end;
            if (end == width && end - x > maxRun) {
                putRun(w, 0, row[x], true);
            } else {
                for (int left = end - x; left > 0; left -= std::min(left, maxRun))
                    putRun(w, std::min(left, maxRun), row[x], false);
            }
            x = end;
        }
        w.alignWithZeros();
    }
}

struct Fields {
    Bytes bytes;
    size_t bottom = 0;  // offset of the bottom field in `bytes`
};

template <typename PutRun>
Fields encodeFields(const std::vector<uint8_t>& pixels, int width, int height, int maxRun,
                    PutRun putRun) {
    BitWriter top, bottom;
    putField(top, pixels, width, height, 0, maxRun, putRun);
    putField(bottom, pixels, width, height, 1, maxRun, putRun);
    Fields f{top.data(), top.data().size()};
    f.bytes.insert(f.bytes.end(), bottom.data().begin(), bottom.data().end());
    return f;
}

// A control sequence: delay, link to the next one (patched later), the commands.
size_t putSequence(Bytes& unit, uint64_t ticks, int offsetBytes, const Bytes& commands) {
    const size_t at = unit.size();
    putBig(unit, delayOf(ticks), 2);
    putBig(unit, 0, offsetBytes);
    unit.insert(unit.end(), commands.begin(), commands.end());
    unit.push_back(0xFF);
    return at;
}

// Links each sequence to the next; the last one points at itself.
void linkSequences(Bytes& unit, const std::vector<size_t>& sequences, int offsetBytes) {
    for (size_t i = 0; i < sequences.size(); ++i) {
        const size_t next = sequences[std::min(i + 1, sequences.size() - 1)];
        setBig(unit, sequences[i] + 2, next, offsetBytes);
    }
}

}  // namespace

Bytes dvdSubpictureUnit(const DvdPicture& p) {
    const Fields f = encodeFields(p.codes, p.width, p.height, 255, putDvdRun);
    Bytes unit = {0, 0, 0, 0};
    unit.insert(unit.end(), f.bytes.begin(), f.bytes.end());
    Bytes show;
    if (p.forced) show.push_back(0x00);
    show.insert(show.end(), {0x01, 0x03, static_cast<uint8_t>((p.colours[3] << 4) | p.colours[2]),
                             static_cast<uint8_t>((p.colours[1] << 4) | p.colours[0]), 0x04,
                             static_cast<uint8_t>((p.contrasts[3] << 4) | p.contrasts[2]),
                             static_cast<uint8_t>((p.contrasts[1] << 4) | p.contrasts[0]), 0x05});
    putArea(show, p.x, p.y, p.width, p.height);
    show.push_back(0x06);
    putBig(show, 4, 2);
    putBig(show, 4 + f.bottom, 2);
    std::vector<size_t> sequences = {putSequence(unit, p.startTicks, 2, show)};
    if (p.stopTicks) sequences.push_back(putSequence(unit, *p.stopTicks, 2, {0x02}));
    linkSequences(unit, sequences, 2);
    setBig(unit, 0, unit.size(), 2);
    setBig(unit, 2, sequences.front(), 2);
    return unit;
}

Bytes hdSubpictureUnit(const HdPicture& p) {
    const Fields f = encodeFields(p.pixels, p.width, p.height, 136, putHdRun);
    constexpr size_t kHeader = 10;
    Bytes unit(kHeader, 0);
    unit.insert(unit.end(), f.bytes.begin(), f.bytes.end());
    Bytes show;
    if (p.forced) show.push_back(0x00);
    show.push_back(0x01);
    show.push_back(0x83);
    show.insert(show.end(), p.yCrCb.begin(), p.yCrCb.end());
    show.push_back(0x84);
    show.insert(show.end(), p.transparency.begin(), p.transparency.end());
    show.push_back(0x85);
    putArea(show, p.x, p.y, p.width, p.height);
    show.push_back(0x86);
    putBig(show, kHeader, 4);
    putBig(show, kHeader + f.bottom, 4);
    std::vector<size_t> sequences = {putSequence(unit, p.startTicks, 4, show)};
    for (const HdFadeStep& step : p.fades) {
        Bytes fade = {0x84};
        fade.insert(fade.end(), step.transparency.begin(), step.transparency.end());
        sequences.push_back(putSequence(unit, step.ticks, 4, fade));
    }
    if (p.stopTicks) sequences.push_back(putSequence(unit, *p.stopTicks, 4, {0x02}));
    linkSequences(unit, sequences, 4);
    setBig(unit, 2, unit.size(), 4);
    setBig(unit, 6, sequences.front(), 4);
    return unit;
}

}  // namespace morvale::sample
