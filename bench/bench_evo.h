#pragma once

// The benchmark EVO: an HD DVD program stream of 2,048-byte packs made with the test
// program-stream builder, mixed the way a feature is. By share of packs:
//   VC-1 video (0xFD, stream_id_extension 0x55)      about 80 %
//   LPCM, 16-bit stereo (private stream 1, 0xA1)     about 8 %
//   Dolby Digital Plus 640 kbit/s (0xC0)             about 4.3 %
//   DTS 768 kbit/s (0x8A)                            about 4 %
//   subpictures 0x20 and 0x21                        about 1 %
//   navigation packs (system header, private stream 2) and padding packs, the rest.
// The VC-1 stream is an advanced-profile elementary stream: a sequence header and an entry
// point per group of 12 frames, frames of 60 KiB on average (I frames larger), field and
// slice start codes inside frames, zero-byte stuffing before start codes and escaped runs of
// zeros (00 00 03 ...) in otherwise entropy-coded bytes, as encoders write them.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace morvale::bench {

using Bytes = std::vector<uint8_t>;

// A small, fast generator (xorshift64*): the content is the same for the same seed.
class Random {
  public:
    explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }
    // A value in [low, high].
    uint64_t between(uint64_t low, uint64_t high) { return low + next() % (high - low + 1); }

  private:
    uint64_t state_;
};

// The endless VC-1 elementary stream of the benchmark EVO.
class Vc1Stream {
  public:
    explicit Vc1Stream(uint64_t seed);
    // The next n bytes of the stream; firstFrame receives the number of the first frame
    // whose start code 00 00 01 0D lies wholly inside them, or -1.
    Bytes take(size_t n, int64_t* firstFrame = nullptr);

  private:
    void appendFrame();
    void appendStartCode(uint8_t code);
    void appendCodedBytes(size_t n);

    Random random_;
    Bytes pending_;
    size_t consumed_ = 0;
    struct FrameStart {
        size_t offset;  // in pending_
        int64_t index;
    };
    std::vector<FrameStart> frameStarts_;
    int64_t frames_ = 0;
};

// Writes packCount packs of the benchmark EVO through sink, in pieces of whole packs.
void makeBenchEvo(uint64_t packCount, uint64_t seed,
                  const std::function<void(std::span<const uint8_t>)>& sink);

// The same packs in memory (for micro-benchmarks).
Bytes benchEvoBytes(uint64_t packCount, uint64_t seed);

}  // namespace morvale::bench
