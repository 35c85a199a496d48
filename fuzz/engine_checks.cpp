// SPDX-License-Identifier: MIT
#include "engine_checks.h"

#include <initializer_list>

#include "engine/stream_kinds.h"
#include "fuzz_support.h"
#include "rebuild/rebuild.h"

namespace morvale::fuzzing {

namespace {

bool mappedTo(int32_t id, SlotKind kind, int slot, std::initializer_list<IdCarrier> carriers) {
    if (id < 0 || id > 0xFF) return false;
    for (IdCarrier carrier : carriers) {
        auto assignment = slotFor(carrier, static_cast<uint8_t>(id));
        if (assignment && assignment->kind == kind && assignment->slot == slot) return true;
    }
    return false;
}

}  // namespace

void resetEngineState(EngineLedger& state) {
    state.clearStreamIds();
    state.frameCounts.fill(0);
    state.minFirstPts = 0;
    state.control = RunControl{};
}

void checkIdentifierTables(const EngineLedger& state) {
    for (int slot = 0; slot < static_cast<int>(state.videoStreamIds.size()); ++slot) {
        const int32_t id = state.videoStreamIds[static_cast<size_t>(slot)];
        if (slot >= kVideoSlots) {
            FUZZ_CHECK(id == -1);
        } else {
            FUZZ_CHECK(id == -1 ||
                       mappedTo(id, SlotKind::Video, slot,
                                {IdCarrier::PesStreamId, IdCarrier::StreamIdExtension}));
        }
    }
    for (int slot = 0; slot < kAudioSlots; ++slot) {
        const int32_t id = state.audioStreamIds[static_cast<size_t>(slot)];
        FUZZ_CHECK(id == -1 || mappedTo(id, SlotKind::Audio, slot, {IdCarrier::SubStreamId}));
    }
    for (int slot = 0; slot < kSubpictureSlots; ++slot) {
        const int32_t id = state.subpictureStreamIds[static_cast<size_t>(slot)];
        FUZZ_CHECK(id == -1 || mappedTo(id, SlotKind::Subpicture, slot, {IdCarrier::SubStreamId}));
    }
}

void checkFrameCounts(const EngineLedger& state, uint64_t bytesRead) {
    for (int32_t count : state.frameCounts) {
        FUZZ_CHECK(count >= 0);
        FUZZ_CHECK(static_cast<uint64_t>(count) <= bytesRead / 2);
    }
}

}  // namespace morvale::fuzzing
