#include "engine/engine_state.h"

namespace morvale {

EngineState::EngineState() : blockBuffer(std::make_unique<uint8_t[]>(kBlockSize)) {
    clearStreamIds();
}

std::span<int32_t> EngineState::streamIds(SlotKind kind) {
    switch (kind) {
        case SlotKind::Video:
            return videoStreamIds;
        case SlotKind::Audio:
            return audioStreamIds;
        case SlotKind::Subpicture:
            break;
    }
    return subpictureStreamIds;
}

std::span<const int32_t> EngineState::streamIds(SlotKind kind) const {
    return const_cast<EngineState*>(this)->streamIds(kind);
}

void EngineState::clearStreamIds() {
    videoStreamIds.fill(-1);
    audioStreamIds.fill(-1);
    subpictureStreamIds.fill(-1);
}

}  // namespace morvale
