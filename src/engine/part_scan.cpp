// SPDX-License-Identifier: MIT
#include "engine/part_scan.h"

namespace morvale {

const ScannedStream* PartScan::find(StreamId id) const {
    for (const ScannedStream& stream : streams) {
        if (stream.id == id) return &stream;
    }
    return nullptr;
}

const ScannedStream* PartScan::owner(SlotKind kind, int slot) const {
    const int32_t id = slotTable.owner(kind, slot);
    if (id < 0) return nullptr;
    for (const ScannedStream& stream : streams) {
        if (stream.kind->hasSlot && stream.slotKind() == kind && stream.slot == slot &&
            stream.id.id == id) {
            return &stream;
        }
    }
    return nullptr;
}

int64_t PartScan::pictures(int videoSlot) const {
    const ScannedStream* stream = owner(SlotKind::Video, videoSlot);
    return stream ? stream->pictures : 0;
}

}  // namespace morvale
