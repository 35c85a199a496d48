#include "playlist/latin1.h"

#include <gtest/gtest.h>

namespace morvale {
namespace {

TEST(Latin1Test, EveryByteBecomesItsCharacterInUtf8) {
    EXPECT_EQ(latin1ToUtf8("Disc 1"), "Disc 1");
    EXPECT_EQ(latin1ToUtf8("Caf\xE9 \x80\xFF"), "Caf\xC3\xA9 \xC2\x80\xC3\xBF");
    EXPECT_EQ(latin1ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Latin1Test, Utf8ConvertsBackOnlyWithinLatin1) {
    EXPECT_EQ(utf8ToLatin1("FEATURE_1"), "FEATURE_1");
    EXPECT_EQ(utf8ToLatin1("\xC3\x89T\xC3\x89"), "\xC9T\xC9");
    EXPECT_EQ(utf8ToLatin1("\xC2\x80"), "\x80");
    EXPECT_FALSE(utf8ToLatin1("\xE2\x82\xAC"));  // the euro sign lies beyond U+00FF
    EXPECT_FALSE(utf8ToLatin1("\xC3"));          // cut short
    EXPECT_FALSE(utf8ToLatin1("\xC3(x"));        // no continuation byte
    EXPECT_FALSE(utf8ToLatin1("\xC9T"));         // Latin-1 already, not UTF-8
}

}  // namespace
}  // namespace morvale
