// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace morvale {

// The presentation times of one stream in one run of the engine (one file), from the PES
// headers of the stream's own packets. Times are the low 32 bits of the PTS; the
// earliest and latest are kept as distances from the first, so a clock that wraps past
// 2^32 during the file still orders them.
struct StreamTimes {
    bool seen = false;      // a packet of the stream carried a PTS
    uint32_t firstPts = 0;  // of its first packet with a PTS, in file order
    int64_t earliest = 0;   // the smallest PTS less firstPts (0 or below)
    int64_t latest = 0;     // the largest PTS less firstPts (0 or above)

    void take(uint32_t pts) {
        if (!seen) {
            seen = true;
            firstPts = pts;
            return;
        }
        // The shorter way round the 2^32 wrap.
        const auto distance = static_cast<int64_t>(static_cast<int32_t>(pts - firstPts));
        if (distance < earliest) earliest = distance;
        if (distance > latest) latest = distance;
    }
    uint32_t minPts() const { return firstPts + static_cast<uint32_t>(earliest); }
    uint32_t maxPts() const { return firstPts + static_cast<uint32_t>(latest); }
};

// The three bytes that follow the first access unit pointer in an LPCM sub-stream header
// (word length, sampling frequency, channels...), from the first packet of the stream.
using LpcmHeaderBytes = std::array<uint8_t, 3>;

}  // namespace morvale
