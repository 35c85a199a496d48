// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "report_harness.h"
#include "reports/reports.h"
#include "support/bit_writer.h"

namespace morvale::testing {
namespace {

constexpr uint32_t kPts = 0x89ABCDEF;
const char* const kPtsLine = "   First Video PTS = 89ABCDEF";

// ISO/IEC 13818-2 6.2.2.1 sequence_header without quantiser matrices.
struct SequenceHeader {
    int width = 1920;
    int height = 1080;
    int aspectRatio = 3;
    int frameRateCode = 4;
    int bitRateValue = 0x3FFFF;
};

std::vector<uint8_t> sequenceHeader(const SequenceHeader& s) {
    BitWriter w;
    w.bytes({0x00, 0x00, 0x01, 0xB3});
    w.bits(s.width, 12).bits(s.height, 12).bits(s.aspectRatio, 4).bits(s.frameRateCode, 4);
    w.bits(s.bitRateValue, 18).flag(true).bits(597, 10);  // marker, vbv_buffer_size_value
    w.flag(false).flag(false).flag(false);                // constrained, no quantiser matrices
    return w.data();
}

// 6.2.2.3 sequence_extension.
struct SequenceExtension {
    bool progressive = false;
    int horizontalSizeExtension = 1;
    int verticalSizeExtension = 2;
    int bitRateExtension = 0xABC;
};

std::vector<uint8_t> sequenceExtension(const SequenceExtension& e) {
    BitWriter w;
    w.bytes({0x00, 0x00, 0x01, 0xB5});
    w.bits(1, 4).bits(0x44, 8).flag(e.progressive).bits(1, 2);  // Main@High, 4:2:0
    w.bits(e.horizontalSizeExtension, 2).bits(e.verticalSizeExtension, 2);
    w.bits(e.bitRateExtension, 12).flag(true).bits(0, 8).flag(false).bits(0, 2).bits(0, 5);
    return w.data();
}

const std::vector<uint8_t> kGroupOfPictures = {0x00, 0x00, 0x01, 0xB8, 0x00, 0x08, 0x00, 0x40};
const std::vector<uint8_t> kSlice = {0x00, 0x00, 0x01, 0x01, 0x13, 0xF8, 0x7D, 0x29, 0x48};

// 6.2.3 picture_header.
std::vector<uint8_t> pictureHeader(int codingType, int temporalReference = 0) {
    BitWriter w;
    w.bytes({0x00, 0x00, 0x01, 0x00});
    w.bits(temporalReference, 10).bits(codingType, 3).bits(0xFFFF, 16);
    if (codingType == 2 || codingType == 3) w.flag(false).bits(7, 3);
    if (codingType == 3) w.flag(false).bits(7, 3);
    w.flag(false).alignWithZeros();
    return w.data();
}

// 6.2.3.1 picture_coding_extension of a frame picture.
std::vector<uint8_t> pictureCodingExtension() {
    BitWriter w;
    w.bytes({0x00, 0x00, 0x01, 0xB5});
    w.bits(8, 4).bits(0x1FFF, 16).bits(1, 2).bits(3, 2);  // f_codes, intra_dc_precision, frame
    w.bits(0b1000001110, 10).alignWithZeros();
    return w.data();
}

// A coded picture as it follows the headers: picture header, its extension, one slice.
std::vector<uint8_t> picture(int codingType, int temporalReference = 0) {
    return concat({pictureHeader(codingType, temporalReference), pictureCodingExtension(), kSlice});
}

ReportCall mpeg2(uint32_t pts = kPts) {
    return [=](std::span<const uint8_t> piece, MessageLog& log) {
        ReportMpeg2Video(piece, pts, log);
    };
}

Lines run(const std::vector<uint8_t>& piece) {
    return runReport(mpeg2(), piece);
}

const Lines kSequenceLines = {
    "   Sequence Header found",    "   0 frames before first Sequence Header",
    "   size = 1920x1080",         "   Aspect ratio = 16:9",
    "   Frame rate = 29.97",       "  Sequence header bitrate = 104857200 bps",
    "   Progressive Sequence = 0",
};

std::vector<uint8_t> sequenceStart() {
    return concat({sequenceHeader({}), sequenceExtension({}), kGroupOfPictures});
}

TEST(Mpeg2VideoReportTest, TypicalPieceReportsEachFieldOnceItsBytesAreRead) {
    // Size and bit rate come from the sequence header alone; the extension's size and bit-rate
    // bits are not added.
    const auto start = sequenceStart();
    const auto first = picture(1, 2);
    const auto piece = concat({start, first, picture(3, 0), picture(3, 1), picture(2, 5)});
    const std::vector<ExpectedLine> expected = {
        {4, kSequenceLines[0]},
        {4, kSequenceLines[1]},
        {7, kSequenceLines[2]},
        {8, kSequenceLines[3]},
        {8, kSequenceLines[4]},
        {11, kSequenceLines[5]},
        {18, kSequenceLines[6]},
        // Byte 5 of the second picture coding extension.
        {start.size() + first.size() + pictureHeader(3).size() + 9, kPtsLine},
    };
    expectLinesAtEveryCut(mpeg2(), piece, expected);
}

TEST(Mpeg2VideoReportTest, AspectRatioAndFrameRateLines) {
    struct Case {
        int aspect, rate;
        const char* aspectLine;
        const char* rateLine;
    };
    for (const Case& c : {
             Case{0, 0, "   Aspect ratio = forbidden", "   Frame rate = forbidden"},
             Case{1, 1, "   Aspect ratio = square samples", "   Frame rate = 23.976"},
             Case{2, 2, "   Aspect ratio = 4:3", "   Frame rate = 24"},
             Case{4, 3, "   Aspect ratio = 2.21:1", "   Frame rate = 25"},
             Case{5, 5, "   Aspect ratio = reserved", "   Frame rate = 30"},
             Case{9, 6, "   Aspect ratio = reserved", "   Frame rate = 50"},
             Case{15, 7, "   Aspect ratio = reserved", "   Frame rate = 59.94"},
             Case{3, 8, "   Aspect ratio = 16:9", "   Frame rate = 60"},
             Case{3, 9, "   Aspect ratio = 16:9", "   Frame rate = reserved"},
             Case{3, 15, "   Aspect ratio = 16:9", "   Frame rate = reserved"},
         }) {
        SCOPED_TRACE(c.aspectLine);
        SCOPED_TRACE(c.rateLine);
        const Lines lines = run(sequenceHeader({.aspectRatio = c.aspect, .frameRateCode = c.rate}));
        ASSERT_EQ(lines.size(), 6u);
        EXPECT_EQ(lines[3], c.aspectLine);
        EXPECT_EQ(lines[4], c.rateLine);
    }
}

TEST(Mpeg2VideoReportTest, SizeAndBitRateFields) {
    const Lines lines = run(sequenceHeader({.width = 720, .height = 576, .bitRateValue = 25000}));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[2], "   size = 720x576");
    EXPECT_EQ(lines[5], "  Sequence header bitrate = 10000000 bps");
    EXPECT_EQ(run(sequenceHeader({.width = 4095, .height = 1, .bitRateValue = 1}))[2],
              "   size = 4095x1");
    EXPECT_EQ(run(sequenceHeader({.bitRateValue = 1})).back(),
              "  Sequence header bitrate = 400 bps");
}

TEST(Mpeg2VideoReportTest, ProgressiveSequenceFlag) {
    const Lines lines = run(concat({sequenceHeader({}), sequenceExtension({.progressive = true})}));
    EXPECT_EQ(lines.back(), "   Progressive Sequence = 1");
}

TEST(Mpeg2VideoReportTest, PictureCodingExtensionsBeforeTheSequenceHeaderAreCounted) {
    // MPEG-1 style pictures without extension are not counted.
    const auto before = concat({picture(1), picture(3), pictureHeader(3), kSlice});
    Lines expected = kSequenceLines;
    expected[1] = "   2 frames before first Sequence Header";
    // They do not count towards the timestamp either: one picture after the header is not
    // enough.
    EXPECT_EQ(run(concat({before, sequenceStart(), picture(1)})), expected);
    expected.push_back(kPtsLine);
    EXPECT_EQ(run(concat({before, sequenceStart(), picture(1), picture(3)})), expected);
}

TEST(Mpeg2VideoReportTest, OnlyTheFirstSequenceHeaderCountsThePicturesBefore) {
    // Pictures between two sequence headers are never shown: the count is written once.
    const auto piece = concat({picture(1), sequenceHeader({}), picture(1), picture(2), picture(3),
                               sequenceHeader({}), sequenceExtension({}), picture(1)});
    const Lines lines = run(piece);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "   Sequence Header found"), 1);
    EXPECT_EQ(lines[1], "   1 frames before first Sequence Header");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find("frames before") != l.npos; }),
              1);
}

TEST(Mpeg2VideoReportTest, IllegalPictureTypesAreLoggedAlsoAfterTheReport) {
    const auto piece = concat({sequenceStart(), picture(1), picture(4), picture(2), picture(0),
                               picture(3), picture(7), picture(5, 3)});
    Lines expected = kSequenceLines;
    expected.push_back("   illegal picture_coding_type = 4");
    expected.push_back(kPtsLine);
    for (const char* line :
         {"   illegal picture_coding_type = 0", "   illegal picture_coding_type = 7",
          "   illegal picture_coding_type = 5"}) {
        expected.push_back(line);
    }
    EXPECT_EQ(run(piece), expected);
    // Without a sequence header they are the only lines.
    EXPECT_EQ(run(concat({picture(2), picture(6), picture(1)})),
              (Lines{"   illegal picture_coding_type = 6"}));
}

TEST(Mpeg2VideoReportTest, SequenceHeadersRepeatUntilTheExtensionIsReported) {
    // MPEG-1: no sequence extension, so each sequence header of the piece is reported.
    const auto second = sequenceHeader(
        {.width = 352, .height = 288, .aspectRatio = 8, .frameRateCode = 3, .bitRateValue = 2880});
    Lines expected(kSequenceLines.begin(), kSequenceLines.end() - 1);
    for (const char* line : {"   size = 352x288", "   Aspect ratio = reserved",
                             "   Frame rate = 25", "  Sequence header bitrate = 1152000 bps"}) {
        expected.push_back(line);
    }
    EXPECT_EQ(run(concat({sequenceHeader({}), kGroupOfPictures, pictureHeader(1), kSlice, second,
                          pictureHeader(1), kSlice})),
              expected);

    // After the progressive line later headers and extensions write nothing.
    EXPECT_EQ(run(concat({sequenceStart(), picture(1), second,
                          sequenceExtension({.progressive = true}), picture(1)})),
              [] {
                  Lines all = kSequenceLines;
                  all.push_back(kPtsLine);
                  return all;
              }());
}

TEST(Mpeg2VideoReportTest, TimestampLineNeedsTwoPicturesAfterTheSequenceHeader) {
    EXPECT_EQ(run(concat({sequenceStart(), picture(1)})), kSequenceLines);
    // The smaller of the two timestamps is the one of the piece.
    const Lines lines =
        runReport(mpeg2(0x00000001), concat({sequenceStart(), picture(1), picture(3)}));
    EXPECT_EQ(lines.back(), "   First Video PTS = 00000001");
}

TEST(Mpeg2VideoReportTest, PiecesWithoutHeadersLogNothingAndCutHeadersLittle) {
    EXPECT_TRUE(run({}).empty());
    EXPECT_TRUE(run(concat({kGroupOfPictures, kSlice, pictureCodingExtension()})).empty());
    EXPECT_EQ(run({0x00, 0x00, 0x01, 0xB3, 0x78}),
              (Lines{"   Sequence Header found", "   0 frames before first Sequence Header"}));
}

}  // namespace
}  // namespace morvale::testing
