// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "commands/command_host.h"
#include "commands/feature_files.h"
#include "engine/stream_kinds.h"

namespace morvale {

// A picture count as a running time in days (a date-time), computed in extended precision.
// Read EVO takes 1,001/24,000 s per picture, Demux 1/23.976 s: near a whole second the two
// can show different seconds, so each command keeps its own.
long double readEvoRunningDays(int32_t pictures);
long double demuxRunningDays(int32_t pictures);

// The running time of each video slot over the parts of a run, from the stream's own
// timestamps: per part, its latest PTS less its earliest plus one frame period (from the
// stream's sequence header; film's when it gives none), summed over the parts, so Read EVO
// and Demux show the same. A part in which the stream carried no PTS counts its pictures at
// the command's own rate, and so does a run in which it never did.
class RunningTimes {
  public:
    void addPart(const PartScan& part);
    // The slot's running time in days (a date-time); byCount is the command's own rate.
    long double days(int slot, int32_t pictures, long double (*byCount)(int32_t)) const;

  private:
    std::array<bool, kVideoSlots> timed_{};
    std::array<long double, kVideoSlots> timedSeconds_{};
    std::array<int32_t, kVideoSlots> untimedPictures_{};
};

// The pictures counted in each video slot over the parts; none at all when a part was
// interrupted (Cancel or the fast-check limit): such counts are never shown.
std::array<int32_t, kVideoSlots> featurePictures(const std::vector<ScannedPart>& parts);

// "<count> frames (<time of day in the long time format> s) count in video stream <slot>."
std::string frameCountLine(Clock& clock, int slot, int32_t pictures, long double days);

// The frame-count line of each video slot with pictures; Read EVO adds an empty line after
// them.
void logFrameCounts(CommandHost& host, const std::vector<ScannedPart>& parts,
                    long double (*byCount)(int32_t), bool blankAfter);

}  // namespace morvale
