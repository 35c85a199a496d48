// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "platform/clock.h"

namespace morvale {

inline constexpr int64_t kProgressInterval = 0x400000;  // 4 MiB: progress and event pumping
inline constexpr int64_t kRepaintInterval = 0x4000000;  // 64 MiB
inline constexpr int64_t kMegabyte = 0x100000;

// Whether the position passed a multiple of the interval since the last one: progress points
// are crossings, not exact positions, so a short read (a source still being written) that
// moves every later block off the multiples does not end the progress and the event pumps.
constexpr bool crossedMultiple(int64_t before, int64_t after, int64_t interval) {
    return before / interval < after / interval;
}

// How far a run is, in whole units of the caller's choosing (MiB of a source, percent of a
// child process's work): what a progress bar shows.
struct ProgressAmount {
    int64_t done = 0;
    int64_t total = 0;
};

// The MiB read of a source and the MiB in all, as the progress text counts them.
constexpr ProgressAmount megabytesRead(int64_t position, int64_t size) {
    return {position / kMegabyte, size / kMegabyte};
}

// The progress of a run through a source, as status panel 1 shows it:
// "<MiB read>/<MiB in all> Mbytes, Remaining time: <time of day>". The remaining time scales
// the time spent since startDays by size / position, less the time spent, plus one second.
std::string progressText(int64_t position, int64_t size, double startDays, Clock& clock);

}  // namespace morvale
