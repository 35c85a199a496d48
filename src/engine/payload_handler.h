// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/engine_host.h"
#include "engine/stream_headers.h"
#include "engine/part_scan.h"
#include "engine/payload_sink.h"
#include "engine/stream_parser.h"
#include "platform/file.h"
#include "reports/reports.h"

namespace morvale {

// Gives a stream an output of its own when a Demux meets its first packet: slot owner or
// not (`ownsSlot`: the first stream met in its slot in this file), MPEG audio too. nullptr:
// the stream goes into no output of its own.
class StreamRouter {
  public:
    virtual ~StreamRouter() = default;
    virtual PayloadSink* open(const ScannedStream& stream, bool ownsSlot) = 0;
};

// Where a run of the engine writes. The boxes' outputs: one per slot with a box, taking only
// the stream that owns the slot; nullptr where the slot has none. And, through a router, an
// output per stream. The command creates, owns and closes them; the engine only hands them
// the payload.
struct DemuxOutputs {
    std::array<PayloadSink*, kVideoSlots> video{};
    std::array<PayloadSink*, kAudioSlots> audio{};
    std::array<PayloadSink*, kSubpictureOutputSlots> subpicture{};
    StreamRouter* router = nullptr;

    // The output of a slot of a kind.
    PayloadSink*& at(SlotKind kind, int slot) {
        switch (kind) {
            case SlotKind::Video:
                return video[slot];
            case SlotKind::Audio:
                return audio[slot];
            case SlotKind::Subpicture:
                return subpicture[slot];
        }
        return video[0];
    }
    PayloadSink* at(SlotKind kind, int slot) const {
        return const_cast<DemuxOutputs*>(this)->at(kind, slot);
    }
};

// The header reports a detailed scan calls on a slot's first payload piece.
struct ReportSet {
    void (*ac3)(std::span<const uint8_t>, int, MessageLog&) = &ReportAc3;
    void (*vc1)(std::span<const uint8_t>, uint64_t, char, MessageLog&) = &ReportVc1;
    void (*mpeg2Video)(std::span<const uint8_t>, uint32_t, MessageLog&) = &ReportMpeg2Video;
    void (*h264)(std::span<const uint8_t>, MessageLog&) = &ReportH264;
};

// What happens to each payload piece, in this order: the stream's record (its times, bytes
// and format bytes), picture counting, the first timestamp of its slot with the header report
// (Scan), and the append to the slot's output (Demux). Every stream is recorded; only the
// stream that owns a slot (the identifier stored in the slot table at its first
// identification in this call) reaches the slot's count, report and output; packets of other
// streams mapped to the same slot, and MPEG audio, go into no output.
class PayloadHandler final : public PieceHandler {
  public:
    PayloadHandler(PartScan& scan, EngineHost& host, const EngineOptions& options,
                   const DemuxOutputs* outputs, const ReportSet& reports);

    void onPiece(const ParserState& s, const Piece& piece) override;

  private:
    ScannedStream* recordOf(const ParserState& s);
    bool ownsSlot(const ParserState& s) const;
    PayloadSink* outputOf(const ScannedStream& stream) const;
    void takePacket(const ParserState& s, ScannedStream& stream);
    void findHeader(ScannedStream& stream, std::span<const uint8_t> bytes);
    void countPictures(const ParserState& s, ScannedStream& stream,
                       std::span<const uint8_t> bytes);
    void firstAudioPiece(const ParserState& s, std::span<const uint8_t> bytes);
    void firstVideoPiece(const ParserState& s, std::span<const uint8_t> bytes);
    void takeFirstTimestamp(uint32_t pts);
    void write(const ParserState& s, const ScannedStream& stream, const Piece& piece);

    PartScan& scan_;
    EngineHost& host_;
    const EngineOptions& options_;
    const DemuxOutputs* outputs_;
    ReportSet reports_;
    // The position of each stream's record in scan_.streams, by id space and identifier; -1
    // before its first piece.
    std::array<std::array<int16_t, 256>, 3> records_;
    std::array<bool, kAudioSlots> audioPtsReported_{};
    std::array<bool, kVideoSlots> videoPtsReported_{};
    // Per stream record: the search for its first header, and its own output.
    std::vector<HeaderFinder> headerFinders_;
    std::vector<PayloadSink*> streamOutputs_;
    // Per video slot: the last bytes of its payload so far, so that a start code split
    // between two pieces is counted once.
    std::array<uint32_t, kVideoSlots> pictureRegisters_{};
};

}  // namespace morvale
