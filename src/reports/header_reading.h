// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>

// What the codec header readers share: a bit reader that never leaves its span, the record
// of how far a reader got, and the search for start codes.

namespace morvale {

// The bits of a header, most significant first; a read past the span sets overrun() and
// gives zeros. A unit (an ISO/IEC 14496-10 NAL unit, an SMPTE 421M bitstream data unit)
// loses its emulation prevention bytes (00 00 03) and ends before the next start code prefix
// (00 00 00 or 00 00 01); a zero byte that may begin one waits for the bytes that tell.
class BitReader {
  public:
    enum class Layout : uint8_t { Plain, Unit };
    explicit BitReader(std::span<const uint8_t> bytes, Layout layout = Layout::Plain)
        : bytes_(bytes), unit_(layout == Layout::Unit) {}

    uint32_t bits(int n) {  // n = 0-32
        while (cached_ < n && !overrun_)
            overrun_ = !fill();
        if (overrun_) return 0;
        cached_ -= n;
        return static_cast<uint32_t>((cache_ >> cached_) & ((uint64_t{1} << n) - 1));
    }
    bool flag() { return bits(1) != 0; }
    void skip(int n) {
        for (; n > 32; n -= 32)
            bits(32);
        bits(n);
    }
    uint32_t unsignedGolomb() {  // ue(v)
        int zeros = 0;
        while (!flag() && !overrun_)
            overrun_ = ++zeros == 32;  // no code is that long
        return overrun_ ? 0 : (1u << zeros) - 1 + bits(zeros);
    }
    int32_t signedGolomb() {  // se(v)
        const uint32_t code = unsignedGolomb();
        return (code & 1) != 0 ? static_cast<int32_t>((code + 1) / 2)
                               : -static_cast<int32_t>(code / 2);
    }
    bool overrun() const { return overrun_; }
    // The bits ran out where the span ended, not the unit: more bytes may complete them.
    bool cut() const { return overrun_ && !ended_; }

  private:
    bool fill() {
        for (; next_ < bytes_.size(); ++next_) {
            const uint8_t b = bytes_[next_];
            if (unit_ && zeros_ >= 2 && b == 0x03) {  // emulation prevention
                zeros_ = 0;
                continue;
            }
            if (unit_ && b == 0 && !unitGoesOnAt(next_)) return false;
            zeros_ = b == 0 ? zeros_ + 1 : 0;
            cache_ = (cache_ << 8) | b;
            cached_ += 8;
            ++next_;
            return true;
        }
        return false;
    }
    // At a zero byte of a unit: whether the unit goes on past it. Without the bytes that
    // tell, the span counts as cut there.
    bool unitGoesOnAt(size_t at) {
        if (at + 1 >= bytes_.size()) return false;
        if (bytes_[at + 1] != 0) return true;
        if (at + 2 >= bytes_.size()) return false;
        ended_ = bytes_[at + 2] <= 0x01;
        return !ended_;
    }

    std::span<const uint8_t> bytes_;
    size_t next_ = 0;
    uint64_t cache_ = 0;  // its low cached_ bits are still to be read
    int cached_ = 0;
    int zeros_ = 0;
    bool unit_;
    bool ended_ = false;
    bool overrun_ = false;
};

// How far a reader got: Part lists groups of fields in bitstream order from None to Whole
// (all the reader takes), and the fields of the groups up to `read` are set. `cut`: the
// span ended inside the header, more bytes may complete it; else what was read is all.
template <typename Part>
struct HeaderProgress {
    Part read = Part::None;
    bool cut = false;

    bool has(Part part) const { return read >= part; }
    bool whole() const { return read == Part::Whole; }
    // After the fields of `part`: records it when their bits lay in the span.
    bool reached(const BitReader& r, Part part) {
        cut = r.cut();
        if (!r.overrun()) read = part;
        return !r.overrun();
    }
};
enum class WholePart { None, Whole };

// The position of the code byte of the first start code (00 00 01 xx) whose 01 lies at or
// after `from`, or bytes.size(). The bytes count as preceded by zeros, as a shift register
// that starts at zero reads them.
inline size_t nextStartCode(std::span<const uint8_t> bytes, size_t from) {
    const uint8_t* data = bytes.data();
    while (from + 1 < bytes.size()) {
        const void* hit = std::memchr(data + from, 0x01, bytes.size() - 1 - from);
        if (hit == nullptr) break;
        const size_t one = static_cast<size_t>(static_cast<const uint8_t*>(hit) - data);
        from = one + 1;
        if ((one < 1 || data[one - 1] == 0) && (one < 2 || data[one - 2] == 0)) return one + 1;
    }
    return bytes.size();
}

// onCode(code, rest) for each start code in order, `rest` running from the code byte to the
// next start code's code byte: each structure is read from bytes that end before the next
// one's begin, so a report's lines come in the order of the bytes they need.
template <typename OnCode>
void forEachStartCode(std::span<const uint8_t> bytes, OnCode onCode) {
    for (size_t code = nextStartCode(bytes, 0); code < bytes.size();) {
        const size_t next = nextStartCode(bytes, code);
        onCode(bytes[code], bytes.subspan(code + 1, std::min(next + 1, bytes.size()) - code - 1));
        code = next;
    }
}

}  // namespace morvale
