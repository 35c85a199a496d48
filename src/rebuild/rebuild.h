// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>

#include "engine/engine_host.h"
#include "engine/pack_layout.h"
#include "engine/run_control.h"
#include "engine/slot_table.h"
#include "platform/file.h"

namespace morvale {

// How a rebuild renumbers the streams it keeps, and the pack it handled last. It lives for one
// click of "Rebuild" and carries over from the first part of a feature into the second.
struct RebuildNumbering {
    // renumber: false when the last scan was not of this source; then every id keeps its
    // byte (the drop decisions still follow the scan's tables and the ticks).
    explicit RebuildNumbering(bool renumber = true) : renumber(renumber) { reset(); }
    void reset();

    static constexpr uint8_t kUnassigned = 0xFF;
    bool renumber;
    // Old id byte -> new id byte, one map per id space (IdCarrier: PES stream ids, stream
    // id extensions, private stream 1 sub-stream ids): MPEG audio 0xC5 and sub-stream 0xC5
    // are two streams.
    std::array<std::array<uint8_t, 256>, 3> newIds;
    uint8_t keptVideoCount = 0;
    uint8_t keptAudioCount = 0;
    uint8_t keptSubpictureCount = 0;
    // The pack handled last: a short final pack is laid over it.
    std::array<uint8_t, kPackSize> lastPack{};

    std::array<uint8_t, 256>& map(IdCarrier carrier) {
        return newIds[static_cast<size_t>(carrier)];
    }
    // Two numberings are the same when they give the same ids (the pack handled last aside).
    friend bool operator==(const RebuildNumbering& a, const RebuildNumbering& b) {
        return a.renumber == b.renumber && a.newIds == b.newIds &&
               a.keptVideoCount == b.keptVideoCount && a.keptAudioCount == b.keptAudioCount &&
               a.keptSubpictureCount == b.keptSubpictureCount;
    }
};

// What decides a pack's fate: the streams the last scan listed in their slots, and the boxes
// ticked.
struct RebuildRules {
    const SlotTable& scanned;
    const SlotSelection& ticks;
};

// Copies the source from its position to its end into the output, 2,048-byte pack by pack:
// a pack that does not begin with a pack start code, or whose first packet belongs to an
// unticked stream of the last scan, is left out; system headers get the ticked stream
// counts as their bounds; the streams the last scan listed in a slot and that are kept are
// renumbered per kind in order of first appearance, in every packet of a kept pack, so each
// stream carries one id throughout; every other stream keeps its id. Returns at the end of
// the source or when a cancel is requested. Throws FileError on a failed read or write.
void Rebuild(EngineHost& host, RunControl& control, SourceFile& source, OutputFile& output,
             const RebuildRules& rules, RebuildNumbering& numbering);

// Applies the rules to one pack in place; returns whether it is kept. Only packs that begin
// with 00 00 01 BA can be kept. Exposed for the fuzz target and the tests.
bool rebuildPack(uint8_t* pack, const SlotTable& scanned, const SlotSelection& ticks,
                 RebuildNumbering& numbering);

}  // namespace morvale
