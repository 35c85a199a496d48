// SPDX-License-Identifier: MIT
#include "reports/lpcm_format.h"

namespace morvale {

namespace {

constexpr std::array<int, 4> kWordLengths = {16, 20, 24, 0};
// DVD-Video defines 48 and 96 kHz; HD DVD adds 192 kHz.
constexpr std::array<int, 4> kDvdRates = {48000, 96000, 0, 0};
constexpr std::array<int, 4> kHdDvdRates = {48000, 96000, 192000, 0};

}  // namespace

std::optional<LpcmFormat> decodeLpcmHeader(const std::array<uint8_t, 3>& header,
                                           LpcmLayout layout) {
    const std::array<int, 4>& rates = layout == LpcmLayout::Dvd ? kDvdRates : kHdDvdRates;
    LpcmFormat format;
    format.emphasis = (header[0] & 0x80) != 0;
    format.mute = (header[0] & 0x40) != 0;
    format.frameNumber = header[0] & 0x1F;
    format.bitsPerSample = kWordLengths[header[1] >> 6];
    format.sampleRate = rates[(header[1] >> 4) & 0x03];
    format.channels = (header[1] & 0x07) + 1;
    format.dynamicRange = header[2];
    if (format.bitsPerSample == 0 || format.sampleRate == 0) return std::nullopt;
    return format;
}

int lpcmFramesPerBlock(const LpcmFormat& format, LpcmLayout layout) {
    return layout == LpcmLayout::Dvd && format.bitsPerSample > 16 ? 2 : 1;
}

int lpcmBlockBytes(const LpcmFormat& format, LpcmLayout layout) {
    const int frames = lpcmFramesPerBlock(format, layout);
    if (layout == LpcmLayout::HdDvd) return format.channels * (format.bitsPerSample > 16 ? 3 : 2);
    return frames * format.channels * format.bitsPerSample / 8;
}

}  // namespace morvale
