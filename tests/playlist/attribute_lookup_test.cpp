// SPDX-License-Identifier: MIT
#include "playlist/attribute_lookup.h"

#include <gtest/gtest.h>

namespace morvale {
namespace {

std::string lookup(std::string_view tag, std::string_view name, std::string start = "") {
    GetAttr(tag, name, start);
    return start;
}

TEST(GetAttrTest, NameIsFoundInAnyLetterCaseAndTheValueKeepsItsOwn) {
    const char* tag = R"(<Playlist DisplayName="Disc One" majorVersion="1">)";
    EXPECT_EQ(lookup(tag, "displayName"), "Disc One");
    EXPECT_EQ(lookup(tag, "DISPLAYNAME"), "Disc One");
    EXPECT_EQ(lookup(tag, "majorversion"), "1");
}

TEST(GetAttrTest, FirstOccurrenceCountsEvenInsideALongerNameOrAValue) {
    EXPECT_EQ(lookup(R"(<Title subTitleDuration="9" titleDuration="1">)", "titleDuration"), "9");
    EXPECT_EQ(lookup(R"(<Chapter note="index" index="3">)", "index"), "3")
        << "the name inside a value is passed: '=' then the first quote come after it";
    EXPECT_EQ(lookup(R"(<Audio description="codec" codec="DD+">)", "codec"), "DD+");
    EXPECT_EQ(lookup(R"(<Audio description="the codec=x" codec="DD+">)", "codec"), " codec=");
}

TEST(GetAttrTest, AMissingAttributeLeavesTheResultAsItWas) {
    EXPECT_EQ(lookup("</Playlist>", "displayName", "Disc"), "Disc");
    EXPECT_EQ(lookup(R"(<Title id="1">)", "displayName", "Main"), "Main");
    EXPECT_EQ(lookup(R"(<Title id="1">)", "", "kept"), "kept");
}

TEST(GetAttrTest, TextWithoutEqualsOrQuotesGivesAnEmptyValue) {
    EXPECT_EQ(lookup(R"(<Title displayName="Main)", "displayName", "old"), "");
    EXPECT_EQ(lookup("<Title displayName=Main>", "displayName", "old"), "");
    // Without "=" the search for quotes starts right after the name.
    EXPECT_EQ(lookup(R"(<Title displayName "Main">)", "displayName", "old"), "Main");
    EXPECT_EQ(lookup(R"(<Title displayName="">)", "displayName", "old"), "");
}

TEST(GetAttrTest, SingleQuotedValuesAreNotRecognised) {
    EXPECT_EQ(lookup("<Title displayName='Main'>", "displayName", "old"), "");
    EXPECT_EQ(lookup(R"(<Title displayName='Main' id="7">)", "displayName"), "7");
}

TEST(GetAttrTest, TheValueMustEndWithin255CharactersOfTheName) {
    // After the name: '="' (2 characters), the value, then its closing quote at index
    // value length + 2, which must lie within the first 255.
    std::string fits(252, 'x');
    std::string tooLong(253, 'x');
    EXPECT_EQ(lookup("<T a=\"" + fits + "\">", "a"), fits);
    EXPECT_EQ(lookup("<T a=\"" + tooLong + "\">", "a", "old"), "");
    // Padding before the name does not count.
    std::string padding(1000, ' ');
    EXPECT_EQ(lookup("<T" + padding + "a=\"" + fits + "\">", "a"), fits);
}

TEST(GetAttrIntTest, ConvertsDecimalIntegersAndGivesZeroOtherwise) {
    EXPECT_EQ(GetAttrInt(R"(<Video track="12" mediaAttr="1"/>)", "track"), 12);
    EXPECT_EQ(GetAttrInt(R"(<Video Track="-3"/>)", "track"), -3);
    EXPECT_EQ(GetAttrInt(R"(<Video mediaAttr="1"/>)", "track"), 0);
    EXPECT_EQ(GetAttrInt(R"(<Video track=""/>)", "track"), 0);
    EXPECT_EQ(GetAttrInt(R"(<Video track="1x"/>)", "track"), 0);
    EXPECT_EQ(GetAttrInt(R"(<Video track=" 1"/>)", "track"), 0);
    EXPECT_EQ(GetAttrInt(R"(<Video track="99999999999"/>)", "track"), 0);
    EXPECT_EQ(GetAttrInt(R"(<Video track="+7"/>)", "track"), 7);
    EXPECT_EQ(GetAttrInt(R"(<Video track="0x1"/>)", "track"), 0);
}

}  // namespace
}  // namespace morvale
