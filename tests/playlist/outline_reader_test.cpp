// SPDX-License-Identifier: MIT
#include "playlist/outline_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvale {
namespace {

using Lines = std::vector<std::string>;

std::span<const uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

Lines outlineOf(std::string_view text, XplCodecTables& codecs) {
    OutlineReader reader(codecs);
    reader.feed(bytesOf(text));
    return reader.lines();
}

Lines outlineOf(std::string_view text) {
    XplCodecTables codecs;
    return outlineOf(text, codecs);
}

TEST(OutlineReaderTest, IndentsByTwoBlanksPerOpenElement) {
    const char* xpl =
        "<?xml version=\"1.0\"?>\n"
        "<Playlist displayName=\"Disc\">\n"
        "  <TitleSet>\n"
        "    <Title id=\"t1\">\n"
        "      <!-- the feature -->\n"
        "      <Video track=\"1\"/>\n"
        "      <?marker here?>\n"
        "      <Empty />\n"
        "    </Title>\n"
        "  </TitleSet>\n"
        "</Playlist>\n";
    EXPECT_EQ(outlineOf(xpl), (Lines{
                                  "<?xml version=\"1.0\"?>",
                                  "<Playlist displayName=\"Disc\">",
                                  "  <TitleSet>",
                                  "    <Title id=\"t1\">",
                                  "      <!-- the feature -->",
                                  "      <Video track=\"1\"/>",
                                  "      <?marker here?>",
                                  "      <Empty />",
                                  "    </Title>",
                                  "  </TitleSet>",
                                  "</Playlist>",
                              }));
}

TEST(OutlineReaderTest, ADoctypeIsNeverClosedAndShiftsEveryLaterLine) {
    EXPECT_EQ(outlineOf("<?xml?><!DOCTYPE Playlist><Playlist><Title id=\"1\"/></Playlist><x/>"),
              (Lines{"<?xml?>", "<!DOCTYPE Playlist>", "  <Playlist>", "    <Title id=\"1\"/>",
                     "  </Playlist>", "  <x/>"}));
}

TEST(OutlineReaderTest, ControlBytesInsideATagFoldToOneBlank) {
    EXPECT_EQ(outlineOf("<Title\r\n\tid=\"1\"\n\n  displayName=\"a\tb\">"),
              (Lines{"<Title id=\"1\"   displayName=\"a b\">"}))
        << "a run of control bytes is one blank; real blanks are kept as they are";
    EXPECT_EQ(outlineOf("<a \n\x01 b>"), (Lines{"<a  b>"}))
        << "a control byte after a blank adds nothing";
    // Element content and line breaks between tags are not shown.
    EXPECT_EQ(outlineOf("text<a>content\n<b/>\n\n</a>tail"), (Lines{"<a>", "  <b/>", "</a>"}));
}

TEST(OutlineReaderTest, AClosingTagWithoutAnOpeningOneLosesItsLeadingCharacters) {
    // Depth goes below zero: the indent removed by the closing tag eats "</" itself.
    EXPECT_EQ(outlineOf("</a><b>"), (Lines{"a>", "<b>"}));
}

TEST(OutlineReaderTest, AFileWithoutAnyClosingBracketGivesNoLines) {
    EXPECT_TRUE(outlineOf("<Playlist displayName=\"Disc\"<Title").empty());
    EXPECT_TRUE(outlineOf(std::string(1000, '<')).empty());
}

TEST(OutlineReaderTest, IndentationStopsGrowingAtTheLevelLimit) {
    std::string deep;
    for (int i = 0; i < 300; ++i)
        deep += "<a>";
    deep += "<b/>";
    Lines lines = outlineOf(deep);
    ASSERT_EQ(lines.size(), 301u);
    EXPECT_EQ(lines[254], std::string(2 * 254, ' ') + "<a>");
    EXPECT_EQ(lines[255], std::string(2 * 255, ' ') + "<a>");
    EXPECT_EQ(lines[300], std::string(2 * OutlineReader::kMaxIndentLevels, ' ') + "<b/>");
}

TEST(OutlineReaderTest, BlocksSplitAnywhereGiveTheSameOutline) {
    const std::string xpl =
        "<?xml version=\"1.0\"?>\r\n<Playlist displayName=\"Disc\">\r\n"
        "<!-- c --><VideoAttributeItem index=\"1\" codec=\"VC-1\"/>\r\n"
        "<Title\r\n displayName=\"Main\"></Title></Playlist>";
    XplCodecTables wholeCodecs;
    Lines whole = outlineOf(xpl, wholeCodecs);
    ASSERT_EQ(whole.size(), 7u);
    for (size_t split = 1; split < xpl.size(); ++split) {
        XplCodecTables codecs;
        OutlineReader reader(codecs);
        reader.feed(bytesOf(std::string_view(xpl).substr(0, split)));
        reader.feed(bytesOf(std::string_view(xpl).substr(split)));
        EXPECT_EQ(reader.lines(), whole) << "split at " << split;
        EXPECT_EQ(reader.playlistName(), "Disc") << "split at " << split;
        EXPECT_EQ(codecs.video[1], "VC-1") << "split at " << split;
    }
}

TEST(OutlineReaderTest, PlaylistNameIsTheLatestDisplayNameOfATagNamingPlaylist) {
    XplCodecTables codecs;
    OutlineReader reader(codecs);
    reader.feed(
        bytesOf("<Playlist DisplayName=\"Disc\"><Title displayName=\"Main\"></Title>"
                "</Playlist>"));
    EXPECT_EQ(reader.playlistName(), "Disc") << "the closing tag has no displayName";

    OutlineReader lowerCase(codecs);
    lowerCase.feed(bytesOf("<playlist displayName=\"Disc\">"));
    EXPECT_EQ(lowerCase.playlistName(), "") << "the tag search is case-sensitive";

    OutlineReader later(codecs);
    later.feed(bytesOf("<Playlist displayName=\"Disc\"><PlaylistExtra displayName=\"Other\"/>"));
    EXPECT_EQ(later.playlistName(), "Other");
}

TEST(OutlineReaderTest, AttributeItemsFillTheCodecTables) {
    XplCodecTables codecs;
    outlineOf(
        "<VideoAttributeItem index=\"1\" codec=\"VC-1\"/>"
        "<VideoAttributeItem index=\"2\" codec=\"MPEG-2\"/>"
        "<AudioAttributeItem index=\"3\" codec=\"DD+\" channels=\"6\"/>"
        "<SubpictureAttributeItem index=\"8\" codec=\"2bitRLE\"/>"
        "<videoattributeitem index=\"4\" codec=\"lower\"/>",
        codecs);
    EXPECT_EQ(codecs.video[1], "VC-1");
    EXPECT_EQ(codecs.video[2], "MPEG-2");
    EXPECT_EQ(codecs.video[4], "") << "the tag search is case-sensitive";
    EXPECT_EQ(codecs.audio[3], "DD+.6ch");
    EXPECT_EQ(codecs.subpicture[8], "2bitRLE");
}

TEST(OutlineReaderTest, EachLookupKeepsItsValueForLaterItemsWithoutTheAttribute) {
    XplCodecTables codecs;
    outlineOf(
        "<AudioAttributeItem index=\"1\" codec=\"LPCM\"/>"
        "<AudioAttributeItem index=\"2\" codec=\"DD+\" channels=\"6\"/>"
        "<AudioAttributeItem index=\"3\" codec=\"DTS\"/>"
        "<AudioAttributeItem index=\"4\" channels=\"2\"/>"
        "<VideoAttributeItem index=\"1\" codec=\"VC-1\"/>"
        "<VideoAttributeItem index=\"2\"/>",
        codecs);
    EXPECT_EQ(codecs.audio[1], "LPCM") << "no channels read yet: no suffix";
    EXPECT_EQ(codecs.audio[2], "DD+.6ch");
    EXPECT_EQ(codecs.audio[3], "DTS.6ch");
    EXPECT_EQ(codecs.audio[4], "DTS.2ch");
    EXPECT_EQ(codecs.video[2], "VC-1");
}

TEST(OutlineReaderTest, ItemsWithoutAnIndexFrom1To8ArePassedOverAndReadingGoesOn) {
    XplCodecTables codecs;
    codecs.video[1] = "before";
    Lines lines = outlineOf(
        "<VideoAttributeItem index=\"one\" codec=\"A\"/>"
        "<VideoAttributeItem index=\"0\" codec=\"B\"/>"
        "<VideoAttributeItem index=\"9\" codec=\"C\"/>"
        "<VideoAttributeItem index=\"-1\" codec=\"D\"/>"
        "<VideoAttributeItem codec=\"E\"/>"
        "<VideoAttributeItem index=\"1.0\" codec=\"F\"/>"
        "<AudioAttributeItem index=\"\" codec=\"G\" channels=\"2\"/>"
        "<AudioAttributeItem index=\"2\" codec=\"DD+\"/>"
        "<SubpictureAttributeItem index=\"x\" codec=\"H\"/>",
        codecs);
    EXPECT_EQ(lines.size(), 9u);
    EXPECT_EQ(codecs.video[1], "before");
    for (const std::string& name : codecs.video)
        EXPECT_NE(name, "E");
    EXPECT_EQ(codecs.audio[2], "DD+") << "a skipped item leaves the channels lookup untouched";
    for (const auto* table : {&codecs.video, &codecs.audio, &codecs.subpicture}) {
        EXPECT_EQ((*table)[0], "") << "entry 0 is never written";
    }
}

}  // namespace
}  // namespace morvale
