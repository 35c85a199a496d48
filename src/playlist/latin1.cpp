// SPDX-License-Identifier: MIT
#include "playlist/latin1.h"

#include <cstdint>

namespace morvale {

std::string latin1ToUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        auto code = static_cast<uint8_t>(c);
        if (code < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (code >> 6));
            text += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return text;
}

std::optional<std::string> utf8ToLatin1(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        auto lead = static_cast<uint8_t>(text[i]);
        if (lead < 0x80) {
            bytes += static_cast<char>(lead);
            continue;
        }
        // Only U+0080..U+00FF fit: two-byte sequences with lead byte 0xC2 or 0xC3.
        if ((lead != 0xC2 && lead != 0xC3) || i + 1 >= text.size()) return std::nullopt;
        auto next = static_cast<uint8_t>(text[i + 1]);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        bytes += static_cast<char>(((lead & 0x03) << 6) | (next & 0x3F));
        ++i;
    }
    return bytes;
}

}  // namespace morvale
