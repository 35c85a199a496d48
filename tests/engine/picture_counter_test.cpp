// SPDX-License-Identifier: MIT
#include "support/engine_ledger.h"
#include "engine/picture_counter.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <random>
#include <vector>

#include "engine/payload_handler.h"
#include "engine/stream_parser.h"
#include "support/program_stream_builder.h"
#include "support/recording_engine_host.h"

namespace morvale::testing {
namespace {

constexpr VideoKind kKinds[] = {VideoKind::VideoMpeg2, VideoKind::VideoH264, VideoKind::VideoVc1};
constexpr PictureSearch kSearches[] = {PictureSearch::Memchr, PictureSearch::Sse2,
                                       PictureSearch::Avx2};

std::vector<PictureSearch> availableSearches() {
    std::vector<PictureSearch> out;
    for (PictureSearch search : kSearches) {
        if (pictureSearchAvailable(search)) out.push_back(search);
    }
    return out;
}

// Every search on a copy of exactly the piece's size, so that a read past its end is caught
// by AddressSanitizer; each must give the plain count.
void expectEverySearchCounts(const Bytes& piece, VideoKind kind, int expected) {
    const Bytes exact(piece);
    EXPECT_EQ(countPictureStartCodes(exact, kind), expected);
    for (PictureSearch search : availableSearches()) {
        EXPECT_EQ(countPictureStartCodesWith(search, exact, kind), expected)
            << "search " << static_cast<int>(search) << ", " << piece.size() << " bytes";
    }
}

int count(const Bytes& bytes, VideoKind kind) {
    const int simple = countPictureStartCodesSimple(bytes, kind);
    expectEverySearchCounts(bytes, kind, simple);
    return simple;
}

TEST(PictureCounter, EachKindCountsOnlyItsOwnStartCode) {
    const Bytes twoMpeg2 = {0x00, 0x00, 0x01, 0x00, 0xAA, 0x00, 0x00, 0x01, 0x00};
    EXPECT_EQ(count(twoMpeg2, VideoKind::VideoMpeg2), 2);
    EXPECT_EQ(count(twoMpeg2, VideoKind::VideoH264), 0);
    EXPECT_EQ(count(twoMpeg2, VideoKind::VideoVc1), 0);
    EXPECT_EQ(count(pictures(0x09, 3, 10), VideoKind::VideoH264), 3);
    EXPECT_EQ(count(pictures(0x0D, 4, 10), VideoKind::VideoVc1), 4);
    EXPECT_EQ(count(pictures(0x0D, 4, 10), VideoKind::VideoMpeg2), 0);
}

// The register starts at zero for every piece, as if three zero bytes came before it.
TEST(PictureCounter, APieceBeginsWithAFreshRegister) {
    EXPECT_EQ(count({0x01, 0x0D, 0x22}, VideoKind::VideoVc1), 1);  // 00 00 ended the last
    EXPECT_EQ(count({0x00, 0x01, 0x0D}, VideoKind::VideoVc1), 1);  // 00 ended the last
    EXPECT_EQ(count({0x0D, 0x22, 0x33}, VideoKind::VideoVc1), 0);  // 00 00 01 ended it
    EXPECT_EQ(count({0x01, 0x00}, VideoKind::VideoMpeg2), 1);      // whatever came before
    EXPECT_EQ(count({0x00, 0x00, 0x00, 0x01, 0x00}, VideoKind::VideoMpeg2), 1);
    EXPECT_EQ(count({0x00}, VideoKind::VideoMpeg2), 0);
    EXPECT_EQ(count({}, VideoKind::VideoMpeg2), 0);
    EXPECT_EQ(count({0x01}, VideoKind::VideoMpeg2), 0);
}

TEST(PictureCounter, OverlappingAndNearMissCodes) {
    // 00 00 01 00 00 01 00: two MPEG-2 picture codes sharing nothing but zeros.
    EXPECT_EQ(count({0x00, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00}, VideoKind::VideoMpeg2), 2);
    EXPECT_EQ(count({0x00, 0x01, 0x01, 0x00}, VideoKind::VideoMpeg2), 0);
    EXPECT_EQ(count({0x07, 0x00, 0x01, 0x00}, VideoKind::VideoMpeg2), 0);
    EXPECT_EQ(count({0x00, 0x02, 0x01, 0x09}, VideoKind::VideoH264), 0);
}

TEST(PictureCounter, TheMemchrSearchRunsEverywhere) {
    EXPECT_TRUE(pictureSearchAvailable(PictureSearch::Memchr));
#if defined(__x86_64__)
    EXPECT_TRUE(pictureSearchAvailable(PictureSearch::Sse2));  // part of x86-64
#endif
}

// The fast counts must equal the plain one on every input. Random data dense in the bytes
// that make up start codes finds the corner cases; lengths up to a few vectors cross every
// vector boundary and leave every possible tail.
TEST(PictureCounter, EverySearchEqualsThePlainCountOnRandomInput) {
    std::mt19937 random(1234);
    const uint8_t alphabet[] = {0x00, 0x00, 0x00, 0x01, 0x01, 0x09, 0x0D, 0x42};
    std::uniform_int_distribution<int> pick(0, 7);
    std::uniform_int_distribution<int> length(0, 300);
    for (int round = 0; round < 6000; ++round) {
        Bytes bytes(static_cast<size_t>(length(random)));
        for (uint8_t& b : bytes)
            b = alphabet[pick(random)];
        for (VideoKind kind : kKinds) {
            expectEverySearchCounts(bytes, kind, countPictureStartCodesSimple(bytes, kind));
        }
        if (::testing::Test::HasFailure()) FAIL() << "round " << round;
    }
}

// A start code at every offset of pieces of every length up to three 32-byte vectors and a
// bit, whole or cut by the piece's end, in filler without zeros and in zeros.
TEST(PictureCounter, AStartCodeAtEveryOffsetOfAPiece) {
    for (uint8_t background : {uint8_t{0x5A}, uint8_t{0x00}}) {
        for (size_t n = 1; n <= 100; ++n) {
            for (size_t at = 0; at < n; ++at) {
                Bytes piece(n, background);
                const uint8_t code[] = {0x00, 0x00, 0x01, 0x0D};
                for (size_t k = 0; k < 4 && at + k < n; ++k)
                    piece[at + k] = code[k];
                // Whole, it counts once; cut, only when the zeros before it (the piece's own
                // or the register's initial ones) complete it, which the plain rule decides.
                const int expected = countPictureStartCodesSimple(piece, VideoKind::VideoVc1);
                if (at + 4 <= n) {
                    ASSERT_EQ(expected, 1) << n << " " << at;
                }
                expectEverySearchCounts(piece, VideoKind::VideoVc1, expected);
                if (::testing::Test::HasFailure()) FAIL() << n << " bytes, code at " << at;
            }
        }
    }
}

// Runs of zeros of every length before 01 0D, and before a near miss (01 0C), at every
// place in a piece: the zeros must neither hide nor invent a start code.
TEST(PictureCounter, RunsOfZerosBeforeStartCodesAndNearMisses) {
    for (uint8_t last : {uint8_t{0x0D}, uint8_t{0x0C}}) {
        for (size_t zeros = 0; zeros <= 70; ++zeros) {
            for (size_t before = 0; before <= 40; ++before) {
                Bytes piece(before, 0x77);
                piece.insert(piece.end(), zeros, 0x00);
                piece.push_back(0x01);
                piece.push_back(last);
                piece.insert(piece.end(), 37, 0x77);
                const bool starts = last == 0x0D && (zeros >= 2 || zeros == before + zeros);
                EXPECT_EQ(count(piece, VideoKind::VideoVc1), starts ? 1 : 0)
                    << zeros << " zeros after " << before << " bytes";
            }
        }
    }
}

// Long pieces of all zeros, all 01 0D pairs and back-to-back start codes.
TEST(PictureCounter, DegenerateLongPieces) {
    EXPECT_EQ(count(Bytes(4096, 0x00), VideoKind::VideoMpeg2), 0);
    Bytes pairs;
    for (int k = 0; k < 1000; ++k)
        pairs.insert(pairs.end(), {0x01, 0x0D});
    EXPECT_EQ(count(pairs, VideoKind::VideoVc1), 1);  // only the first has the initial zeros
    Bytes codes;
    for (int k = 0; k < 1000; ++k)
        codes.insert(codes.end(), {0x00, 0x00, 0x01, 0x0D});
    EXPECT_EQ(count(codes, VideoKind::VideoVc1), 1000);
    // 00 00 01 00 00 01 00 00 ...: each code byte is also the first zero of the next code.
    Bytes chained = {0x00, 0x00};
    for (int k = 0; k < 1000; ++k)
        chained.insert(chained.end(), {0x01, 0x00, 0x00});
    EXPECT_EQ(count(chained, VideoKind::VideoMpeg2), 1000);
}

// A stream cut into pieces anywhere, counted piece by piece with the register carried from
// one to the next, from a register that holds any bytes: every search gives the plain count
// of each piece and leaves the register where the plain rule does, so a start code split
// between pieces is counted exactly once, in the piece that holds its last byte.
TEST(PictureCounter, EverySearchCarriesTheRegisterFromPieceToPiece) {
    std::mt19937 random(4321);
    const uint8_t alphabet[] = {0x00, 0x00, 0x00, 0x01, 0x01, 0x09, 0x0D, 0x42};
    std::uniform_int_distribution<int> pick(0, 7);
    std::uniform_int_distribution<int> length(0, 120);
    std::uniform_int_distribution<uint32_t> anyRegister;
    for (int round = 0; round < 3000; ++round) {
        std::vector<Bytes> pieces(static_cast<size_t>(1 + round % 6));
        for (Bytes& piece : pieces) {
            piece.resize(static_cast<size_t>(length(random)));
            for (uint8_t& b : piece)
                b = alphabet[pick(random)];
        }
        const uint32_t start = round % 3 == 0 ? 0 : anyRegister(random) & 0x00FFFFFF;
        for (VideoKind kind : kKinds) {
            uint32_t plainRegister = start;
            std::vector<uint32_t> registers(std::size(kSearches) + 1, start);
            for (const Bytes& piece : pieces) {
                const Bytes exact(piece);  // its own size, for AddressSanitizer
                const int expected = countPictureStartCodesSimple(exact, kind, plainRegister);
                EXPECT_EQ(countPictureStartCodes(exact, kind, registers.back()), expected);
                EXPECT_EQ(registers.back(), plainRegister);
                size_t k = 0;
                for (PictureSearch search : availableSearches()) {
                    EXPECT_EQ(countPictureStartCodesWith(search, exact, kind, registers[k]),
                              expected)
                        << "search " << static_cast<int>(search);
                    EXPECT_EQ(registers[k++], plainRegister);
                }
            }
        }
        if (::testing::Test::HasFailure()) FAIL() << "round " << round;
    }
}

// A start code at every place of a stream of two or three pieces, cut at every place: counted
// once, whatever piece each of its bytes lies in, and never counted out of bytes of two
// pieces that are no start code together.
TEST(PictureCounter, AStartCodeCutByPiecesCountsOnce) {
    for (size_t at = 0; at < 12; ++at) {
        Bytes stream(16, 0x5A);
        const uint8_t code[] = {0x00, 0x00, 0x01, 0x0D};
        std::copy(std::begin(code), std::end(code), stream.begin() + static_cast<long>(at));
        for (size_t first = 0; first <= stream.size(); ++first) {
            for (size_t second = first; second <= stream.size(); ++second) {
                for (PictureSearch search : availableSearches()) {
                    uint32_t carried = 0;
                    int count = 0;
                    for (auto [from, to] : {std::pair{size_t{0}, first}, std::pair{first, second},
                                            std::pair{second, stream.size()}}) {
                        const Bytes piece(stream.begin() + static_cast<long>(from),
                                          stream.begin() + static_cast<long>(to));
                        count +=
                            countPictureStartCodesWith(search, piece, VideoKind::VideoVc1, carried);
                    }
                    ASSERT_EQ(count, 1) << "code at " << at << ", cuts " << first << " " << second
                                        << ", search " << static_cast<int>(search);
                }
            }
        }
    }
}

// ---- Counting in the engine ----

// Passes every piece to the payload handler and keeps the video payload it was handed.
class VideoPayloadTee : public PieceHandler {
  public:
    explicit VideoPayloadTee(PieceHandler& next) : next_(next) {}
    void onPiece(const ParserState& s, const Piece& piece) override {
        next_.onPiece(s, piece);
        if (s.packetTarget == PacketTarget::TargetVideo) {
            payload.insert(payload.end(), piece.bytes.begin(), piece.bytes.end());
        }
    }
    Bytes payload;

  private:
    PieceHandler& next_;
};

// Wherever the blocks cut the packets, and so the pieces, the scan's count is the plain count
// of the stream's payload as one: start codes split across packets and blocks are counted
// once, by whichever search runs.
TEST(PictureCounter, TheEngineCountsTheStreamAsThePlainRuleDoes) {
    std::mt19937 random(77);
    const uint8_t alphabet[] = {0x00, 0x00, 0x00, 0x01, 0x0D, 0x0D, 0x42, 0xFF};
    std::uniform_int_distribution<int> pick(0, 7);
    std::uniform_int_distribution<size_t> size(1, 1900);
    ProgramStream ps;
    for (int k = 0; k < 60; ++k) {
        Bytes payload(size(random));
        for (uint8_t& b : payload)
            b = alphabet[pick(random)];
        ps.addPack({pesPacket(0xFD, PesHeader().streamIdExtension(0x55), payload)});
        if (k % 7 == 0) ps.addPack({privateStream1Packet(0x80, PesHeader().pts(9), filler(300))});
    }
    const Bytes& stream = ps.bytes();
    std::uniform_int_distribution<size_t> offset(1, stream.size() - 1);
    for (int round = 0; round < 200; ++round) {
        std::vector<size_t> cuts(static_cast<size_t>(round % 50));
        for (size_t& cut : cuts)
            cut = offset(random);
        std::sort(cuts.begin(), cuts.end());
        cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());

        EngineLedger tables;
        RecordingEngineHost host;
        host.countFramesOption = true;
        PartScan scan;
        const EngineOptions options = optionsOf(host, EngineMode::Scan);
        PayloadHandler payload(scan, host, options, nullptr, ReportSet{});
        VideoPayloadTee tee(payload);
        StreamParser parser(scan.slotTable, host, options, tee);
        size_t from = 0;
        for (size_t cut : cuts) {
            parser.feed(std::span<const uint8_t>(stream).subspan(from, cut - from));
            from = cut;
        }
        parser.feed(std::span<const uint8_t>(stream).subspan(from));
        tables.take(scan);
        const int plainCount = countPictureStartCodesSimple(tee.payload, VideoKind::VideoVc1);
        ASSERT_GT(plainCount, 0);
        ASSERT_EQ(tables.frameCounts[0], plainCount) << "round " << round;
    }
}

}  // namespace
}  // namespace morvale::testing
