// SPDX-License-Identifier: MIT
// The parser keeps its whole state between blocks, so where the file is cut into blocks
// must not change what it finds.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "support/engine_ledger.h"
#include "engine/payload_handler.h"
#include "mixed_stream.h"
#include "parser_harness.h"

namespace morvale::testing {
namespace {

using ::testing::ElementsAre;

struct Outcome {
    std::vector<std::string> lines;
    std::vector<RecordedPiece> pieces;  // pieces of one packet joined
    SlotTable tables;
};

Outcome parseCut(const Bytes& stream, const std::vector<size_t>& cuts) {
    ParseRun run;
    run.host.detailsOption = true;
    runParser(run, stream, EngineMode::Scan, cuts);
    return {run.host.lines, run.joinedPieces(), run.tables.slots};
}

void expectSameOutcome(const Outcome& cut, const Outcome& whole) {
    EXPECT_EQ(cut.lines, whole.lines);
    EXPECT_EQ(cut.pieces, whole.pieces);
    for (SlotKind kind : {SlotKind::Video, SlotKind::Audio, SlotKind::Subpicture})
        EXPECT_TRUE(std::ranges::equal(cut.tables.ids(kind), whole.tables.ids(kind)));
}

// Offsets of every start code 00 00 01 xx of the stream.
std::vector<size_t> startCodeOffsets(const Bytes& stream) {
    std::vector<size_t> offsets;
    for (size_t i = 0; i + 3 < stream.size(); ++i) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) offsets.push_back(i);
    }
    return offsets;
}

TEST(SplitAnywhere, TheMixedStreamParsesAsExpected) {
    // Identifications, and the first timestamps of subpictures, which the parser logs itself.
    EXPECT_THAT(parseCut(mixedProgramStream(), {}).lines,
                ElementsAre("VC-1 video stream 0 found!", "Dolby Digital audio stream 0 found!",
                            "Subpicture stream 1 found!", "   First PTS = 00016378",
                            "MPEG-2 video stream 1 found!", "LPCM audio stream 1 found!",
                            "Dolby TrueHD (MLP) audio stream 2 found!",
                            "Dolby Digital Plus audio stream 10 found!",
                            "   MPEG audio stream 0xC0: left out.",
                            "   Stream 0x61 shares subpicture slot 1 with stream 0x21: left out.",
                            "   Stream 0x88 shares audio slot 0 with stream 0x80: left out.",
                            "   Stream 0xE2 shares video slot 0 with stream 0x55: left out.",
                            "Subpicture stream 2 found!", "   First PTS = 000182B8"));
}

TEST(SplitAnywhere, EveryCutInsideEveryHeaderGivesTheSameResult) {
    const Bytes stream = mixedProgramStream();
    const Outcome whole = parseCut(stream, {});
    int cuts = 0;
    for (size_t start : startCodeOffsets(stream)) {
        // The start code, the length, the longest PES header and the sub-stream header.
        for (size_t cut = start + 1; cut < std::min(stream.size(), start + 40); ++cut) {
            SCOPED_TRACE(cut);
            expectSameOutcome(parseCut(stream, {cut}), whole);
            ++cuts;
        }
    }
    EXPECT_GT(cuts, 1000);
}

TEST(SplitAnywhere, HundredsOfRandomCutsAtOnceGiveTheSameResult) {
    const Bytes stream = mixedProgramStream();
    const Outcome whole = parseCut(stream, {});
    std::mt19937 random(20240611);
    for (int round = 0; round < 20; ++round) {
        std::uniform_int_distribution<size_t> offset(1, stream.size() - 1);
        std::vector<size_t> cuts(300);
        for (size_t& c : cuts)
            c = offset(random);
        std::sort(cuts.begin(), cuts.end());
        cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
        SCOPED_TRACE(round);
        expectSameOutcome(parseCut(stream, cuts), whole);
    }
}

TEST(SplitAnywhere, OneByteBlocksGiveTheSameResult) {
    const Bytes stream = mixedProgramStream();
    std::vector<size_t> everyByte(stream.size() - 1);
    for (size_t i = 0; i < everyByte.size(); ++i)
        everyByte[i] = i + 1;
    expectSameOutcome(parseCut(stream, everyByte), parseCut(stream, {}));
}

// A start code can end inside the length and flag bytes of a PES header only as its fourth
// or fifth byte (00 00 01 xx needs three bytes of the header itself). Whole blocks step
// those five bytes at once when no start code ends among them; one-byte blocks step every
// byte alone: both must find the private stream 1 packet that starts inside the header.
TEST(SplitAnywhere, StartCodesInsideTheLengthAndFlagBytesOfAHeader) {
    const Bytes audio = privateStream1Packet(0x80, PesHeader().pts(9000), filler(100));
    const Bytes video = pesPacket(0xE0, PesHeader().pts(18000).dts(17000), mpeg2Pictures(2, 80));
    const Bytes fourthByte = concat({Bytes{0x00, 0x00, 0x01, 0xE0, 0x00, 0x00}, audio, video});
    const Bytes fifthByte = concat({Bytes{0x00, 0x00, 0x01, 0xE0, 0x07}, audio, video});
    for (const Bytes& body : {fourthByte, fifthByte}) {
        const Bytes stream = concat({packHeader(), body, packHeader(), video});
        std::vector<size_t> everyByte(stream.size() - 1);
        for (size_t i = 0; i < everyByte.size(); ++i)
            everyByte[i] = i + 1;
        const Outcome whole = parseCut(stream, {});
        EXPECT_THAT(whole.lines, ElementsAre("MPEG-2 video stream 0 found!",
                                             "Dolby Digital audio stream 0 found!"));
        expectSameOutcome(parseCut(stream, everyByte), whole);
    }
}

// Frame counts and first timestamps go through the piece path: cut anywhere but inside a
// picture start code, they come out the same.
TEST(SplitAnywhere, CountsAndFirstTimestampsDoNotDependOnTheCuts) {
    const Bytes stream = mixedProgramStream();
    auto scan = [&](const std::vector<size_t>& cuts) {
        ParseRun run;
        run.host.countFramesOption = true;
        run.host.detailsOption = true;
        run.tables.minFirstPts = 0xFFFFFFFF;
        PartScan part;
        const EngineOptions options = optionsOf(run.host, EngineMode::Scan);
        PayloadHandler handler(part, run.host, options, nullptr, kSilentReports);
        StreamParser parser(part.slotTable, run.host, options, handler);
        size_t from = 0;
        for (size_t cut : cuts) {
            parser.feed(std::span<const uint8_t>(stream).subspan(from, cut - from));
            from = cut;
        }
        parser.feed(std::span<const uint8_t>(stream).subspan(from));
        run.tables.take(part);
        return std::make_tuple(run.host.lines, run.tables.frameCounts, run.tables.minFirstPts);
    };
    const auto whole = scan({});
    EXPECT_EQ(std::get<0>(whole), mixedStreamScanLines());
    EXPECT_EQ(std::get<1>(whole), (std::array<int32_t, 2>{5, 6}));
    EXPECT_EQ(std::get<2>(whole), 90000u);

    // Inside a start code a cut may split a picture code between two pieces.
    std::vector<bool> insideStartCode(stream.size(), false);
    for (size_t start : startCodeOffsets(stream)) {
        for (size_t k = 1; k <= 3; ++k)
            insideStartCode[start + k] = true;
    }
    std::mt19937 random(7);
    std::uniform_int_distribution<size_t> offset(1, stream.size() - 1);
    for (int round = 0; round < 20; ++round) {
        std::vector<size_t> cuts;
        while (cuts.size() < 300) {
            const size_t c = offset(random);
            if (!insideStartCode[c]) cuts.push_back(c);
        }
        std::sort(cuts.begin(), cuts.end());
        cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
        SCOPED_TRACE(round);
        EXPECT_EQ(scan(cuts), whole);
    }
}

}  // namespace
}  // namespace morvale::testing
