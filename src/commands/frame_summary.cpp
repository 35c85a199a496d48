// SPDX-License-Identifier: MIT
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

void RunningTimes::addPart(const PartScan& part) {
    constexpr long double kPtsPerSecond = 90000.0L;
    for (int slot = 0; slot < kVideoSlots; ++slot) {
        const ScannedStream* stream = part.owner(SlotKind::Video, slot);
        if (stream == nullptr || !stream->times.seen) {
            untimedPictures_[slot] += static_cast<int32_t>(std::max<int64_t>(0, part.pictures(slot)));
            continue;
        }
        const StreamTimes& times = stream->times;
        const FramePeriod period = stream->playPeriod();
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

std::array<int32_t, kVideoSlots> featurePictures(const std::vector<ScannedPart>& parts) {
    std::array<int32_t, kVideoSlots> counts{};
    for (const ScannedPart& part : parts) {
        if (part.scan.interrupted) return {};
        for (int slot = 0; slot < kVideoSlots; ++slot)
            counts[slot] += static_cast<int32_t>(part.scan.pictures(slot));
    }
    return counts;
}

std::string frameCountLine(Clock& clock, int slot, int32_t pictures, long double days) {
    return std::to_string(pictures) + " frames (" +
           clock.formatLongTime(static_cast<double>(days)) + " s) count in video stream " +
           std::to_string(slot) + ".";
}

void logFrameCounts(CommandHost& host, const std::vector<ScannedPart>& parts,
                    long double (*byCount)(int32_t), bool blankAfter) {
    RunningTimes times;
    for (const ScannedPart& part : parts)
        times.addPart(part.scan);
    const std::array<int32_t, kVideoSlots> counts = featurePictures(parts);
    for (int slot = 0; slot < kVideoSlots; ++slot) {
        if (counts[slot] > 0) {
            host.log(frameCountLine(host.clock(), slot, counts[slot],
                                    times.days(slot, counts[slot], byCount)));
        }
    }
    if (blankAfter && int64_t{counts[0]} + counts[1] > 0) host.log("");
}

}  // namespace morvale
