// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace morvale {

// Codec names of the playlist's attribute items by their index 1..8 (entry 0 unused).
// They survive from one reading to the next.
struct XplCodecTables {
    std::array<std::string, 9> video;
    std::array<std::string, 9> audio;  // codec, then "." + channels + "ch" when given
    std::array<std::string, 9> subpicture;
};

inline constexpr int32_t kFirstCodecIndex = 1;
inline constexpr int32_t kLastCodecIndex = 8;

inline bool isCodecIndex(int32_t index) {
    return index >= kFirstCodecIndex && index <= kLastCodecIndex;
}

// The name an attribute item gave to `index`; empty for an index outside 1..8, which no
// attribute item can define.
inline const std::string& codecName(const std::array<std::string, 9>& table, int32_t index) {
    static const std::string kNone;
    return isCodecIndex(index) ? table[static_cast<size_t>(index)] : kNone;
}

}  // namespace morvale
