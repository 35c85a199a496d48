// SPDX-License-Identifier: MIT
// Malformed stream data is never an error: damaged streams parse without reading outside
// the block, and whatever the tables end up holding is a valid identifier for its slot.

#include <gtest/gtest.h>

#include <random>

#include "support/engine_ledger.h"
#include "engine/payload_handler.h"
#include "mixed_stream.h"
#include "support/recording_engine_host.h"

namespace morvale::testing {
namespace {

// Checks every piece against the block it came from, then passes it on.
class CheckedHandler : public PieceHandler {
  public:
    CheckedHandler(PieceHandler& next) : next_(next) {}
    std::span<const uint8_t> block;
    int pieces = 0;

    void onPiece(const ParserState& s, const Piece& piece) override {
        ++pieces;
        EXPECT_GE(piece.bytes.data(), block.data());
        EXPECT_LE(piece.bytes.data() + piece.bytes.size(), block.data() + block.size());
        EXPECT_EQ(static_cast<size_t>(s.pieceLength), piece.bytes.size());
        next_.onPiece(s, piece);
    }

  private:
    PieceHandler& next_;
};

void expectValidTable(std::span<const int32_t> ids, IdCarrier carrier, SlotKind kind,
                      size_t slots) {
    for (size_t slot = 0; slot < ids.size(); ++slot) {
        if (ids[slot] == -1) continue;
        auto mapped = slotFor(carrier, static_cast<uint8_t>(ids[slot]));
        if (carrier == IdCarrier::PesStreamId && !mapped) {
            mapped = slotFor(IdCarrier::StreamIdExtension, static_cast<uint8_t>(ids[slot]));
        }
        ASSERT_TRUE(mapped.has_value()) << ids[slot];
        EXPECT_EQ(mapped->kind, kind);
        EXPECT_EQ(static_cast<size_t>(mapped->slot), slot);
        EXPECT_LT(slot, slots);
    }
}

TEST(MalformedInput, DamagedStreamsParseSafely) {
    const Bytes original = mixedProgramStream();
    std::mt19937 random(99);
    std::uniform_int_distribution<size_t> at(0, original.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> special(0, 9);
    int pieces = 0;
    for (int round = 0; round < 400; ++round) {
        Bytes stream = original;
        for (int k = 0; k < 30; ++k) {
            // Half of the damage writes the bytes that matter most to the parser.
            const uint8_t values[] = {0x00, 0x01, 0xBD, 0xFD, 0xFF, 0xC1, 0x80, 0x20};
            stream[at(random)] =
                special(random) < 5 ? values[byte(random) % 8] : static_cast<uint8_t>(byte(random));
        }
        EngineLedger state;
        state.minFirstPts = 0xFFFFFFFF;
        RecordingEngineHost host;
        host.countFramesOption = true;
        host.detailsOption = true;
        PartScan scan;
        const EngineOptions options = optionsOf(host, EngineMode::Scan);
        PayloadHandler payload(scan, host, options, nullptr, ReportSet{});
        CheckedHandler checked(payload);
        StreamParser parser(scan.slotTable, host, options, checked);
        for (size_t from = 0; from < stream.size();) {
            const size_t n = std::min<size_t>(stream.size() - from, 1 + at(random) % 3000);
            checked.block = std::span<const uint8_t>(stream).subspan(from, n);
            parser.feed(checked.block);
            from += n;
        }
        pieces += checked.pieces;
        state.take(scan);
        expectValidTable(state.videoStreamIds, IdCarrier::PesStreamId, SlotKind::Video, 2);
        expectValidTable(state.audioStreamIds, IdCarrier::SubStreamId, SlotKind::Audio, 16);
        expectValidTable(state.subpictureStreamIds, IdCarrier::SubStreamId, SlotKind::Subpicture,
                         32);
        EXPECT_GE(state.frameCounts[0], 0);
        if (::testing::Test::HasFailure()) FAIL() << "round " << round;
    }
    EXPECT_GT(pieces, 4000);  // the damage leaves most packets intact
}

TEST(MalformedInput, RandomBytesParseSafely) {
    std::mt19937 random(5);
    std::uniform_int_distribution<int> byte(0, 3);
    Bytes stream(1 << 20);
    // Mostly zeros and ones with start-code bytes: many start codes, lengths and headers.
    const uint8_t alphabet[] = {0x00, 0x01, 0xBD, 0xE0};
    for (uint8_t& b : stream)
        b = alphabet[byte(random)];
    EngineLedger state;
    RecordingEngineHost host;
    host.countFramesOption = true;
    PartScan scan;
    const EngineOptions options = optionsOf(host, EngineMode::Scan);
    PayloadHandler payload(scan, host, options, nullptr, ReportSet{});
    CheckedHandler checked(payload);
    StreamParser parser(scan.slotTable, host, options, checked);
    checked.block = stream;
    parser.feed(stream);
    state.take(scan);
    expectValidTable(state.videoStreamIds, IdCarrier::PesStreamId, SlotKind::Video, 2);
    EXPECT_GT(checked.pieces, 0);
}

}  // namespace
}  // namespace morvale::testing
