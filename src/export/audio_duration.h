// SPDX-License-Identifier: MIT
#pragma once

// How long a demuxed audio elementary stream plays: its access units, each as long as its
// header says (A/52 and A/52 Annex E syncframes, DTS core frames, MLP/TrueHD access units).
// A program such as mkvmerge that gives raw streams their timestamps from their content
// starts a file appended to a track where the previous file's units ended; joining the
// parts of a feature in sync needs the same count.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "reports/audio_headers.h"

namespace morvale {

enum class AudioCoding { DolbyDigital, DolbyDigitalPlus, Dts, TrueHd, MpegAudio };

// Walks the units of a stream fed in pieces of any size.
class AudioUnitCounter {
  public:
    explicit AudioUnitCounter(AudioCoding coding) : coding_(coding) {}

    void feed(std::span<const uint8_t> bytes);

    // Samples of the units walked so far, at sampleRate(); units whose header is damaged
    // are passed over by a search for the next sync word.
    int64_t samples() const { return samples_; }
    int sampleRate() const { return sampleRate_; }
    int64_t units() const { return units_; }
    // The duration in 90 kHz units, rounded; nothing before the first unit.
    std::optional<int64_t> durationTicks() const;
    // Where the last unit walked ends, in bytes from the first byte fed.
    uint64_t lastUnitEnd() const { return lastUnitEnd_; }
    // Called after each unit is counted.
    std::function<void()> afterUnit;

  private:
    // Counts the unit at `header` and returns its length; 0 when no unit starts there.
    size_t countUnitAt(const uint8_t* header, uint64_t at);

    static constexpr size_t kHeaderBytes = 16;
    AudioCoding coding_;
    std::vector<uint8_t> pending_;  // the start of a header split between pieces
    uint64_t skip_ = 0;             // bytes of the current unit still to pass over
    uint64_t fed_ = 0;              // bytes fed before the current piece
    uint64_t lastUnitEnd_ = 0;
    int64_t samples_ = 0;
    int64_t units_ = 0;
    int sampleRate_ = 0;
    bool locked_ = false;      // MLP/TrueHD: walking unit by unit from a major sync
    int64_t unitSamples_ = 0;  // MLP/TrueHD: samples per unit, as the last major sync says
};

// The duration of a stream file, read in large pieces. Throws FileError when it cannot be
// read.
std::optional<int64_t> audioFileDurationTicks(const std::string& path, AudioCoding coding);

// Cuts a stream file after its last whole unit that ends no later than `maxTicks` from its
// start; returns the duration it keeps. Throws FileError when it cannot be read or cut.
int64_t trimAudioFile(const std::string& path, AudioCoding coding, int64_t maxTicks);

}  // namespace morvale
