// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "report_harness.h"
#include "reports/reports.h"
#include "support/bit_writer.h"

namespace morvale::testing {
namespace {

constexpr uint8_t kConstraintSet3 = 0x10;

// Access unit delimiter NAL unit (ISO/IEC 14496-10 7.3.2.4).
std::vector<uint8_t> delimiter(int primaryPicType) {
    BitWriter w;
    w.bytes({0x00, 0x00, 0x00, 0x01, 0x09});
    w.bits(primaryPicType, 3).flag(true).alignWithZeros();
    return w.data();
}

// Sequence parameter set NAL unit (7.3.2.1.1) of a 1920x1088 progressive stream.
std::vector<uint8_t> parameterSet(int profileIdc, uint8_t constraintFlags, int levelIdc,
                                  uint8_t nalHeader = 0x67) {
    BitWriter w;
    w.bytes({0x00, 0x00, 0x00, 0x01, nalHeader});
    w.bits(profileIdc, 8).bits(constraintFlags, 8).bits(levelIdc, 8);
    w.expGolomb(0);  // seq_parameter_set_id
    if (profileIdc >= 100) {
        w.expGolomb(1).expGolomb(0).expGolomb(0).flag(false).flag(false);  // 4:2:0, 8 bits
    }
    w.expGolomb(0).expGolomb(0).expGolomb(2);         // frame_num and POC type 0 sizes
    w.expGolomb(4).flag(false);                       // max_num_ref_frames, gaps
    w.expGolomb(119).expGolomb(67);                   // 120 x 68 macroblocks
    w.flag(true).flag(true).flag(false).flag(false);  // frame_mbs_only, direct_8x8, no crop/VUI
    w.flag(true).alignWithZeros();
    return w.data();
}

const std::vector<uint8_t> kPictureParameterSet = {0x00, 0x00, 0x00, 0x01, 0x68,
                                                   0xEB, 0xE3, 0xCB, 0x22, 0xC0};
const std::vector<uint8_t> kIdrSlice = {0x00, 0x00, 0x01, 0x65, 0x88, 0x84, 0x3A, 0x7F, 0xC1};
const std::vector<uint8_t> kSlice = {0x00, 0x00, 0x01, 0x41, 0x9A, 0x21, 0x6C, 0x43, 0xFF};

ReportCall h264() {
    return [](std::span<const uint8_t> piece, MessageLog& log) {
        ReportH264(piece, log);
    };
}

Lines run(const std::vector<uint8_t>& piece) {
    return runReport(h264(), piece);
}

TEST(H264ReportTest, TypicalPieceReportsEachFieldOnceItsBytesAreRead) {
    const auto piece = concat({delimiter(0), parameterSet(100, 0x00, 41), kPictureParameterSet,
                               kIdrSlice, delimiter(1), kSlice, delimiter(2), kSlice});
    // The delimiter is 6 bytes; profile_idc is byte 12 and level_idc byte 14 of the piece.
    expectLinesAtEveryCut(
        h264(), piece,
        {{6, "   0 frames before first I-frame"}, {12, "   High Profile"}, {14, "   Level = 41"}});
}

TEST(H264ReportTest, ProfileLines) {
    struct Case {
        int profileIdc;
        const char* line;
    };
    for (const Case& c : {Case{66, "   Baseline Profile"}, Case{77, "   Main Profile"},
                          Case{88, "   Extended Profile"}, Case{100, "   High Profile"},
                          Case{110, "   High 10 Profile"}, Case{122, "   High 4:2:2 Profile"},
                          Case{144, "   High 4:4:4 Profile"}, Case{244, "   Unknown Profile"},
                          Case{118, "   Unknown Profile"}, Case{0, "   Unknown Profile"}}) {
        SCOPED_TRACE(c.profileIdc);
        EXPECT_EQ(run(parameterSet(c.profileIdc, 0x00, 40)), (Lines{c.line, "   Level = 40"}));
    }
}

TEST(H264ReportTest, LevelLines) {
    struct Case {
        int profileIdc;
        uint8_t constraints;
        int levelIdc;
        const char* line;
    };
    for (const Case& c :
         {Case{66, 0xE0 | kConstraintSet3, 11, "   Level = 1b"},
          Case{77, kConstraintSet3, 11, "   Level = 1b"}, Case{66, 0xE0, 11, "   Level = 11"},
          Case{100, 0x00, 9, "   Level = 9"}, Case{100, kConstraintSet3, 9, "   Level = 9"},
          Case{66, kConstraintSet3, 10, "   Level = 10"}, Case{100, 0x00, 51, "   Level = 51"},
          Case{100, 0xFF, 255, "   Level = 255"}}) {
        SCOPED_TRACE(c.line);
        const Lines lines = run(parameterSet(c.profileIdc, c.constraints, c.levelIdc));
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[1], c.line);
    }
}

TEST(H264ReportTest, OnlyParameterSetsWithNalRefIdcOneOrThreeAreRead) {
    EXPECT_EQ(run(parameterSet(77, 0x40, 30, 0x27)), (Lines{"   Main Profile", "   Level = 30"}));
    EXPECT_TRUE(run(parameterSet(77, 0x40, 30, 0x47)).empty());
    EXPECT_TRUE(run(parameterSet(77, 0x40, 30, 0x07)).empty());
    EXPECT_TRUE(run(parameterSet(77, 0x40, 30, 0x68)).empty());
}

TEST(H264ReportTest, EveryParameterSetIsReportedWithItsOwnConstraintFlags) {
    const auto piece =
        concat({parameterSet(66, 0xE0 | kConstraintSet3, 11), kIdrSlice, parameterSet(77, 0x40, 11),
                kSlice, parameterSet(100, 0x00, 40, 0x27)});
    EXPECT_EQ(run(piece), (Lines{"   Baseline Profile", "   Level = 1b", "   Main Profile",
                                 "   Level = 11", "   High Profile", "   Level = 40"}));
}

TEST(H264ReportTest, AccessUnitsBeforeTheFirstIntraOnlyDelimiter) {
    const auto piece = concat({delimiter(1), kSlice, delimiter(2), kSlice, delimiter(0),
                               parameterSet(100, 0, 41), kIdrSlice, delimiter(0), kIdrSlice});
    EXPECT_EQ(run(piece),
              (Lines{"   2 frames before first I-frame", "   High Profile", "   Level = 41"}));
    // primary_pic_type 3-7 may hold I slices but not only them.
    EXPECT_EQ(run(concat({delimiter(5), delimiter(3), delimiter(7), delimiter(6), delimiter(0)})),
              (Lines{"   4 frames before first I-frame"}));
    EXPECT_TRUE(run(concat({delimiter(1), kSlice, delimiter(2), kSlice})).empty());
}

TEST(H264ReportTest, PiecesWithoutDelimitersOrParameterSetsLogNothing) {
    EXPECT_TRUE(run({}).empty());
    EXPECT_TRUE(run(concat({kPictureParameterSet, kIdrSlice, kSlice})).empty());
    // A cut parameter set reports what it holds.
    EXPECT_EQ(run({0x00, 0x00, 0x01, 0x67, 0x58}), (Lines{"   Extended Profile"}));
}

}  // namespace
}  // namespace morvale::testing
