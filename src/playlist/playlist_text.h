// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace morvale {

// Playlist text is whatever bytes the authoring tool wrote: mostly UTF-8, sometimes Latin-1,
// now and then broken. What the program shows or hands on is valid UTF-8, made by these.

// True when the bytes are well-formed UTF-8 (shortest forms only, no surrogates, nothing
// beyond U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// The bytes as UTF-8 text: each well-formed UTF-8 sequence as it stands, each byte that does
// not begin one as the Latin-1 character of that code. So "Fran\xC3\xA7" "ais" and
// "Fran\xE7" "ais" both give "Français", and one stray byte does not turn the text around
// it into Latin-1. The result is always valid UTF-8; valid UTF-8 comes back unchanged.
// For the outline reader's byte strings too (tree items, log lines, box captions).
std::string utf8OrLatin1(std::string_view bytes);

// The text on one line, for chapter names, mkvmerge's options and log lines: read as by
// utf8OrLatin1, then every run of control characters (U+0000-U+001F, U+007F-U+009F, the
// line and paragraph separators U+2028 and U+2029) becomes one blank, or nothing at the
// start or the end of the text or beside a blank. Blanks that were there stay.
std::string singleLineText(std::string_view text);

// The longest file-name component fileNameComponent makes, in bytes: room is left below the
// 255 bytes file systems allow for what the program appends (".DD+.6ch.stream.01.mpa").
inline constexpr size_t kMaxFileNameComponentBytes = 160;

// Playlist text as one component of a file name: single-line text (as singleLineText) in
// which "/", "\", ":" (a drive colon splits paths here) and the characters Windows refuses
// in names (* ? " < > |) become "_", a run of dots becomes one dot, leading and trailing
// dots and blanks go, and the rest is cut to kMaxFileNameComponentBytes at a character
// boundary. So it never names a folder, never hides the file, never climbs with "..".
// Empty text, or text of which nothing is left, gives `fallback` cleaned the same way, or
// "_" when nothing is left of that either.
std::string fileNameComponent(std::string_view text, std::string_view fallback = "untitled");

}  // namespace morvale
