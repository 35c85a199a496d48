// SPDX-License-Identifier: MIT
#include "engine/slot_table.h"

#include <algorithm>

namespace morvale {

std::span<int32_t> SlotTable::ids(SlotKind kind) {
    switch (kind) {
        case SlotKind::Video:
            return video_;
        case SlotKind::Audio:
            return audio_;
        case SlotKind::Subpicture:
            break;
    }
    return subpicture_;
}

std::span<const int32_t> SlotTable::ids(SlotKind kind) const {
    return const_cast<SlotTable*>(this)->ids(kind);
}

bool SlotTable::any() const {
    const auto found = [](const auto& ids) {
        return std::any_of(ids.begin(), ids.end(), [](int32_t id) { return id >= 0; });
    };
    return found(video_) || found(audio_) || found(subpicture_);
}

void SlotTable::clear() {
    video_.fill(-1);
    audio_.fill(-1);
    subpicture_.fill(-1);
}

std::span<bool> SlotSelection::ticks(SlotKind kind) {
    switch (kind) {
        case SlotKind::Video:
            return video_;
        case SlotKind::Audio:
            return audio_;
        case SlotKind::Subpicture:
            break;
    }
    return subpicture_;
}

std::span<const bool> SlotSelection::ticks(SlotKind kind) const {
    return const_cast<SlotSelection*>(this)->ticks(kind);
}

SlotSelection SlotSelection::all() {
    SlotSelection selection;
    selection.video_.fill(true);
    selection.audio_.fill(true);
    selection.subpicture_.fill(true);
    return selection;
}

}  // namespace morvale
