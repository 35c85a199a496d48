// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "reports/header_reading.h"

// The sequence headers of the video codecs, read from the byte after the start code on.

namespace morvale {

// How long one picture of a video stream is shown: numerator / denominator seconds.
struct FramePeriod {
    uint32_t numerator = 0;
    uint32_t denominator = 1;

    long double seconds() const {
        return static_cast<long double>(numerator) / static_cast<long double>(denominator);
    }
    friend bool operator==(const FramePeriod&, const FramePeriod&) = default;
};
// What a stream's sequence header gives when it gives no frame rate: 23.976 pictures per
// second, the rate of film on HD DVD.
inline constexpr FramePeriod kFilmFramePeriod{1001, 24000};

// The sequence_header of ISO/IEC 11172-2 and 13818-2 (00 00 01 B3) up to bit_rate_value.
enum class MpegSequencePart { None, Size, Rates, Whole };
struct MpegVideoSequence : HeaderProgress<MpegSequencePart> {
    uint16_t width = 0;  // horizontal_size_value and vertical_size_value
    uint16_t height = 0;
    uint8_t aspectRatio = 0;  // aspect_ratio_information
    uint8_t frameRateCode = 0;
    uint32_t bitRateValue = 0;  // in 400 bit/s
    // From frame_rate_code 1-8; none for the forbidden 0 and the reserved 9-15.
    std::optional<FramePeriod> framePeriod;
};
MpegVideoSequence readMpegVideoSequence(std::span<const uint8_t> bytes);

// The sequence_extension of ISO/IEC 13818-2 (00 00 01 B5 with identifier 1) up to
// chroma_format; nothing (None, not cut) for an extension of another kind.
struct MpegSequenceExtension : HeaderProgress<WholePart> {
    uint8_t profileAndLevel = 0;  // escape bit, profile (3 bits), level (4 bits)
    bool progressive = false;     // progressive_sequence
    uint8_t chromaFormat = 0;     // 1 4:2:0, 2 4:2:2, 3 4:4:4
};
MpegSequenceExtension readMpegSequenceExtension(std::span<const uint8_t> bytes);

// SMPTE 421M FRAMERATEIND 0: the FRAMERATENR and FRAMERATEDR codes and the frames per
// 1,000 or 1,001 s they stand for (0 for the forbidden code 0 and the reserved codes);
// FRAMERATEIND 1: FRAMERATEEXP, (exponent + 1) / 32 frames per second.
struct Vc1FrameRate {
    bool explicitRate = false;
    uint8_t numeratorCode = 0;    // 1-7
    uint8_t denominatorCode = 0;  // 1-2
    uint32_t numerator = 0;
    uint32_t denominator = 0;
    uint16_t exponent = 0;
};

// The SMPTE 421M advanced-profile sequence header (00 00 01 0F) up to the frame rate: PROFILE
// to COLORDIFF_FORMAT, the coded size, PULLDOWN to DISPLAY_EXT, DISP_HORIZ_SIZE, DISP_VERT_SIZE
// to ASPECT_RATIO, the rest.
enum class Vc1SequencePart { None, Profile, CodedSize, Flags, DisplayWidth, DisplayHeight, Whole };
inline constexpr uint8_t kVc1AdvancedProfile = 3;
struct Vc1SequenceHeader : HeaderProgress<Vc1SequencePart> {
    uint8_t profile = 0;
    uint8_t level = 0;
    uint8_t colorDiffFormat = 0;  // 1: 4:2:0
    uint16_t codedWidth = 0;      // in pixels
    uint16_t codedHeight = 0;
    bool pulldown = false;
    bool interlace = false;
    std::optional<uint16_t> displayWidth;  // with DISPLAY_EXT, in pixels
    std::optional<uint16_t> displayHeight;
    std::optional<uint8_t> aspectRatio;  // 15: aspectWidth:aspectHeight
    uint8_t aspectWidth = 0;
    uint8_t aspectHeight = 0;
    std::optional<Vc1FrameRate> frameRate;
    std::optional<FramePeriod> framePeriod;  // an advanced-profile header's, from its rate
};
Vc1SequenceHeader readVc1SequenceHeader(std::span<const uint8_t> bytes);

// A sequence parameter set of ISO/IEC 14496-10 (the byte after its NAL unit header on), up
// to the VUI's timing_info.
enum class H264SequencePart { None, Profile, Level, Whole };
struct H264SequenceParameters : HeaderProgress<H264SequencePart> {
    uint8_t profileIdc = 0;
    uint8_t constraintFlags = 0;  // constraint_set0_flag in the top bit
    uint8_t levelIdc = 0;
    uint8_t chromaFormatIdc = 1;  // 1: 4:2:0
    uint32_t width = 0;           // luma samples after the cropping
    uint32_t height = 0;
    bool frameMbsOnly = false;  // frames only: no field coding
    // num_units_in_tick / time_scale is a field; a frame lasts two.
    std::optional<FramePeriod> framePeriod;
    // What a slice header needs to be read: the set's id, the sizes of frame_num and
    // pic_order_cnt_lsb, the picture order count type.
    uint32_t spsId = 0;
    bool separateColourPlane = false;
    uint8_t log2MaxFrameNum = 4;
    uint8_t pocType = 0;
    uint8_t log2MaxPocLsb = 4;
};
H264SequenceParameters readH264SequenceParameters(std::span<const uint8_t> bytes);

}  // namespace morvale
