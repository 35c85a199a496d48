#include "engine/engine_state.h"

namespace morvale {

EngineState::EngineState() : blockBuffer(std::make_unique<uint8_t[]>(kBlockSize)) {
    clearStreamIds();
}

void EngineState::clearStreamIds() {
    videoStreamIds.fill(-1);
    audioStreamIds.fill(-1);
    subpictureStreamIds.fill(-1);
}

}  // namespace morvale
