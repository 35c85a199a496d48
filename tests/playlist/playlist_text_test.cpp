// SPDX-License-Identifier: MIT
#include "playlist/playlist_text.h"

#include <gtest/gtest.h>

#include <string>

#include "playlist/latin1.h"

namespace morvale {
namespace {

TEST(PlaylistTextTest, ReadsUtf8WhereItIsValidAndLatin1ByteByByteWhereNot) {
    struct Case {
        std::string bytes;
        std::string text;  // UTF-8
        bool valid;        // the bytes were valid UTF-8 already
    };
    const Case cases[] = {
        {"Main Title", "Main Title", true},
        {"Fran\xC3\xA7"
         "ais",
         "Français", true},
        {"Fran\xE7"
         "ais",
         "Français", false},
        // One stray byte does not turn the valid text beside it into Latin-1.
        {"Caf\xC3\xA9 \xE9t\xE9", "Café été", false},
        {"\xE2\x82\xAC 5 \xF0\x9F\x8E\xAC", "€ 5 🎬", true},
        // Overlong forms, surrogates, code points past U+10FFFF and cut sequences are no
        // UTF-8: each of their bytes is a Latin-1 character.
        {"\xC0\xAF", "À¯", false},
        {"\xE0\x80\xAF", "à\xC2\x80¯", false},
        {"\xED\xA0\x80", "í\xC2\xA0\xC2\x80", false},
        {"\xF4\x90\x80\x80", "ô\xC2\x90\xC2\x80\xC2\x80", false},
        {"ab\xE2\x82", "abâ\xC2\x82", false},
        {"\xF8\x88\x80\x80\x80", "ø\xC2\x88\xC2\x80\xC2\x80\xC2\x80", false},
        {std::string("a\0b", 3), std::string("a\0b", 3), true},
        {"", "", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << c.text;
        const std::string text = utf8OrLatin1(c.bytes);
        EXPECT_EQ(text, c.text);
        EXPECT_TRUE(isValidUtf8(text)) << c.text;
        EXPECT_EQ(utf8OrLatin1(text), text) << "valid UTF-8 stays as it is: " << c.text;
        // Bytes of Latin-1 text alone read exactly as the outline's Latin-1 conversion reads them.
        if (!c.valid && utf8ToLatin1(c.text) == c.bytes) {
            EXPECT_EQ(text, latin1ToUtf8(c.bytes)) << c.text;
        }
    }
}

TEST(PlaylistTextTest, SingleLineTextAndFileNameComponentsHoldNothingThatBreaksALineOrAPath) {
    struct Case {
        std::string text;
        std::string line;
        std::string component;
    };
    const Case cases[] = {
        {"Main Feature", "Main Feature", "Main Feature"},
        {"Opening\r\nCHAPTER02=00:00:00.000", "Opening CHAPTER02=00:00:00.000",
         "Opening CHAPTER02=00_00_00.000"},
        {"\n\tTabbed\x01\x7F"
         "end\n",
         "Tabbed end", "Tabbed end"},
        {"Next\xC2\x85line\xE2\x80\xA8"
         "and\xE2\x80\xA9"
         "more",
         "Next line and more", "Next line and more"},
        {"../../etc/passwd", "../../etc/passwd", "_._etc_passwd"},
        {"..", "..", "untitled"},
        {".hidden", ".hidden", "hidden"},
        {"a\\b:c*d?e\"f<g>h|i", "a\\b:c*d?e\"f<g>h|i", "a_b_c_d_e_f_g_h_i"},
        {"Vol... 2. ", "Vol... 2. ", "Vol. 2"},
        {"Fran\xE7"
         "ais",
         "Français", "Français"},
        {"", "", "untitled"},
        {"\n\n", "", "untitled"},
        {"  two  blanks  ", "  two  blanks  ", "two  blanks"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(singleLineText(c.text), c.line) << c.text;
        const std::string component = fileNameComponent(c.text);
        EXPECT_EQ(component, c.component) << c.text;
    }
    // Long names are cut at a character boundary; a fallback that is no name either gives "_".
    const std::string long_ = std::string(kMaxFileNameComponentBytes - 1, 'x') + "\xC3\xA9\xC3\xA9";
    const std::string cut = fileNameComponent(long_);
    EXPECT_LE(cut.size(), kMaxFileNameComponentBytes);
    EXPECT_TRUE(isValidUtf8(cut));
    EXPECT_EQ(cut, std::string(kMaxFileNameComponentBytes - 1, 'x'));
    EXPECT_EQ(fileNameComponent("\r\n", "Title 3"), "Title 3");
    EXPECT_EQ(fileNameComponent("...", "../"), "_");
}

}  // namespace
}  // namespace morvale
