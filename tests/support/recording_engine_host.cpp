// SPDX-License-Identifier: MIT
#include "support/recording_engine_host.h"

#include "platform/clock.h"

namespace morvale::testing {

void RecordingEngineHost::tickAll() {
    videoTicks.fill(true);
    audioTicks.fill(true);
    subpictureTicks.fill(true);
}

void RecordingEngineHost::pumpEvents() {
    ++pumpCount;
    if (onPump) onPump();
}

std::string RecordingEngineHost::formatLongTime(double days) {
    return formatTimeOfDay(days);
}

}  // namespace morvale::testing
