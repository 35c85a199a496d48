// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "playlist/title_listing.h"
#include "playlist/title_selection.h"

namespace morvale {
namespace {

using Lines = std::vector<std::string>;

const Lines kOutline = {
    "<?xml version=\"1.0\"?>",
    "<Playlist displayName=\"Disc\">",
    "  <TitleSet>",
    "    <Title displayName=\"Extras\">",
    "      <PrimaryAudioVideoClip src=\"FEATURE_2.MAP\"/>",
    "    </Title>",
    "    <Title displayName=\"Main\">",
    "      <PrimaryAudioVideoClip src=\"FEATURE_1.MAP\">",
    "        <Video track=\"1\"/>",
    "      </PrimaryAudioVideoClip>",
    "    </Title>",
    "  </TitleSet>",
    "</Playlist>",
};

TEST(SelectTitleTest, KeepsTheTitleAroundTheFirstLineNamingTheSource) {
    Lines lines = kOutline;
    ASSERT_TRUE(selectTitle(lines, "FEATURE_1"));
    EXPECT_EQ(lines, (Lines(kOutline.begin() + 6, kOutline.begin() + 11)));

    lines = kOutline;
    ASSERT_TRUE(selectTitle(lines, "FEATURE_2"));
    EXPECT_EQ(lines, (Lines(kOutline.begin() + 3, kOutline.begin() + 6)));
}

TEST(SelectTitleTest, LeavesTheOutlineWholeWhenNoLineBelowTheTopNamesTheSource) {
    for (const char* base : {"FEATURE_3", "feature_1", "", "xml"}) {
        Lines lines = kOutline;
        EXPECT_FALSE(selectTitle(lines, base)) << base;
        EXPECT_EQ(lines, kOutline) << base;
    }
}

TEST(SelectTitleTest, TitleTagsMatchInAnyCaseButOnlyWithTheBlank) {
    Lines lines = {
        "<TITLE displayName=\"A\">",
        "<TitleSet>",
        "  <title displayName=\"B\">",
        "    <TitleList>",
        "      <Clip src=\"FEATURE_1.MAP\"/>",
        "  </title>",
        "</TitleSet>",
    };
    ASSERT_TRUE(selectTitle(lines, "FEATURE_1"));
    EXPECT_EQ(lines, (Lines{"  <title displayName=\"B\">", "    <TitleList>",
                            "      <Clip src=\"FEATURE_1.MAP\"/>", "  </title>"}));
}

TEST(SelectTitleTest, CutsNothingAboveWithoutATitleOrWithOneOnTheTopLine) {
    Lines noTitle = {"<a>", "  <Clip src=\"FEATURE_1.MAP\"/>", "  </Title>", "</a>"};
    ASSERT_TRUE(selectTitle(noTitle, "FEATURE_1"));
    EXPECT_EQ(noTitle, (Lines{"<a>", "  <Clip src=\"FEATURE_1.MAP\"/>", "  </Title>"}));

    Lines topTitle = {"<Title id=\"1\">", "  <Clip src=\"FEATURE_1.MAP\"/>", "</Title>", "<b/>"};
    ASSERT_TRUE(selectTitle(topTitle, "FEATURE_1"));
    EXPECT_EQ(topTitle.size(), 4u) << "a closing tag at the start of a line does not end it";
}

TEST(SelectTitleTest, TheFoundLineItselfIsNotTakenAsTheTitle) {
    Lines lines = {"<x/>", "  <Title id=\"0\">", "  </Title>",
                   "  <Title displayName=\"FEATURE_1\">", "  </Title>"};
    ASSERT_TRUE(selectTitle(lines, "FEATURE_1"));
    EXPECT_EQ(lines, (Lines{"  <Title id=\"0\">", "  </Title>"}));
}

struct Marks {
    Marks() {
        video.fill(-1);
        audio.fill(-1);
        subtitle.fill(-1);
    }
    TrackMarks spans() { return {video, audio, subtitle}; }
    std::array<int32_t, 16> video;
    std::array<int32_t, 16> audio;
    std::array<int32_t, 32> subtitle;
};

XplCodecTables exampleCodecs() {
    XplCodecTables codecs;
    codecs.video[1] = "VC-1";
    codecs.audio[1] = "DD+.6ch";
    codecs.audio[2] = "DTS";
    codecs.subpicture[1] = "2bitRLE";
    return codecs;
}

TEST(ListTitleTest, ValuesOutsideTheTablesAreListedButMarkAndTickNothing) {
    Marks marks;
    Lines title = {
        "<Video track=\"0\" mediaAttr=\"1\"/>",
        "<Video track=\"17\" mediaAttr=\"99\"/>",
        "<Video mediaAttr=\"1\"/>",
        "<Audio streamNumber=\"0\" mediaAttr=\"9\" description=\"x\"/>",
        "<Audio streamNumber=\"17\" mediaAttr=\"1\" description=\"y\"/>",
        "<Audio streamNumber=\"17\" mediaAttr=\"1\" description=\"y\"/>",
        "<Audio streamNumber=\"-2147483648\" mediaAttr=\"-1\"/>",
        "<Subtitle streamNumber=\"17\" mediaAttr=\"1\" description=\"z\"/>",
        "<Subtitle streamNumber=\"32\" mediaAttr=\"0\" description=\"w\"/>",
        "<Subtitle streamNumber=\"33\" mediaAttr=\"1\"/>",
    };
    TitleListing listing = listTitle(title, "", exampleCodecs(), marks.spans());
    EXPECT_EQ(listing.video, (Lines{".stream.-1", ".stream.16", ".stream.-1"}));
    EXPECT_EQ(listing.audio, (Lines{".stream.-1.x", ".stream.16.y", ".stream.16.y",
                                    ".stream.-2147483649.y"}));
    EXPECT_EQ(listing.subtitle,
              (Lines{"2bitRLE.stream.16.z", ".stream.31.w", ".stream.32.w"}));
    for (const ListedTrack& track : listing.tracks)
        EXPECT_EQ(track.box, -1) << track.text;
    for (int32_t mark : marks.video)
        EXPECT_EQ(mark, -1);
    for (int32_t mark : marks.audio)
        EXPECT_EQ(mark, -1);
    // Subtitle streams 17-32 have table entries but no box.
    for (size_t n = 0; n < marks.subtitle.size(); ++n) {
        EXPECT_EQ(marks.subtitle[n], n == 16 || n == 31 ? 1 : -1) << n;
    }
}

TEST(ListTitleTest, DescriptionsAndChapterTextsKeepTheirLastValueWhenMissing) {
    Marks marks;
    Lines title = {
        "<Audio streamNumber=\"1\" mediaAttr=\"2\" description=\"English\"/>",
        "<Audio streamNumber=\"3\" mediaAttr=\"2\"/>",
        "<Subtitle streamNumber=\"1\" mediaAttr=\"1\"/>",
        "<Chapter titleTimeBegin=\"00:00:00:00\" displayName=\"Start\"/>",
        "<Chapter titleTimeBegin=\"00:10:00:00\"/>",
    };
    TitleListing listing = listTitle(title, "", exampleCodecs(), marks.spans());
    EXPECT_EQ(listing.audio, (Lines{"DTS.stream.00.English", "DTS.stream.02.English"}));
    EXPECT_EQ(listing.subtitle, (Lines{"2bitRLE.stream.00."})) << "each kind has its own lookup";
    EXPECT_EQ(listing.chapter, (Lines{"00:00:00:00: Start", "00:10:00:00: Start"}));
}

TEST(ListTitleTest, OneLineCanMatchSeveralTests) {
    Marks marks;
    TitleListing listing = listTitle(
        {"<Title displayName=\"T\" x=\"<VIDEO \" track=\"1\" mediaAttr=\"1\"> <Chapter a>"}, "",
        exampleCodecs(), marks.spans());
    EXPECT_EQ(listing.info.size(), 2u);
    EXPECT_EQ(listing.video, (Lines{"VC-1.stream.0"}));
    EXPECT_EQ(listing.chapter, (Lines{": T"}));
}

}  // namespace
}  // namespace morvale
