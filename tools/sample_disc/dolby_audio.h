#pragma once

// Dolby Digital (ATSC A/52) and Dolby Digital Plus (A/52 Annex E) syncframes for the sample
// disc: encoded by ffmpeg from a sine tone when ffmpeg can be run, otherwise synthesised here
// as silent frames whose headers, audio blocks and CRC words are all valid.

#include <span>
#include <string>
#include <vector>

#include "access_unit.h"

namespace morvale::sample {

// 1,536 samples at 48 kHz: one syncframe of six audio blocks, in 90 kHz units.
inline constexpr uint64_t kSyncframeTicks = 2880;

struct AudioFormat {
    bool enhanced;    // E-AC-3 (Dolby Digital Plus) rather than AC-3
    int channels;     // 2 (2/0) or 6 (3/2 with LFE)
    int bitRateKbps;  // an AC-3 rate: 192, 384, 448, 640...
    int toneHz;       // the sine tone ffmpeg encodes
};

enum class AudioOrigin { Ffmpeg, Synthesised };

// Encodes `frames` syncframes of the format's tone with the ffmpeg found on PATH. Returns
// nothing when ffmpeg cannot be run or delivers fewer frames than asked.
std::optional<std::vector<Bytes>> encodeWithFfmpeg(const AudioFormat& format, int frames);

// `frames` silent syncframes (all alike).
std::vector<Bytes> synthesiseSyncframes(const AudioFormat& format, int frames);

// Cuts an AC-3 / E-AC-3 elementary stream into its syncframes by the sizes their headers
// give (48 kHz streams); stops at the first byte that does not start a whole syncframe.
std::vector<Bytes> splitSyncframes(std::span<const uint8_t> stream);

// The CRC of A/52 (x^16 + x^15 + x^2 + 1, most significant bit first, initial value 0).
uint16_t a52Crc(std::span<const uint8_t> bytes, uint16_t crc = 0);

}  // namespace morvale::sample
