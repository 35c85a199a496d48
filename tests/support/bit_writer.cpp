// SPDX-License-Identifier: MIT
#include "support/bit_writer.h"

#include <stdexcept>

namespace morvale::testing {

BitWriter& BitWriter::bits(uint64_t value, int width) {
    if (width < 0 || width > 64) throw std::invalid_argument("BitWriter: width out of range");
    for (int bit = width - 1; bit >= 0; --bit) {
        if (bitCount_ % 8 == 0) data_.push_back(0);
        if ((value >> bit) & 1) data_.back() |= static_cast<uint8_t>(0x80 >> (bitCount_ % 8));
        ++bitCount_;
    }
    return *this;
}

BitWriter& BitWriter::expGolomb(uint32_t value) {
    const uint64_t codeNum = uint64_t{value} + 1;
    int width = 0;
    while ((codeNum >> width) > 1)
        ++width;
    bits(0, width);
    return bits(codeNum, width + 1);
}

BitWriter& BitWriter::bytes(std::initializer_list<uint8_t> values) {
    return bytes(std::vector<uint8_t>(values));
}

BitWriter& BitWriter::bytes(const std::vector<uint8_t>& values) {
    if (!aligned()) throw std::logic_error("BitWriter: bytes() on a partial byte");
    data_.insert(data_.end(), values.begin(), values.end());
    bitCount_ += 8 * values.size();
    return *this;
}

BitWriter& BitWriter::alignWithZeros() {
    while (!aligned())
        bits(0, 1);
    return *this;
}

}  // namespace morvale::testing
