// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/slot_table.h"
#include "engine/stream_headers.h"
#include "engine/stream_kinds.h"
#include "engine/stream_times.h"

namespace morvale {

// A stream by its identifier: where the identifier is carried (its id space) and its byte.
struct StreamId {
    IdCarrier carrier = IdCarrier::PesStreamId;
    uint8_t id = 0;
    friend auto operator<=>(const StreamId&, const StreamId&) = default;
};

// One stream the engine met in a file, slot owner or not.
struct ScannedStream {
    StreamId id;
    const StreamKind* kind = nullptr;  // its row of kStreamKinds
    int slot = 0;                      // the identifier's distance from the row's first id
    StreamTimes times;                 // the PTS of its packets' own headers
    int64_t payloadBytes = 0;
    // Video: the picture start codes counted (slot owners, when pictures are counted).
    int64_t pictures = 0;
    // What its first header says (its frame period and size, or its rate and channels).
    StreamFacts facts;
    // LPCM: the format bytes of its first packet.
    std::optional<LpcmHeaderBytes> lpcmHeader;

    SlotKind slotKind() const { return kind->slotKind; }
    // How long one picture is shown: the frame period of the sequence header, or film's when
    // it gives none. A stream plays from its earliest picture to one period after its latest.
    FramePeriod playPeriod() const { return facts.framePeriod.value_or(kFilmFramePeriod); }
};

// What one run of the engine over one file found.
struct PartScan {
    // The owner of each slot.
    SlotTable slotTable;
    // Every stream with a payload, in the order of its first packet.
    std::vector<ScannedStream> streams;
    // A scan: the smallest first timestamp it reported of an audio or video slot.
    std::optional<uint32_t> firstTimestamp;
    // The run stopped before the end of the file (Cancel or the fast-check limit).
    bool interrupted = false;
    // Bytes of the file the run read.
    int64_t bytesRead = 0;

    const ScannedStream* find(StreamId id) const;
    // The stream that owns a slot; nullptr when none does or it carried no payload.
    const ScannedStream* owner(SlotKind kind, int slot) const;
    // The pictures counted in a video slot.
    int64_t pictures(int videoSlot) const;
};

}  // namespace morvale
