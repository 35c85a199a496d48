// SPDX-License-Identifier: MIT
#pragma once

// Joins the payload pieces of one subpicture sub-stream, in file order, into whole units.
// A unit begins with the first piece of a PES packet whose header carried a PTS, may span
// many packets, and is as long as its size header says. Memory holds one unit at most.
//
//   SubpictureAssembler assembler;
//   for each piece of the stream:
//       if (auto unit = assembler.feed(piece.bytes, piece.firstOfPacket, packetPts))
//           use(*unit);
//   assembler.finish();   // an unfinished last unit is dropped and counted

#include <cstdint>
#include <optional>
#include <span>

#include "subtitles/subpicture_unit.h"

namespace morvale {

// What the assembler passed over, by cause. Each dropped unit counts once; stray packets are
// packets (or the rest of one) that belong to no unit.
struct AssemblyCounts {
    uint64_t units = 0;         // whole units handed out
    uint64_t cutShort = 0;      // a new unit's PTS packet, or the end, came before its end
    uint64_t badSize = 0;       // size 0, below the smallest unit, or beyond kMaxHdDvdUnit
    uint64_t strayPackets = 0;  // bytes before any unit start, or after a unit's end
    uint64_t droppedBytes = 0;  // the bytes of all of the above

    uint64_t dropped() const { return cutShort + badSize + strayPackets; }
};

class SubpictureAssembler {
  public:
    // One payload piece. `pts` is the 32-bit low part of the packet's 90 kHz PTS, given with
    // the first piece of a packet whose header carried one. Returns the unit this piece
    // completes, if any (a piece completes one unit at most: units start with packets).
    std::optional<SubpictureUnit> feed(std::span<const uint8_t> bytes, bool firstOfPacket,
                                       std::optional<uint32_t> pts);
    // The end of the stream: an unfinished unit is dropped and counted.
    void finish();

    const AssemblyCounts& counts() const { return counts_; }

  private:
    void start(uint32_t pts);
    void drop(uint64_t& cause);
    void discard(size_t bytes);
    std::optional<SubpictureUnit> take(std::span<const uint8_t>& bytes);
    int64_t unwrap(uint32_t pts);

    SubpictureUnit unit_;
    bool inUnit_ = false;
    std::optional<UnitSize> size_;
    // The packet being discarded is counted already (one packet counts once over its
    // pieces), or holds the rest of a unit dropped for its size (counted with the unit).
    bool strayPacketCounted_ = false;
    bool restOfDropped_ = false;
    std::optional<int64_t> lastPts_;
    AssemblyCounts counts_;
};

// The 32-bit PTS `low` nearest to `previous` on the continuous timeline: PTS values
// unwrapped across 2^32 (and 2^33, whose low 32 bits wrap with it) as long as consecutive
// units are less than 2^31 ticks (6.6 hours) apart.
int64_t unwrapPts(uint32_t low, std::optional<int64_t> previous);

}  // namespace morvale
