// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace morvale::testing {

// Builds byte strings field by field, most significant bit first, as the bit-stream syntax
// of the video and audio standards writes them.
class BitWriter {
  public:
    // Appends the low `width` bits of value (width 0-64), highest bit first.
    BitWriter& bits(uint64_t value, int width);
    BitWriter& flag(bool value) { return bits(value ? 1 : 0, 1); }
    // Unsigned Exp-Golomb code ue(v) of ISO/IEC 14496-10.
    BitWriter& expGolomb(uint32_t value);
    // Appends whole bytes; the writer must be byte-aligned.
    BitWriter& bytes(std::initializer_list<uint8_t> values);
    BitWriter& bytes(const std::vector<uint8_t>& values);
    // Fills the rest of the current byte with zero bits.
    BitWriter& alignWithZeros();

    bool aligned() const { return bitCount_ % 8 == 0; }
    // Whole bytes written so far (a partial last byte not counted).
    size_t byteCount() const { return bitCount_ / 8; }
    // The bytes written; a partial last byte is padded with zero bits.
    const std::vector<uint8_t>& data() const { return data_; }

  private:
    std::vector<uint8_t> data_;
    size_t bitCount_ = 0;
};

}  // namespace morvale::testing
