// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "engine/stream_kinds.h"

namespace morvale {

// Which stream owns each slot: the identifier byte of the first stream met in the slot in a
// run of the engine over one file, -1 where none was. The window's stream boxes show the
// owners of the slots that have a box.
class SlotTable {
  public:
    SlotTable() { clear(); }

    std::span<int32_t> ids(SlotKind kind);
    std::span<const int32_t> ids(SlotKind kind) const;
    int32_t owner(SlotKind kind, int slot) const { return ids(kind)[static_cast<size_t>(slot)]; }
    bool any() const;
    void clear();

    friend bool operator==(const SlotTable&, const SlotTable&) = default;

  private:
    std::array<int32_t, kVideoSlots> video_;
    std::array<int32_t, kAudioSlots> audio_;
    std::array<int32_t, kSubpictureSlots> subpicture_;
};

// The boxes a command runs on: which slots with a box are chosen.
class SlotSelection {
  public:
    bool ticked(SlotKind kind, int slot) const {
        return slot >= 0 && slot < boxedSlots(kind) && ticks(kind)[static_cast<size_t>(slot)];
    }
    void set(SlotKind kind, int slot, bool ticked) {
        if (slot >= 0 && slot < boxedSlots(kind)) ticks(kind)[static_cast<size_t>(slot)] = ticked;
    }
    // Every slot with a box.
    static SlotSelection all();

    friend bool operator==(const SlotSelection&, const SlotSelection&) = default;

  private:
    std::span<bool> ticks(SlotKind kind);
    std::span<const bool> ticks(SlotKind kind) const;

    std::array<bool, kVideoSlots> video_{};
    std::array<bool, kAudioSlots> audio_{};
    std::array<bool, kSubpictureOutputSlots> subpicture_{};
};

}  // namespace morvale
