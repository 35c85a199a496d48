// SPDX-License-Identifier: MIT
#include "reports/video_headers.h"

#include <algorithm>
#include <array>
#include <limits>

namespace morvale {

namespace {

// MPEG-1/MPEG-2 frame_rate_code 1-8.
// clang-format off
constexpr std::array<FramePeriod, 9> kMpegFramePeriods = {
    {{0, 1}, {1001, 24000}, {1, 24}, {1, 25}, {1001, 30000}, {1, 30}, {1, 50}, {1001, 60000}, {1, 60}}};
// clang-format on
constexpr uint32_t kSequenceExtensionId = 1;

// SMPTE 421M FRAMERATENR 1-7 and FRAMERATEDR 1-2; entry 0 is the forbidden code.
constexpr std::array<uint32_t, 8> kVc1RateNumerators = {0,     24000, 25000, 30000,
                                                        50000, 60000, 48000, 72000};
constexpr std::array<uint32_t, 3> kVc1RateDenominators = {0, 1000, 1001};
constexpr uint8_t kVc1ExplicitAspect = 15;

constexpr uint32_t kH264Chroma444 = 3;
// The profiles whose parameter sets carry chroma_format_idc and the fields after it.
constexpr std::array<uint32_t, 13> kH264ChromaProfiles = {100, 110, 122, 244, 44,  83, 86,
                                                          118, 128, 138, 139, 134, 135};

// An SMPTE 421M size field: the size is `scale` times the value plus one, in pixels.
uint16_t pixels(BitReader& r, int bits, int scale) {
    return static_cast<uint16_t>(scale * (r.bits(bits) + 1));
}

// FRAMERATEIND, then FRAMERATEEXP (16 bits) or FRAMERATENR (8) and FRAMERATEDR (4). A header
// that ends right after FRAMERATEDR and COLOR_FORMAT_FLAG and HRD_PARAM_FLAG (the usual
// HD DVD header, 12 bytes) still has its rate.
Vc1FrameRate readVc1FrameRate(BitReader& r) {
    Vc1FrameRate rate;
    rate.explicitRate = r.flag();
    if (rate.explicitRate) {
        rate.exponent = static_cast<uint16_t>(r.bits(16));
        return rate;
    }
    rate.numeratorCode = static_cast<uint8_t>(r.bits(8));
    rate.denominatorCode = static_cast<uint8_t>(r.bits(4));
    if (rate.numeratorCode < kVc1RateNumerators.size()) {
        rate.numerator = kVc1RateNumerators[rate.numeratorCode];
    }
    if (rate.denominatorCode < kVc1RateDenominators.size()) {
        rate.denominator = kVc1RateDenominators[rate.denominatorCode];
    }
    return rate;
}

// The fields DISPLAY_EXT brings.
void readVc1Display(BitReader& r, Vc1SequenceHeader& h) {
    const uint16_t width = pixels(r, 14, 1);
    if (!h.reached(r, Vc1SequencePart::DisplayWidth)) return;
    h.displayWidth = width;
    const uint16_t height = pixels(r, 14, 1);
    const bool aspectFlag = r.flag();
    const uint8_t aspect = aspectFlag ? static_cast<uint8_t>(r.bits(4)) : 0;
    if (!h.reached(r, Vc1SequencePart::DisplayHeight)) return;
    h.displayHeight = height;
    if (aspectFlag) h.aspectRatio = aspect;
    if (aspect == kVc1ExplicitAspect) {
        h.aspectWidth = static_cast<uint8_t>(r.bits(8));
        h.aspectHeight = static_cast<uint8_t>(r.bits(8));
    }
    const bool rateFlag = r.flag();
    const Vc1FrameRate rate = rateFlag ? readVc1FrameRate(r) : Vc1FrameRate{};
    // The log has always shown a rate of the code form once the four bits after FRAMERATEDR
    // were read too; a header that ends before them (the usual 12-byte header of HD DVD ends
    // two bits after FRAMERATEDR) has its rate all the same.
    const bool rateRead = !r.overrun();
    if (rateFlag && !rate.explicitRate) r.skip(4);
    if (rateRead && r.overrun() && !r.cut()) {
        h.read = Vc1SequencePart::Whole;
    } else if (!h.reached(r, Vc1SequencePart::Whole)) {
        return;
    }
    if (!rateFlag) return;
    h.frameRate = rate;
    if (h.profile != kVc1AdvancedProfile) return;
    if (rate.explicitRate) h.framePeriod = FramePeriod{32, rate.exponent + 1u};
    if (rate.numerator != 0 && rate.denominator != 0) {
        h.framePeriod = FramePeriod{rate.denominator, rate.numerator};
    }
}

void skipScalingList(BitReader& r, int size) {
    int32_t last = 8, next = 8;
    for (int k = 0; k < size && !r.overrun(); ++k) {
        if (next != 0) next = (last + r.signedGolomb() + 256) % 256;
        last = next == 0 ? last : next;
    }
}

void readH264Chroma(BitReader& r, H264SequenceParameters& p) {
    p.chromaFormatIdc = static_cast<uint8_t>(std::min<uint32_t>(r.unsignedGolomb(), 255));
    if (p.chromaFormatIdc == kH264Chroma444) p.separateColourPlane = r.flag();
    r.unsignedGolomb();                                  // bit_depth_luma_minus8
    r.unsignedGolomb();                                  // bit_depth_chroma_minus8
    r.skip(1);                                           // qpprime_y_zero_transform_bypass_flag
    if (r.flag()) {                                      // seq_scaling_matrix_present_flag
        for (int k = 0; k < (p.chromaFormatIdc == kH264Chroma444 ? 12 : 8); ++k)
            if (r.flag()) skipScalingList(r, k < 6 ? 16 : 64);
    }
}

void readH264FrameNumbering(BitReader& r, H264SequenceParameters& p) {
    p.log2MaxFrameNum = static_cast<uint8_t>(std::min<uint32_t>(r.unsignedGolomb(), 12) + 4);
    const uint32_t orderType = r.unsignedGolomb();
    p.pocType = static_cast<uint8_t>(std::min<uint32_t>(orderType, 3));
    if (orderType == 0) {
        p.log2MaxPocLsb = static_cast<uint8_t>(std::min<uint32_t>(r.unsignedGolomb(), 12) + 4);
    }
    if (orderType == 1) {
        r.skip(1);
        r.signedGolomb();
        r.signedGolomb();
        const uint32_t cycle = r.unsignedGolomb();
        for (uint32_t k = 0; k < cycle && !r.overrun(); ++k)
            r.signedGolomb();
    }
    r.unsignedGolomb();  // max_num_ref_frames
    r.skip(1);           // gaps_in_frame_num_value_allowed_flag
}

// Macroblocks (16 samples) less the cropping, which counts in units of `cropUnit` samples.
uint32_t croppedSize(uint64_t macroblocks, uint64_t crop, uint64_t cropUnit) {
    const uint64_t full = macroblocks * 16, cut = crop * cropUnit;
    return static_cast<uint32_t>(
        std::min<uint64_t>(cut < full ? full - cut : 0, std::numeric_limits<uint32_t>::max()));
}

void readH264Size(BitReader& r, H264SequenceParameters& p) {
    const uint64_t widthMbs = uint64_t{r.unsignedGolomb()} + 1;
    const uint64_t heightMapUnits = uint64_t{r.unsignedGolomb()} + 1;
    p.frameMbsOnly = r.flag();
    r.skip(p.frameMbsOnly ? 1 : 2);  // mb_adaptive_frame_field_flag, direct_8x8_inference_flag
    std::array<uint64_t, 4> crop{};  // left, right, top, bottom
    if (r.flag()) {
        for (uint64_t& c : crop)
            c = r.unsignedGolomb();
    }
    const uint64_t rowsPerUnit = p.frameMbsOnly ? 1 : 2;
    const bool subsampled = p.chromaFormatIdc == 1 || p.chromaFormatIdc == 2;
    p.width = croppedSize(widthMbs, crop[0] + crop[1], subsampled ? 2 : 1);
    p.height = croppedSize(heightMapUnits * rowsPerUnit, crop[2] + crop[3],
                           (p.chromaFormatIdc == 1 ? 2 : 1) * rowsPerUnit);
}

// vui_parameters up to timing_info.
void readH264Timing(BitReader& r, H264SequenceParameters& p) {
    if (r.flag() && r.bits(8) == 255) r.skip(32);  // aspect_ratio_info, Extended_SAR
    if (r.flag()) r.skip(1);                       // overscan_info
    if (r.flag()) r.skip(r.bits(5) & 1 ? 24 : 0);  // video_signal_type, colour_description
    if (r.flag()) {                                // chroma_loc_info_present_flag
        r.unsignedGolomb();
        r.unsignedGolomb();
    }
    if (!r.flag()) return;  // timing_info_present_flag
    const uint32_t unitsInTick = r.bits(32), timeScale = r.bits(32);
    if (unitsInTick == 0 || timeScale == 0 || unitsInTick > 0x7FFFFFFF) return;
    p.framePeriod = FramePeriod{2 * unitsInTick, timeScale};
}

}  // namespace

MpegVideoSequence readMpegVideoSequence(std::span<const uint8_t> bytes) {
    MpegVideoSequence s;
    BitReader r(bytes);
    s.width = static_cast<uint16_t>(r.bits(12));
    s.height = static_cast<uint16_t>(r.bits(12));
    if (!s.reached(r, MpegSequencePart::Size)) return s;
    s.aspectRatio = static_cast<uint8_t>(r.bits(4));
    s.frameRateCode = static_cast<uint8_t>(r.bits(4));
    if (!s.reached(r, MpegSequencePart::Rates)) return s;
    if (s.frameRateCode != 0 && s.frameRateCode < kMpegFramePeriods.size()) {
        s.framePeriod = kMpegFramePeriods[s.frameRateCode];
    }
    s.bitRateValue = r.bits(18);
    s.reached(r, MpegSequencePart::Whole);
    return s;
}

MpegSequenceExtension readMpegSequenceExtension(std::span<const uint8_t> bytes) {
    MpegSequenceExtension e;
    BitReader r(bytes);
    if (r.bits(4) != kSequenceExtensionId) {  // extension_start_code_identifier
        e.cut = r.cut();
        return e;
    }
    e.profileAndLevel = static_cast<uint8_t>(r.bits(8));
    e.progressive = r.flag();
    e.chromaFormat = static_cast<uint8_t>(r.bits(2));
    e.reached(r, WholePart::Whole);
    return e;
}

Vc1SequenceHeader readVc1SequenceHeader(std::span<const uint8_t> bytes) {
    Vc1SequenceHeader h;
    BitReader r(bytes, BitReader::Layout::Unit);
    h.profile = static_cast<uint8_t>(r.bits(2));
    h.level = static_cast<uint8_t>(r.bits(3));
    h.colorDiffFormat = static_cast<uint8_t>(r.bits(2));
    if (!h.reached(r, Vc1SequencePart::Profile)) return h;
    r.skip(3 + 5 + 1);  // FRMRTQ_POSTPROC, BITRTQ_POSTPROC, POSTPROCFLAG
    h.codedWidth = pixels(r, 12, 2);
    h.codedHeight = pixels(r, 12, 2);
    if (!h.reached(r, Vc1SequencePart::CodedSize)) return h;
    h.pulldown = r.flag();
    h.interlace = r.flag();
    r.skip(4);  // TFCNTRFLAG, FINTERPFLAG, a reserved bit, PSF
    const bool displayExtension = r.flag();
    if (!h.reached(r, Vc1SequencePart::Flags)) return h;
    if (displayExtension) {
        readVc1Display(r, h);
    } else {
        h.read = Vc1SequencePart::Whole;
    }
    return h;
}

H264SequenceParameters readH264SequenceParameters(std::span<const uint8_t> bytes) {
    H264SequenceParameters p;
    BitReader r(bytes, BitReader::Layout::Unit);
    p.profileIdc = static_cast<uint8_t>(r.bits(8));
    if (!p.reached(r, H264SequencePart::Profile)) return p;
    p.constraintFlags = static_cast<uint8_t>(r.bits(8));
    p.levelIdc = static_cast<uint8_t>(r.bits(8));
    if (!p.reached(r, H264SequencePart::Level)) return p;
    p.spsId = r.unsignedGolomb();
    if (std::find(kH264ChromaProfiles.begin(), kH264ChromaProfiles.end(), p.profileIdc) !=
        kH264ChromaProfiles.end()) {
        readH264Chroma(r, p);
    }
    readH264FrameNumbering(r, p);
    readH264Size(r, p);
    if (r.flag()) readH264Timing(r, p);  // vui_parameters_present_flag
    if (!p.reached(r, H264SequencePart::Whole)) p.framePeriod.reset();
    return p;
}

}  // namespace morvale
