// SPDX-License-Identifier: MIT
// Malformed and random pieces: every report only passes over what it does not recognise.
// Each line is written when its last byte is read, so the lines of a piece cut anywhere are
// a prefix of the lines of the whole piece; nothing is written because a piece ends. Run
// under AddressSanitizer (MORVALE_SANITIZE) these tests also show that no report reads
// outside its piece.

#include <gtest/gtest.h>

#include <random>

#include "report_harness.h"
#include "reports/reports.h"

namespace morvale::testing {
namespace {

struct NamedReport {
    const char* name;
    ReportCall call;
    // Byte strings that start the structures the report reads.
    std::vector<std::vector<uint8_t>> markers;
};

std::vector<NamedReport> allReports() {
    return {
        {"AC-3",
         [](std::span<const uint8_t> p, MessageLog& log) { ReportAc3(p, 15, log); },
         {{0x0B, 0x77}}},
        {"VC-1",
         [](std::span<const uint8_t> p, MessageLog& log) {
             ReportVc1(p, 0xFFFFFFFFFFFFFFFF, ',', log);
         },
         {{0x00, 0x00, 0x01, 0x0F}, {0x00, 0x00, 0x01, 0x0D}}},
        {"MPEG-2",
         [](std::span<const uint8_t> p, MessageLog& log) {
             ReportMpeg2Video(p, 0xFFFFFFFF, log);
         },
         {{0x00, 0x00, 0x01, 0xB3}, {0x00, 0x00, 0x01, 0x00}, {0x00, 0x00, 0x01, 0xB5}}},
        {"H.264",
         [](std::span<const uint8_t> p, MessageLog& log) { ReportH264(p, log); },
         {{0x00, 0x00, 0x01, 0x09}, {0x00, 0x00, 0x01, 0x67}, {0x00, 0x00, 0x01, 0x27}}},
    };
}

// Random bytes with the report's markers dropped in, so that headers of every shape (and
// headers interrupted by other headers) are met.
std::vector<uint8_t> randomPiece(std::mt19937& random, const NamedReport& report) {
    std::uniform_int_distribution<int> length(0, 160);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> choice(0, 9);
    std::vector<uint8_t> piece;
    const int target = length(random);
    while (static_cast<int>(piece.size()) < target) {
        const int c = choice(random);
        if (c < 3) {
            const auto& marker = report.markers[random() % report.markers.size()];
            piece.insert(piece.end(), marker.begin(), marker.end());
        } else if (c == 3) {
            piece.push_back(0xFF);
        } else {
            piece.push_back(static_cast<uint8_t>(byte(random)));
        }
    }
    return piece;
}

bool isPrefix(const Lines& part, const Lines& whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

TEST(MalformedPiecesTest, LinesOfACutPieceArePrefixOfTheWholePiece) {
    std::mt19937 random(20240617);
    size_t linesSeen = 0;
    for (const auto& report : allReports()) {
        SCOPED_TRACE(report.name);
        for (int round = 0; round < 400; ++round) {
            const auto piece = randomPiece(random, report);
            const Lines whole = runReport(report.call, piece);
            linesSeen += whole.size();
            for (size_t cut = 0; cut < piece.size(); ++cut) {
                ASSERT_TRUE(isPrefix(runReport(report.call, piece, cut), whole))
                    << "round " << round << ", cut after " << cut << " bytes";
            }
        }
    }
    // The pieces did reach the readers: a test that saw no lines would prove nothing.
    EXPECT_GT(linesSeen, 1000u);
}

TEST(MalformedPiecesTest, ExtremeByteValues) {
    for (const auto& report : allReports()) {
        SCOPED_TRACE(report.name);
        for (uint8_t fill : {uint8_t{0x00}, uint8_t{0xFF}}) {
            for (const auto& marker : report.markers) {
                std::vector<uint8_t> piece = marker;
                piece.resize(64, fill);
                const Lines whole = runReport(report.call, piece);
                for (size_t cut = 0; cut < piece.size(); ++cut) {
                    ASSERT_TRUE(isPrefix(runReport(report.call, piece, cut), whole));
                }
            }
        }
    }
}

TEST(MalformedPiecesTest, AllOnesHeadersGiveReservedValues) {
    // Every field at its largest value: table lookups stay in their tables.
    std::vector<uint8_t> ac3 = {0x0B, 0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    RecordingLog log;
    ReportAc3(ac3, 0, log);
    EXPECT_EQ(log.lines, (Lines{"   Stream 0 is Dolby Digital", "   bitrate = 0, sampling rate = 0",
                                "   mode = 3/2, bsid = 31, bsmod =7"}));

    std::vector<uint8_t> vc1 = {0x00, 0x00, 0x01, 0x0F};
    vc1.resize(4 + 15, 0xFF);
    log.lines.clear();
    ReportVc1(vc1, 0, '.', log);
    // ASPECT_RATIO 15 and FRAMERATEIND 1 with the largest exponent, two bytes later.
    EXPECT_EQ(log.lines,
              (Lines{"   Sequence Header found", "   0 frames before first I-frame",
                     "   Advanced Profile", "   Level = Reserved", "   Chroma Format = Reserved",
                     "   Size = 8192x8192", "   Pulldown = 1", "   Interlace = 1",
                     "   Display Horizontal size = 16384", "   Display Vertical size = 16384",
                     "   Aspect ratio = ", "   Frame Rate =2048"}));

    std::vector<uint8_t> mpeg2 = {0x00, 0x00, 0x01, 0xB3};
    mpeg2.resize(4 + 7, 0xFF);
    log.lines.clear();
    ReportMpeg2Video(mpeg2, 0, log);
    EXPECT_EQ(log.lines,
              (Lines{"   Sequence Header found", "   0 frames before first Sequence Header",
                     "   size = 4095x4095", "   Aspect ratio = reserved",
                     "   Frame rate = reserved", "  Sequence header bitrate = 104857200 bps"}));
}

}  // namespace
}  // namespace morvale::testing
