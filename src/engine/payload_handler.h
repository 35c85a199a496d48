#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/engine_host.h"
#include "engine/stream_headers.h"
#include "engine/part_scan.h"
#include "engine/stream_parser.h"
#include "platform/file.h"
#include "reports/reports.h"

namespace morvale {

// The outputs of a Demux, one per ticked slot; nullptr where the slot has none. The
// command creates, owns and closes them; the engine only appends.
struct DemuxOutputs {
    std::array<OutputFile*, kVideoSlots> video{};
    std::array<OutputFile*, kAudioSlots> audio{};
    std::array<OutputFile*, kSubpictureOutputSlots> subpicture{};

    // The output of a slot of a kind.
    OutputFile*& at(SlotKind kind, int slot) {
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
    void write(const ParserState& s, const Piece& piece);
    void writeSubpicture(const ParserState& s, const Piece& piece);

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

// A subpicture record header: "SP", the time relative to the time base as 32 bits
// little-endian, and four zero bytes.
std::array<uint8_t, 10> subpictureRecordHeader(uint32_t relativeTime);

}  // namespace morvale
