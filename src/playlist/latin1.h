// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace morvale {

// The playlist is read as 8-bit text, one character per byte (Latin-1). The window and the
// command line show UTF-8, so text crosses over through these two.

// Each byte as the Latin-1 character of that code, in UTF-8.
std::string latin1ToUtf8(std::string_view bytes);
// The UTF-8 text in Latin-1; nothing when it is not valid UTF-8 or holds a character
// beyond U+00FF.
std::optional<std::string> utf8ToLatin1(std::string_view text);

}  // namespace morvale
