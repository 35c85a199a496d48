// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "report_harness.h"
#include "reports/reports.h"
#include "support/bit_writer.h"

namespace morvale::testing {
namespace {

constexpr int kSlot = 5;

// Annex E syncframe header fields (bsi up to the dialogue normalisation).
struct Eac3Header {
    int substreamid = 0;
    int frmsiz = 1535;
    int fscod = 0;
    int numblkscod = 3;
    int acmod = 7;
    int lfeon = 1;
    int bsid = 16;
};

// A/52 syncinfo and the start of bsi.
struct Ac3Header {
    int crc1 = 0x4A3C;
    int fscod = 0;
    int frmsizecod = 30;
    int bsid = 8;
    int bsmod = 0;
    int acmod = 7;
};

// A whole syncframe: the header, then zero bits up to frame size words (2 bytes each).
std::vector<uint8_t> eac3Frame(const Eac3Header& h) {
    BitWriter w;
    w.bits(0x0B77, 16).bits(0, 2).bits(h.substreamid, 3).bits(h.frmsiz, 11);
    w.bits(h.fscod, 2).bits(h.numblkscod, 2).bits(h.acmod, 3).bits(h.lfeon, 1);
    w.bits(h.bsid, 5).bits(27, 5).flag(false);  // dialnorm -27 dB, no compr
    w.alignWithZeros();
    std::vector<uint8_t> frame = w.data();
    frame.resize(std::max<size_t>(frame.size(), 2 * (h.frmsiz + 1)));
    return frame;
}

std::vector<uint8_t> ac3Frame(const Ac3Header& h, size_t frameBytes = 96) {
    BitWriter w;
    w.bits(0x0B77, 16).bits(h.crc1, 16).bits(h.fscod, 2).bits(h.frmsizecod, 6);
    w.bits(h.bsid, 5).bits(h.bsmod, 3).bits(h.acmod, 3);
    if ((h.acmod & 1) != 0 && h.acmod != 1) w.bits(1, 2);  // cmixlev
    if ((h.acmod & 4) != 0) w.bits(1, 2);                  // surmixlev
    if (h.acmod == 2) w.bits(0, 2);                        // dsurmod
    w.flag(true).bits(27, 5);                              // lfeon, dialnorm
    w.alignWithZeros();
    std::vector<uint8_t> frame = w.data();
    frame.resize(std::max(frame.size(), frameBytes));
    return frame;
}

class Ac3ReportTest : public ::testing::Test {
  protected:
    static ReportCall report() {
        return [](std::span<const uint8_t> piece, MessageLog& log) {
            ReportAc3(piece, kSlot, log);
        };
    }
    Lines run(const std::vector<uint8_t>& piece) const { return runReport(report(), piece); }
};

const Lines kEnhancedLines = {
    "   Stream 5 is Dolby Digital Plus",
    "   frame size = 3072, number of blocks per frame = 6",
    "   bitrate = 768000, sampling rate = 48000",
    "   mode = 3/2, bsid = 16, lfe on =1",
};
const Lines kPlainLines = {
    "   Stream 5 is Dolby Digital",
    "   bitrate = 448000, sampling rate = 48000",
    "   mode = 3/2, bsid = 8, bsmod =0",
};

TEST_F(Ac3ReportTest, EnhancedFrameReportsSizeBlocksRatesAndMode) {
    EXPECT_EQ(run(eac3Frame({})), kEnhancedLines);
}

TEST_F(Ac3ReportTest, EnhancedBitRateFollowsFrameSizeAndBlocks) {
    // 640 kbit/s with 6 blocks, 192 kbit/s with 1 block, both at 48 kHz; mono without LFE.
    EXPECT_EQ(run(eac3Frame({.frmsiz = 1279}))[2], "   bitrate = 640000, sampling rate = 48000");
    const Lines oneBlock = run(eac3Frame({.frmsiz = 63, .numblkscod = 0, .acmod = 1, .lfeon = 0}));
    EXPECT_EQ(oneBlock, (Lines{"   Stream 5 is Dolby Digital Plus",
                               "   frame size = 128, number of blocks per frame = 1",
                               "   bitrate = 192000, sampling rate = 48000",
                               "   mode = 1/0, bsid = 16, lfe on =0"}));
    EXPECT_EQ(run(eac3Frame({.fscod = 1}))[2], "   bitrate = 768000, sampling rate = 44100");
}

TEST_F(Ac3ReportTest, PlainFrameReportsRatesAndMode) {
    EXPECT_EQ(run(ac3Frame({})), kPlainLines);
    EXPECT_EQ(run(ac3Frame({.fscod = 2, .frmsizecod = 0, .bsid = 6, .bsmod = 7, .acmod = 2})),
              (Lines{"   Stream 5 is Dolby Digital", "   bitrate = 32000, sampling rate = 32000",
                     "   mode = 2/0, bsid = 6, bsmod =7"}));
    // The odd frmsizecod of a 44.1 kHz pair has the same rate as the even one.
    EXPECT_EQ(run(ac3Frame({.fscod = 1, .frmsizecod = 37, .acmod = 0}))[1],
              "   bitrate = 640000, sampling rate = 44100");
}

TEST_F(Ac3ReportTest, BsidDecidesBetweenTheFormats) {
    struct Case {
        int bsid;
        const char* firstLine;
    };
    for (const Case& c :
         {Case{0, "   Stream 5 is Dolby Digital"}, Case{8, "   Stream 5 is Dolby Digital"},
          Case{10, "   Stream 5 is Dolby Digital"}, Case{11, "   Stream 5 is Dolby Digital Plus"},
          Case{16, "   Stream 5 is Dolby Digital Plus"}, Case{17, "   Stream 5 is Dolby Digital"},
          Case{31, "   Stream 5 is Dolby Digital"}}) {
        SCOPED_TRACE(c.bsid);
        // Both readings of the same bytes: an A/52 frame and an Annex E frame.
        const Lines plain = run(ac3Frame({.bsid = c.bsid}));
        const Lines enhanced = run(eac3Frame({.bsid = c.bsid}));
        ASSERT_FALSE(plain.empty());
        ASSERT_FALSE(enhanced.empty());
        EXPECT_EQ(plain[0], c.firstLine);
        EXPECT_EQ(enhanced[0], c.firstLine);
        const size_t lineCount = std::string_view(c.firstLine).ends_with("Plus") ? 4 : 3;
        EXPECT_EQ(plain.size(), lineCount);
        EXPECT_EQ(enhanced.size(), lineCount);
    }
}

TEST_F(Ac3ReportTest, AValidStreamGetsExactlyOneReport) {
    const auto frame = eac3Frame({});
    EXPECT_EQ(run(concat({frame, frame, frame})), kEnhancedLines);
    const auto plain = ac3Frame({});
    EXPECT_EQ(run(concat({plain, plain})), kPlainLines);
}

TEST_F(Ac3ReportTest, ReducedSampleRateFrameIsReportedAndSoIsTheNextOne) {
    // fscod 3: the rate is in fscod2 (here 1, 22.05 kHz) where numblkscod would be, so the
    // report shows sampling rate 0 and the table rate of byte 3 bits 5-1 (index 15).
    const auto reduced = eac3Frame({.frmsiz = 255, .fscod = 3, .numblkscod = 1});
    Lines expected = {
        "   Stream 5 is Dolby Digital Plus",
        "   frame size = 512, number of blocks per frame = 2",
        "   bitrate = 448000, sampling rate = 0",
        "   mode = 3/2, bsid = 16, lfe on =1",
    };
    expected.insert(expected.end(), kEnhancedLines.begin(), kEnhancedLines.end());
    EXPECT_EQ(run(concat({reduced, eac3Frame({})})), expected);
}

TEST_F(Ac3ReportTest, BitRateIndexBeyondTheTableReportsZero) {
    // Byte 3 bits 5-1 reach 31 while the table ends at index 18.
    const auto reduced = eac3Frame({.frmsiz = 255, .fscod = 3, .numblkscod = 3});
    EXPECT_EQ(run(reduced)[2], "   bitrate = 0, sampling rate = 0");

    for (int frmsizecod : {38, 39, 50, 63}) {
        SCOPED_TRACE(frmsizecod);
        const auto bad = ac3Frame({.frmsizecod = frmsizecod});
        // A bit rate of 0 does not end the search: the next frame is reported as well.
        Lines expected = {"   Stream 5 is Dolby Digital", "   bitrate = 0, sampling rate = 48000",
                          "   mode = 3/2, bsid = 8, bsmod =0"};
        expected.insert(expected.end(), kPlainLines.begin(), kPlainLines.end());
        EXPECT_EQ(run(concat({bad, ac3Frame({})})), expected);
    }
    // The last entry of the table is still read.
    EXPECT_EQ(run(ac3Frame({.frmsizecod = 37}))[1], "   bitrate = 640000, sampling rate = 48000");
}

TEST_F(Ac3ReportTest, PlainFrameWithReservedSampleRateIsFollowedByTheNextReport) {
    Lines expected = {"   Stream 5 is Dolby Digital", "   bitrate = 448000, sampling rate = 0",
                      "   mode = 3/2, bsid = 8, bsmod =0"};
    expected.insert(expected.end(), kEnhancedLines.begin(), kEnhancedLines.end());
    EXPECT_EQ(run(concat({ac3Frame({.fscod = 3}), eac3Frame({})})), expected);
}

TEST_F(Ac3ReportTest, HeaderBytesThatLookLikeASyncwordAreReadAsFields) {
    // crc1 may be anything, 0x0B77 included.
    EXPECT_EQ(run(ac3Frame({.crc1 = 0x0B77})), kPlainLines);
    // frmsiz low byte 0x0B followed by fscod 1, numblkscod 3, acmod 3 (3/0), lfeon 1 (0x77).
    EXPECT_EQ(run(eac3Frame({.frmsiz = 0x30B, .fscod = 1, .numblkscod = 3, .acmod = 3})),
              (Lines{"   Stream 5 is Dolby Digital Plus",
                     "   frame size = 1560, number of blocks per frame = 6",
                     "   bitrate = 390000, sampling rate = 44100",
                     "   mode = 3/0, bsid = 16, lfe on =1"}));
}

TEST_F(Ac3ReportTest, PiecesWithoutAWholeHeaderLogNothing) {
    EXPECT_TRUE(run({}).empty());
    EXPECT_TRUE(run(std::vector<uint8_t>(300, 0x5A)).empty());
    EXPECT_TRUE(run({0x77, 0x0B}).empty());
    EXPECT_TRUE(run({0x0B, 0x77, 0x04, 0xFF, 0x3F, 0x87}).empty());
}

TEST_F(Ac3ReportTest, BytesBeforeTheFirstSyncwordArePassedOver) {
    EXPECT_EQ(run(concat({{0x00, 0x0B, 0x12, 0x77, 0xFF, 0x0B}, eac3Frame({})})), kEnhancedLines);
}

TEST_F(Ac3ReportTest, CutPieceReportsOnlyWhenAllFiveHeaderBytesArrived) {
    // The reduced-rate frame is reported and so is the frame after it, each once its own
    // syncword and five header bytes lie within the piece.
    const auto reduced = eac3Frame({.frmsiz = 15, .fscod = 3, .numblkscod = 1});
    const auto piece = concat({reduced, eac3Frame({.frmsiz = 31})});
    std::vector<ExpectedLine> expected;
    for (const char* line :
         {"   Stream 5 is Dolby Digital Plus", "   frame size = 32, number of blocks per frame = 2",
          "   bitrate = 448000, sampling rate = 0", "   mode = 3/2, bsid = 16, lfe on =1"}) {
        expected.push_back({7, line});
    }
    for (const char* line :
         {"   Stream 5 is Dolby Digital Plus", "   frame size = 64, number of blocks per frame = 6",
          "   bitrate = 16000, sampling rate = 48000", "   mode = 3/2, bsid = 16, lfe on =1"}) {
        expected.push_back({reduced.size() + 7, line});
    }
    expectLinesAtEveryCut(report(), piece, expected);

    const auto plain = ac3Frame({.fscod = 3}, 24);
    std::vector<ExpectedLine> plainExpected = {
        {7, "   Stream 5 is Dolby Digital"},
        {7, "   bitrate = 448000, sampling rate = 0"},
        {7, "   mode = 3/2, bsid = 8, bsmod =0"},
        {31, "   Stream 5 is Dolby Digital"},
        {31, "   bitrate = 448000, sampling rate = 48000"},
        {31, "   mode = 3/2, bsid = 8, bsmod =0"},
    };
    expectLinesAtEveryCut(report(), concat({plain, ac3Frame({}, 24)}), plainExpected);
}

}  // namespace
}  // namespace morvale::testing
