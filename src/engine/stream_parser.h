// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/engine_types.h"
#include "engine/parser_state.h"
#include "engine/slot_table.h"
#include "engine/stream_kinds.h"
#include "reports/message_log.h"

namespace morvale {

// A payload piece: the part of a packet's payload that lies in the current block.
struct Piece {
    std::span<const uint8_t> bytes;  // inside the block; may be empty
    bool firstOfPacket;              // no earlier piece of this packet was taken
};

// Receives the payload pieces of video, audio, MPEG audio and subpicture packets, in file
// order. The parser state describes the packet (target, slots, kinds, timestamps).
class PieceHandler {
  public:
    virtual ~PieceHandler() = default;
    virtual void onPiece(const ParserState& state, const Piece& piece) = 0;
};

// The start-code state machine of the program-stream engine (MPEG-2 systems, ISO/IEC
// 13818-1, with the HD DVD extended stream id 0xFD and the DVD/HD DVD private stream 1
// sub-streams). Fed block by block, it finds PES packets, reads the header fields it needs,
// identifies streams into the slots of the slot table (logging each first identification
// in a Scan) and hands the payload pieces on. Payload and packets skipped
// whole are passed over in one step per block; only header bytes and the bytes between
// packets are examined one by one.
class StreamParser {
  public:
    StreamParser(SlotTable& owners, MessageLog& log, const EngineOptions& options,
                 PieceHandler& pieces);

    // Parses a whole block; the state carries over to the next one.
    void feed(std::span<const uint8_t> block);

    const ParserState& state() const { return s_; }

  private:
    void shiftIn(uint8_t b) { s_.startCodeRegister = (s_.startCodeRegister << 8) | b; }
    void shiftInRun(const uint8_t* bytes, size_t n);
    // No header field is being read: a byte can only matter by completing a start code. The
    // counters never go below zero (each is counted down only while it is above zero), so
    // one test of all of them together, without a branch per counter, says so.
    bool hunting() const {
        const uint32_t bytes = s_.lengthPhase | s_.fixedHeaderRemaining | s_.headerDataRemaining |
                               s_.substreamRemaining | s_.lpcmHeaderRemaining | s_.mpeg1Fields |
                               s_.packMarkerNext;
        const int32_t counters = s_.ptsRemaining | s_.ptsDtsRemaining | s_.extFlagsRemaining |
                                 s_.pstdRemaining | s_.ext2Remaining | s_.mlpHeaderRemaining;
        return (bytes | static_cast<uint32_t>(counters)) == 0;
    }
    // The counters that most header bytes run on: when one is set, hunting() is false,
    // and this cheaper test says so.
    bool readingHeaderBytes() const {
        return (s_.lengthPhase | s_.fixedHeaderRemaining | s_.headerDataRemaining |
                s_.substreamRemaining) != 0;
    }

    static constexpr size_t kLengthAndFixedHeader = 5;
    bool startCodeWithin(const uint8_t* bytes, size_t n) const;
    size_t stepLengthAndFixedHeader(const uint8_t* bytes);

    size_t takePiece(std::span<const uint8_t> block, size_t i);
    size_t skipBytes(std::span<const uint8_t> block, size_t i);
    size_t huntForStartCode(std::span<const uint8_t> block, size_t i);
    void stepByte(uint8_t b);

    void startCode(uint8_t streamId);
    void videoStartCode(uint8_t streamId);
    void lengthLowByte();
    void packMarker(uint8_t b);
    void mpeg1FieldByte(uint8_t b);
    void fixedHeaderByte(uint8_t b);
    void ptsByte(uint8_t b);
    void ptsDtsByte(uint8_t b);
    void timestampFieldsEnd();
    void extFlagsByte(uint8_t b);
    void pstdByte();
    void ext2Byte(uint8_t b);
    void headerDataByte();
    void headerEnd();
    void substreamByte(uint8_t b);
    void subpictureStart(uint8_t subStreamId, const SlotAssignment& slot);
    void audioDecision(uint8_t subStreamId);
    void discardPayload();
    void lpcmHeaderByte(uint8_t b);
    void mlpHeaderByte();

    template <class Line>
    void nameLeftOut(IdCarrier carrier, uint8_t id, Line line);
    void sharesSlot(IdCarrier carrier, uint8_t id, const SlotAssignment& slot, int32_t owner);
    void takePts(uint32_t pts);
    void announce(StreamFormat format, int slot);

    SlotTable& slots_;
    MessageLog& log_;
    const EngineOptions& options_;
    PieceHandler& pieces_;
    ParserState s_;
};

// Assembles one byte of a five-byte PTS/DTS field into the low 32 bits of the timestamp;
// step counts the bytes down from 4 (marker byte with bits 32-30) to 0.
constexpr uint32_t assembleTimestamp(uint32_t accumulator, int step, uint8_t b) {
    switch (step) {
        case 4:
            return (b & 0x06u) << 29;  // bits 31-30; bit 32 is dropped
        case 3:
            return accumulator | (uint32_t{b} << 22);
        case 2:
            return accumulator | ((b & 0xFEu) << 14);
        case 1:
            return accumulator | (uint32_t{b} << 7);
        default:
            return accumulator | ((b & 0xFEu) >> 1);
    }
}

}  // namespace morvale
