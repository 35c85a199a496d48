#include "commands/frame_summary.h"

#include <algorithm>

namespace morvale {

namespace {
constexpr long double kSecondsPerDayExtended = 86400.0L;
}  // namespace

long double readEvoRunningDays(int32_t pictures) {
    return static_cast<long double>(pictures) / 24000.0L * 1001.0L / kSecondsPerDayExtended;
}

long double demuxRunningDays(int32_t pictures) {
    return static_cast<long double>(pictures) / 23.976L / kSecondsPerDayExtended;
}

void RunningTimes::addPart(const EngineState& engine,
                           const std::array<int32_t, kVideoSlots>& countsBefore) {
    constexpr long double kPtsPerSecond = 90000.0L;
    for (int slot = 0; slot < kVideoSlots; ++slot) {
        const SlotTimes& times = engine.streamTimes.video[slot];
        if (!times.seen) {
            untimedPictures_[slot] += std::max(0, engine.frameCounts[slot] - countsBefore[slot]);
            continue;
        }
        const FramePeriod period = engine.framePeriods[slot].value_or(kFilmFramePeriod);
        timed_[slot] = true;
        timedSeconds_[slot] +=
            static_cast<long double>(times.latest - times.earliest) / kPtsPerSecond +
            period.seconds();
    }
}

long double RunningTimes::days(int slot, int32_t pictures, long double (*byCount)(int32_t)) const {
    if (!timed_[slot]) return byCount(pictures);
    return timedSeconds_[slot] / kSecondsPerDayExtended + byCount(untimedPictures_[slot]);
}

std::string frameCountLine(Form& form, int slot, int32_t pictures, long double days) {
    return std::to_string(pictures) + " frames (" +
           form.clock().formatLongTime(static_cast<double>(days)) + " s) count in video stream " +
           std::to_string(slot) + ".";
}

}  // namespace morvale
