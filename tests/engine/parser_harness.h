// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "support/engine_ledger.h"
#include "engine/payload_handler.h"
#include "engine/stream_parser.h"
#include "support/program_stream_builder.h"
#include "support/recording_engine_host.h"

namespace morvale::testing {

// A payload piece as the parser handed it on, with the packet description it came with.
struct RecordedPiece {
    PacketTarget target;
    int videoSlot;
    int audioSlot;
    int subpictureSlot;
    VideoKind videoKind;
    AudioKind audioKind;
    int streamId;
    bool first;
    bool hasPts;
    uint32_t ownPts;
    Bytes bytes;

    bool operator==(const RecordedPiece&) const = default;
};

class PieceRecorder : public PieceHandler {
  public:
    std::vector<RecordedPiece> pieces;

    void onPiece(const ParserState& s, const Piece& piece) override {
        pieces.push_back({s.packetTarget, s.videoSlot, s.audioSlot, s.subpictureSlot, s.videoKind,
                          s.audioKind, s.packetStreamId, piece.firstOfPacket, s.packetHasPts,
                          s.packetOwnPts, Bytes(piece.bytes.begin(), piece.bytes.end())});
    }
};

// Reports that write nothing, for tests about the engine's own lines.
inline const ReportSet kSilentReports = [] {
    ReportSet set;
    set.ac3 = [](std::span<const uint8_t>, int, MessageLog&) {};
    set.vc1 = [](std::span<const uint8_t>, uint64_t, char, MessageLog&) {};
    set.mpeg2Video = [](std::span<const uint8_t>, uint32_t, MessageLog&) {};
    set.h264 = [](std::span<const uint8_t>, MessageLog&) {};
    return set;
}();

// One parse of a byte stream, fed in blocks cut at the given offsets (ascending).
struct ParseRun {
    EngineLedger tables;
    RecordingEngineHost host;
    PieceRecorder recorder;
    ParserState finalState;

    // Pieces of the same packet joined, so runs cut at different places compare equal.
    std::vector<RecordedPiece> joinedPieces() const {
        std::vector<RecordedPiece> out;
        for (const RecordedPiece& p : recorder.pieces) {
            if (!out.empty() && !p.first) {
                out.back().bytes.insert(out.back().bytes.end(), p.bytes.begin(), p.bytes.end());
            } else {
                out.push_back(p);
            }
        }
        return out;
    }
};

inline void runParser(ParseRun& run, std::span<const uint8_t> stream, EngineMode mode,
                      const std::vector<size_t>& cuts = {}) {
    const EngineOptions options = optionsOf(run.host, mode);
    StreamParser parser(run.tables.slots, run.host, options, run.recorder);
    size_t from = 0;
    for (size_t cut : cuts) {
        parser.feed(stream.subspan(from, cut - from));
        from = cut;
    }
    parser.feed(stream.subspan(from));
    run.finalState = parser.state();
}

}  // namespace morvale::testing
