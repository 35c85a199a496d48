#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace morvale::sample {

using Bytes = std::vector<uint8_t>;

// One access unit of an elementary stream (a video frame, an audio syncframe, a subpicture
// unit) with its timestamps in 90 kHz units.
struct AccessUnit {
    Bytes bytes;
    uint64_t pts = 0;
    std::optional<uint64_t> dts;  // only where it differs from the PTS
};

// The 90 kHz clock and the film frame rate of the disc.
inline constexpr uint64_t kClock = 90000;
inline constexpr uint64_t kFrameRateNumerator = 24000;
inline constexpr uint64_t kFrameRateDenominator = 1001;

// The time of video frame n (n >= 0) from the start of the feature, rounded to the clock.
constexpr uint64_t frameTime(uint64_t n) {
    return (n * kClock * kFrameRateDenominator + kFrameRateNumerator / 2) / kFrameRateNumerator;
}

// A small deterministic generator (xorshift32) for sizes and payload bytes.
class Xorshift {
  public:
    explicit Xorshift(uint32_t seed) : state_(seed == 0 ? 0x9E3779B9u : seed) {}
    uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }

  private:
    uint32_t state_;
};

}  // namespace morvale::sample
