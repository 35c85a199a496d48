// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "commands/command_settings.h"
#include "engine/slot_table.h"
#include "engine/stream_kinds.h"

namespace morvale {

// The slots with a box, in the order every command handles them: video 0-1, audio 0-15,
// subpicture 0-15.
inline constexpr int kSlotBoxCount = kVideoSlots + kAudioSlots + kSubpictureOutputSlots;
struct SlotRef {
    SlotKind kind;
    int slot;
};
SlotRef slotAt(int order);

// The slot suffix of a caption: ".0"/".1" for video, ".00".."15" for audio and subpicture.
std::string slotSuffix(SlotKind kind, int slot);

// The name a scan gives a stream in a slot with a box, by the identifier stored in the slot
// table ("VC-1.stream", "DD+.stream", "Subpicture"); empty when unknown or the slot has no box.
std::string boxNameOf(SlotKind kind, int32_t id);
// Whether a scan can name a stream of the kind so (the caption without its slot suffix).
bool isBoxName(SlotKind kind, std::string_view name);

// One box per slot owner with a box, in box order, captioned as a scan captions it:
// "VC-1.stream.0", "DD+.stream.00", "Subpicture.01".
std::vector<ChosenBox> foundBoxes(const SlotTable& owners);

}  // namespace morvale
