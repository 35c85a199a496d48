// SPDX-License-Identifier: MIT
#include "commands/stream_names.h"

#include <cstdio>

namespace morvale {

SlotRef slotAt(int order) {
    if (order < kVideoSlots) return {SlotKind::Video, order};
    if (order < kVideoSlots + kAudioSlots) return {SlotKind::Audio, order - kVideoSlots};
    return {SlotKind::Subpicture, order - kVideoSlots - kAudioSlots};
}

std::string slotSuffix(SlotKind kind, int slot) {
    char text[8];
    if (kind == SlotKind::Video) {
        std::snprintf(text, sizeof text, ".%d", slot);
    } else {
        std::snprintf(text, sizeof text, ".%02d", slot);
    }
    return text;
}

std::string boxNameOf(SlotKind kind, int32_t id) {
    const StreamKind* row = streamKindInSlot(kind, id);
    if (row == nullptr || id - row->first >= boxedSlots(kind)) return {};
    return std::string(row->boxName);
}

bool isBoxName(SlotKind kind, std::string_view name) {
    for (const StreamKind& row : kStreamKinds) {
        if (row.hasSlot && row.slotKind == kind && row.boxName == name) return true;
    }
    return false;
}

std::vector<ChosenBox> foundBoxes(const SlotTable& owners) {
    std::vector<ChosenBox> boxes;
    for (int order = 0; order < kSlotBoxCount; ++order) {
        const SlotRef ref = slotAt(order);
        const int32_t id = owners.owner(ref.kind, ref.slot);
        if (id < 0) continue;
        boxes.push_back({ref.kind, ref.slot, boxNameOf(ref.kind, id) + slotSuffix(ref.kind, ref.slot)});
    }
    return boxes;
}

}  // namespace morvale
