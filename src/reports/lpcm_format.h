// SPDX-License-Identifier: MIT
#pragma once

// Linear PCM in private stream 1 (sub-streams 0xA0-0xA7): the three header bytes that
// follow the sub-stream id, the number of frame headers and the first access unit pointer,
// and the byte layout of the samples after them.
//
//   byte 0  audio_emphasis_flag (1), audio_mute_flag (1), reserved (1), audio_frame_number (5)
//   byte 1  quantization_word_length (2), audio_sampling_frequency (2), reserved (1),
//           number_of_audio_channels minus 1 (3)
//   byte 2  dynamic_range_control

#include <array>
#include <cstdint>
#include <optional>

namespace morvale {

// DVD-Video (VOB) and HD DVD (EVO) carry the same header but lay out the samples of 20- and
// 24-bit streams differently, and HD DVD adds 192 kHz.
enum class LpcmLayout : uint8_t {
    // 16 bits: big-endian samples, channels interleaved. 20 and 24 bits: two sample frames
    // at a time, cut into groups of four samples (two for mono): the upper 16 bits of each
    // sample of the group big-endian, then the low bits (24 bits: one byte per sample;
    // 20 bits: one nibble per sample, the first sample in the high nibble).
    Dvd,
    // Big-endian samples, channels interleaved: two bytes for 16 bits, three for 20 and 24
    // bits (20-bit samples in the upper 20 bits of the three bytes).
    HdDvd,
};

struct LpcmFormat {
    int bitsPerSample = 16;  // 16, 20 or 24
    int sampleRate = 48000;
    int channels = 2;  // 1-8
    bool emphasis = false;
    bool mute = false;
    int frameNumber = 0;
    uint8_t dynamicRange = 0x80;

    friend bool operator==(const LpcmFormat&, const LpcmFormat&) = default;
};

// Decodes the three header bytes; nothing when the word length or sampling frequency code
// is reserved for the layout.
std::optional<LpcmFormat> decodeLpcmHeader(const std::array<uint8_t, 3>& header, LpcmLayout layout);

// The bytes of one sample frame of every channel in the layout, and the bytes of the unit
// that is laid out as a whole (two sample frames for DVD 20 and 24 bits, one otherwise).
int lpcmBlockBytes(const LpcmFormat& format, LpcmLayout layout);
int lpcmFramesPerBlock(const LpcmFormat& format, LpcmLayout layout);

}  // namespace morvale
