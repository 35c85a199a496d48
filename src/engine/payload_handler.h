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

// Where a run of the engine writes. The boxes' outputs: one per slot with a box, taking only
// the stream that owns the slot; nullptr where the slot has none. And outputs by stream,
// slot owner or not (MPEG audio too), by id space and identifier. The command creates, owns
// and closes them; the engine only hands them the payload.
struct DemuxOutputs {
    std::array<PayloadSink*, kVideoSlots> video{};
    std::array<PayloadSink*, kAudioSlots> audio{};
    std::array<PayloadSink*, kSubpictureOutputSlots> subpicture{};
    std::array<std::array<PayloadSink*, 256>, 3> streams{};

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
    PayloadSink*& of(StreamId id) { return streams[static_cast<size_t>(id.carrier)][id.id]; }
    PayloadSink* of(StreamId id) const { return streams[static_cast<size_t>(id.carrier)][id.id]; }
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
    // Per stream record: the search for its first header.
    std::vector<HeaderFinder> headerFinders_;
    // Per video slot: the last bytes of its payload so far, so that a start code split
    // between two pieces is counted once.
    std::array<uint32_t, kVideoSlots> pictureRegisters_{};
};

}  // namespace morvale
