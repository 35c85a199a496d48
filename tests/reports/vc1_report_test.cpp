// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "report_harness.h"
#include "reports/reports.h"
#include "support/vc1_sequence_header.h"

namespace morvale::testing {
namespace {

constexpr uint64_t kPts = 0x00000000DEADBEEF;
const char* const kPtsLine = "   First Video PTS = 00000000DEADBEEF";

const std::vector<uint8_t> kEntryPoint = {0x00, 0x00, 0x01, 0x0E, 0x48, 0xD1, 0xE0, 0x80};
const std::vector<uint8_t> kFrame = {0x00, 0x00, 0x01, 0x0D, 0x3B, 0x5C, 0xA1, 0x77, 0x12, 0x80};

ReportCall vc1(char separator = '.', uint64_t pts = kPts) {
    return [=](std::span<const uint8_t> piece, MessageLog& log) {
        ReportVc1(piece, pts, separator, log);
    };
}

Lines run(const std::vector<uint8_t>& piece, char separator = '.') {
    return runReport(vc1(separator), piece);
}

// The lines of a whole default header, each with the header byte (1-based) that completes it.
struct HeaderLine {
    int byte;
    std::string text;
};
const std::vector<HeaderLine> kHeaderLines = {
    {0, "   Sequence Header found"},
    {0, "   0 frames before first I-frame"},
    {1, "   Advanced Profile"},
    {1, "   Level = 3"},
    {1, "   Chroma Format = 4:2:0"},
    {5, "   Size = 1920x1080"},
    {6, "   Pulldown = 1"},
    {6, "   Interlace = 0"},
    {8, "   Display Horizontal size = 1920"},
    {10, "   Display Vertical size = 1080"},
    {10, "   Aspect ratio = 1:1 (square samples)"},
    {13, "   Frame Rate = 23.976023976024 (24000/1001)"},
};

Lines headerTexts() {
    Lines texts;
    for (const auto& line : kHeaderLines)
        texts.push_back(line.text);
    return texts;
}

// The frame-rate line of a header with the given rate fields.
std::string frameRateLine(const Vc1Sequence& s, char separator = '.') {
    const Lines lines = run(sequenceHeader(s), separator);
    return lines.empty() ? "" : lines.back();
}

TEST(Vc1ReportTest, TypicalPieceReportsEachFieldOnceItsBytesAreRead) {
    const auto header = sequenceHeader({});
    const auto piece = concat({header, kEntryPoint, kFrame, kFrame, kFrame});
    std::vector<ExpectedLine> expected;
    for (const auto& line : kHeaderLines)
        expected.push_back({4u + line.byte, line.text});
    // The fourth byte after the second frame start code.
    const size_t secondFrame = header.size() + kEntryPoint.size() + kFrame.size();
    expected.push_back({secondFrame + 8, kPtsLine});
    expectLinesAtEveryCut(vc1(), piece, expected);
}

// A header without stuffing, whose last field (HRD_PARAM_FLAG) ends its twelfth byte right
// before the entry point's start code, as HD DVD encoders write it: the rate is shown.
TEST(Vc1ReportTest, AHeaderEndingAtItsLastFieldShowsItsFrameRate) {
    const std::vector<uint8_t> stuffed = sequenceHeader({});
    ASSERT_EQ(stuffed.back(), 0x80);  // the stuffing byte
    const std::vector<uint8_t> header(stuffed.begin(), stuffed.end() - 1);
    EXPECT_EQ(run(concat({header, kEntryPoint, kFrame, kFrame})),
              run(concat({stuffed, kEntryPoint, kFrame, kFrame})));
}

TEST(Vc1ReportTest, FrameRateFromNumeratorAndDenominatorCodes) {
    struct Case {
        int nr, dr;
        const char* line;
    };
    for (const Case& c : {
             Case{1, 2, "   Frame Rate = 23.976023976024 (24000/1001)"},
             Case{3, 2, "   Frame Rate = 29.97002997003 (30000/1001)"},
             Case{5, 2, "   Frame Rate = 59.9400599400599 (60000/1001)"},
             Case{2, 2, "   Frame Rate = 24.975024975025 (25000/1001)"},
             Case{4, 2, "   Frame Rate = 49.95004995005 (50000/1001)"},
             Case{7, 2, "   Frame Rate = 71.9280719280719 (72000/1001)"},
             Case{1, 1, "   Frame Rate = 24 (24000/1000)"},
             Case{2, 1, "   Frame Rate = 25 (25000/1000)"},
             Case{6, 1, "   Frame Rate = 48 (48000/1000)"},
         }) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(frameRateLine({.frameRateNr = c.nr, .frameRateDr = c.dr}), c.line);
    }
}

TEST(Vc1ReportTest, FrameRateFromExponentHasNoBlankAfterTheEqualsSign) {
    struct Case {
        int exp;
        const char* line;
    };
    for (const Case& c : {Case{767, "   Frame Rate =24"}, Case{958, "   Frame Rate =29.96875"},
                          Case{0, "   Frame Rate =0.03125"}, Case{65535, "   Frame Rate =2048"}}) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(frameRateLine({.frameRateInd = true, .frameRateExp = c.exp}), c.line);
    }
}

TEST(Vc1ReportTest, FrameRateUsesTheGivenDecimalSeparator) {
    EXPECT_EQ(frameRateLine({}, ','), "   Frame Rate = 23,976023976024 (24000/1001)");
    EXPECT_EQ(frameRateLine({.frameRateInd = true, .frameRateExp = 958}, ','),
              "   Frame Rate =29,96875");
    EXPECT_EQ(frameRateLine({.frameRateNr = 1, .frameRateDr = 1}, ','),
              "   Frame Rate = 24 (24000/1000)");
}

TEST(Vc1ReportTest, ForbiddenOrReservedCodesAreNamed) {
    auto tail = [](const Vc1Sequence& s) {
        Lines lines = run(sequenceHeader(s));
        return Lines(lines.begin() + static_cast<long>(kHeaderLines.size()) - 1, lines.end());
    };
    // A numerator without a value leaves 0; the rate line is still written.
    EXPECT_EQ(tail({.frameRateNr = 0, .frameRateDr = 1}),
              (Lines{"   Forbidden Frame Rate!", "   Frame Rate = 0 (0/1000)"}));
    EXPECT_EQ(tail({.frameRateNr = 8, .frameRateDr = 2}),
              (Lines{"   Reserved Frame Rate!", "   Frame Rate = 0 (0/1001)"}));
    EXPECT_EQ(tail({.frameRateNr = 255, .frameRateDr = 1}),
              (Lines{"   Reserved Frame Rate!", "   Frame Rate = 0 (0/1000)"}));
    // Without a denominator there is no rate: only the reason is logged.
    EXPECT_EQ(tail({.frameRateNr = 1, .frameRateDr = 0}), (Lines{"   Forbidden Frame Rate!"}));
    EXPECT_EQ(tail({.frameRateNr = 2, .frameRateDr = 3}), (Lines{"   Reserved Frame Rate!"}));
    EXPECT_EQ(tail({.frameRateNr = 0, .frameRateDr = 15}),
              (Lines{"   Forbidden Frame Rate!", "   Reserved Frame Rate!"}));
}

TEST(Vc1ReportTest, ForbiddenDenominatorStillEndsTheReport) {
    const auto bad = sequenceHeader({.frameRateDr = 0});
    const Lines lines = run(concat({bad, kEntryPoint, sequenceHeader({}), kFrame, kFrame}));
    Lines expected = headerTexts();
    expected.back() = "   Forbidden Frame Rate!";
    expected.push_back(kPtsLine);
    EXPECT_EQ(lines, expected);
}

TEST(Vc1ReportTest, AspectRatioTexts) {
    struct Case {
        int code;
        const char* line;
    };
    for (const Case& c : {Case{0, "   Aspect ratio = unspecified"},
                          Case{3, "   Aspect ratio = 10:11 (704x480 4:3)"},
                          Case{10, "   Aspect ratio = 18:11 (48$576 4:3)"},
                          Case{13, "   Aspect ratio = 160:99 (528x480 16:9)"},
                          Case{14, "   Aspect ratio = Reserved"}}) {
        SCOPED_TRACE(c.code);
        const Lines lines = run(sequenceHeader({.aspectRatio = c.code}));
        ASSERT_EQ(lines.size(), kHeaderLines.size());
        EXPECT_EQ(lines[10], c.line);
        EXPECT_EQ(lines[11], kHeaderLines[11].text);
    }
}

TEST(Vc1ReportTest, ExplicitAspectSizeMovesTheFrameRateTwoBytesOn) {
    // ASPECT_RATIO 15: an empty text, then 8-bit aspect width and height before
    // FRAMERATE_FLAG. The frame rate is read behind them.
    const auto header = sequenceHeader({.aspectRatio = 15,
                                        .aspectHorizSize = 0xE5,
                                        .aspectVertSize = 0x9B,
                                        .frameRateInd = true,
                                        .frameRateExp = 1499});
    std::vector<ExpectedLine> expected;
    for (size_t i = 0; i + 1 < kHeaderLines.size(); ++i) {
        expected.push_back({4u + kHeaderLines[i].byte, kHeaderLines[i].text});
    }
    expected[10].text = "   Aspect ratio = ";
    expected.push_back({4 + 15, "   Frame Rate =46.875"});
    expectLinesAtEveryCut(vc1(), header, expected);

    // Without FRAMERATE_FLAG behind the aspect size there is no frame-rate line, whatever
    // the aspect size bytes hold.
    const Lines noRate = run(sequenceHeader({.aspectRatio = 15,
                                             .aspectHorizSize = 0xFF,
                                             .aspectVertSize = 0xFF,
                                             .frameRateFlag = false}));
    EXPECT_EQ(noRate.size(), kHeaderLines.size() - 1);
    EXPECT_EQ(noRate.back(), "   Aspect ratio = ");
}

TEST(Vc1ReportTest, ProfileLevelAndChromaOutsideTheAdvancedProfile) {
    const Lines lines = run(sequenceHeader({.profile = 2, .level = 5, .colordiffFormat = 2}));
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[2], "   Reserved Profile");
    EXPECT_EQ(lines[3], "   Level = Reserved");
    EXPECT_EQ(lines[4], "   Chroma Format = Reserved");
    EXPECT_EQ(run(sequenceHeader({.level = 4}))[3], "   Level = 4");
    EXPECT_EQ(run(sequenceHeader({.level = 0}))[3], "   Level = 0");
    EXPECT_EQ(run(sequenceHeader({.level = 7}))[3], "   Level = Reserved");
}

TEST(Vc1ReportTest, SizesAndFlags) {
    const Lines lines = run(sequenceHeader({.maxCodedWidth = 639,
                                            .maxCodedHeight = 359,
                                            .pulldown = false,
                                            .interlace = true,
                                            .dispHorizSize = 0x3FFF,
                                            .dispVertSize = 0x2AAA}));
    ASSERT_EQ(lines.size(), kHeaderLines.size());
    EXPECT_EQ(lines[5], "   Size = 1280x720");
    EXPECT_EQ(lines[6], "   Pulldown = 0");
    EXPECT_EQ(lines[7], "   Interlace = 1");
    EXPECT_EQ(lines[8], "   Display Horizontal size = 16384");
    EXPECT_EQ(lines[9], "   Display Vertical size = 10923");
    EXPECT_EQ(run(sequenceHeader({.maxCodedWidth = 4095, .maxCodedHeight = 4095}))[5],
              "   Size = 8192x8192");
}

TEST(Vc1ReportTest, OptionalPartsMissing) {
    const Lines all = headerTexts();
    EXPECT_EQ(run(sequenceHeader({.displayExt = false})), Lines(all.begin(), all.begin() + 8));
    EXPECT_EQ(run(sequenceHeader({.aspectRatioFlag = false})),
              Lines(all.begin(), all.begin() + 10));
    EXPECT_EQ(run(sequenceHeader({.frameRateFlag = false})), Lines(all.begin(), all.begin() + 11));
}

TEST(Vc1ReportTest, FramesBeforeTheSequenceHeaderAreCountedButDoNotCountForTheTimestamp) {
    const auto header = sequenceHeader({});
    Lines expected = headerTexts();
    expected[1] = "   2 frames before first I-frame";
    EXPECT_EQ(run(concat({kFrame, kFrame, header, kEntryPoint, kFrame})), expected);
    expected.push_back(kPtsLine);
    EXPECT_EQ(run(concat({kFrame, kFrame, header, kEntryPoint, kFrame, kFrame})), expected);
}

TEST(Vc1ReportTest, SecondSequenceHeaderBeforeTheFrameRateRepeatsTheHeaderLines) {
    // The first header has no display extension, so no frame-rate line ends the report.
    const auto first = sequenceHeader({.displayExt = false});
    const auto second = sequenceHeader({.maxCodedWidth = 639, .maxCodedHeight = 359});
    const Lines all = headerTexts();
    Lines expected(all.begin(), all.begin() + 8);
    Lines repeated = all;
    repeated.erase(repeated.begin() + 1);  // the frame count is written once
    repeated[4] = "   Size = 1280x720";
    expected.insert(expected.end(), repeated.begin(), repeated.end());
    expected.push_back(kPtsLine);
    EXPECT_EQ(run(concat({first, kFrame, second, kFrame, kFrame})), expected);
}

TEST(Vc1ReportTest, SequenceHeaderAfterTheFrameRateLineWritesNothing) {
    const auto piece = concat({sequenceHeader({}), kEntryPoint, kFrame,
                               sequenceHeader({.profile = 1, .maxCodedWidth = 639}), kEntryPoint,
                               kFrame, sequenceHeader({}), kFrame});
    Lines expected = headerTexts();
    expected.push_back(kPtsLine);
    EXPECT_EQ(run(piece), expected);
}

TEST(Vc1ReportTest, TimestampLineNeedsTwoFramesAfterTheSequenceHeader) {
    const auto header = sequenceHeader({});
    const Lines withoutPts = headerTexts();
    EXPECT_EQ(run(concat({header, kEntryPoint, kFrame})), withoutPts);
    const auto twoFrames = concat({header, kEntryPoint, kFrame, kFrame});
    const size_t secondHeaderEnd = twoFrames.size() - kFrame.size() + 8;
    EXPECT_EQ(runReport(vc1(), twoFrames, secondHeaderEnd - 1), withoutPts);
    EXPECT_EQ(runReport(vc1(), twoFrames, secondHeaderEnd).back(), kPtsLine);
    // All 64 bits of the timestamp are shown.
    EXPECT_EQ(runReport(vc1('.', 0x1FEDCBA9876543ULL), twoFrames).back(),
              "   First Video PTS = 001FEDCBA9876543");
}

TEST(Vc1ReportTest, PiecesWithoutSequenceHeaderLogNothing) {
    EXPECT_TRUE(run({}).empty());
    EXPECT_TRUE(run(concat({kFrame, kEntryPoint, kFrame, kFrame})).empty());
    EXPECT_TRUE(run({0x00, 0x00, 0x01}).empty());
}

}  // namespace
}  // namespace morvale::testing
