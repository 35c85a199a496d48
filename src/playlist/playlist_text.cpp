// SPDX-License-Identifier: MIT
#include "playlist/playlist_text.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace morvale {

namespace {

// The well-formed UTF-8 sequences by their lead byte: the length and the range of the second
// byte (the later bytes are 80-BF). The narrower second ranges keep out overlong forms,
// surrogates (ED A0-BF) and code points beyond U+10FFFF.
struct LeadRule {
    uint8_t first, last;
    uint8_t length;
    uint8_t secondFirst, secondLast;
};
constexpr std::array<LeadRule, 8> kLeadRules = {{
    {0xC2, 0xDF, 2, 0x80, 0xBF},
    {0xE0, 0xE0, 3, 0xA0, 0xBF},
    {0xE1, 0xEC, 3, 0x80, 0xBF},
    {0xED, 0xED, 3, 0x80, 0x9F},
    {0xEE, 0xEF, 3, 0x80, 0xBF},
    {0xF0, 0xF0, 4, 0x90, 0xBF},
    {0xF1, 0xF3, 4, 0x80, 0xBF},
    {0xF4, 0xF4, 4, 0x80, 0x8F},
}};

uint8_t byteAt(std::string_view bytes, size_t i) {
    return static_cast<uint8_t>(bytes[i]);
}

bool isContinuation(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the well-formed sequence at `at`; 0 when none begins there.
size_t sequenceLength(std::string_view bytes, size_t at) {
    const uint8_t lead = byteAt(bytes, at);
    if (lead < 0x80) return 1;
    for (const LeadRule& rule : kLeadRules) {
        if (lead < rule.first || lead > rule.last) continue;
        if (at + rule.length > bytes.size()) return 0;
        const uint8_t second = byteAt(bytes, at + 1);
        if (second < rule.secondFirst || second > rule.secondLast) return 0;
        for (size_t i = 2; i < rule.length; ++i) {
            if (!isContinuation(byteAt(bytes, at + i))) return 0;
        }
        return rule.length;
    }
    return 0;
}

void appendLatin1(std::string& text, uint8_t code) {
    text += static_cast<char>(0xC0 | (code >> 6));
    text += static_cast<char>(0x80 | (code & 0x3F));
}

// The code point of the well-formed sequence of `length` bytes at `at`.
uint32_t codePointAt(std::string_view text, size_t at, size_t length) {
    static constexpr std::array<uint8_t, 5> kLeadBits = {0, 0x7F, 0x1F, 0x0F, 0x07};
    uint32_t code = byteAt(text, at) & kLeadBits[length];
    for (size_t i = 1; i < length; ++i)
        code = (code << 6) | (byteAt(text, at + i) & 0x3F);
    return code;
}

bool isControl(uint32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029;
}

// The characters a file name cannot hold here or on Windows.
constexpr std::string_view kNotInNames = "/\\:*?\"<>|";

// Cuts valid UTF-8 to at most `limit` bytes without splitting a character.
void cutAtCharacter(std::string& text, size_t limit) {
    if (text.size() <= limit) return;
    size_t end = limit;
    while (end > 0 && isContinuation(byteAt(text, end)))
        --end;
    text.resize(end);
}

void trimDotsAndBlanks(std::string& text) {
    const size_t first = text.find_first_not_of(". ");
    if (first == std::string::npos) {
        text.clear();
        return;
    }
    text.erase(0, first);
    text.erase(text.find_last_not_of(". ") + 1);
}

// fileNameComponent without the fallback.
std::string cleanedComponent(std::string_view text) {
    const std::string line = singleLineText(text);
    std::string name;
    name.reserve(line.size());
    for (char c : line) {
        if (kNotInNames.find(c) != std::string_view::npos) c = '_';
        if (c == '.' && !name.empty() && name.back() == '.') continue;
        name += c;
    }
    trimDotsAndBlanks(name);
    cutAtCharacter(name, kMaxFileNameComponentBytes);
    trimDotsAndBlanks(name);
    return name;
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = sequenceLength(bytes, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string utf8OrLatin1(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = sequenceLength(bytes, i);
        if (length == 0) {
            appendLatin1(text, byteAt(bytes, i));
            ++i;
            continue;
        }
        text.append(bytes.substr(i, length));
        i += length;
    }
    return text;
}

std::string singleLineText(std::string_view text) {
    const std::string valid = utf8OrLatin1(text);
    std::string line;
    line.reserve(valid.size());
    bool pendingBlank = false;
    for (size_t i = 0; i < valid.size();) {
        const size_t length = sequenceLength(valid, i);
        if (isControl(codePointAt(valid, i, length))) {
            pendingBlank = !line.empty();
        } else {
            // A run beside a blank adds none of its own.
            if (pendingBlank && line.back() != ' ' && valid[i] != ' ') line += ' ';
            pendingBlank = false;
            line.append(valid, i, length);
        }
        i += length;
    }
    return line;
}

std::string fileNameComponent(std::string_view text, std::string_view fallback) {
    std::string name = cleanedComponent(text);
    if (name.empty()) name = cleanedComponent(fallback);
    return name.empty() ? std::string("_") : name;
}

}  // namespace morvale
