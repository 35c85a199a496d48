// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace morvale {

// "   First PTS = " and the timestamp as 8 upper-case hexadecimal digits.
inline std::string firstPtsLine(uint32_t pts) {
    char text[32];
    std::snprintf(text, sizeof text, "   First PTS = %08X", static_cast<unsigned>(pts));
    return text;
}

}  // namespace morvale
