#include "commands/frame_summary.h"

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

std::string frameCountLine(Form& form, int slot, int32_t pictures, long double days) {
    return std::to_string(pictures) + " frames (" + form.clock().formatLongTime(static_cast<double>(days)) +
           " s) count in video stream " + std::to_string(slot) + ".";
}

}  // namespace morvale
