// SPDX-License-Identifier: MIT
#include <array>
#include <string>
#include <string_view>

#include "reports/picture_start_codes.h"
#include "reports/report_text.h"
#include "reports/reports.h"
#include "reports/video_headers.h"

// The first sequence_header of ISO/IEC 13818-2 and its sequence_extension, the pictures
// before it, pictures of an illegal type, and the first video timestamp.

namespace morvale {
namespace {

constexpr uint8_t kPictureStartCode = kMpeg2PictureStartCode & 0xFF;
constexpr uint8_t kSequenceHeaderCode = 0xB3;
constexpr uint8_t kExtensionStartCode = 0xB5;
constexpr uint32_t kPictureCodingExtensionId = 8;
constexpr size_t kPictureCodingTypeByte = 1;        // after 10 bits of temporal_reference
constexpr size_t kPictureCodingExtensionBytes = 5;  // its 34 bits
constexpr int kTimestampPictures = 2;
constexpr uint32_t kBitRateUnit = 400;  // bit/s per unit of bit_rate_value
// picture_coding_type 1-3 are I, P and B; 4 (D pictures) belongs to MPEG-1 only.
constexpr uint32_t kLastPictureType = 3;

// aspect_ratio_information and frame_rate_code -> text; the codes after these are reserved.
constexpr std::array<std::string_view, 5> kAspectTexts = {"forbidden", "square samples", "4:3",
                                                          "16:9", "2.21:1"};
constexpr std::array<std::string_view, 9> kFrameRateTexts = {
    "forbidden", "23.976", "24", "25", "29.97", "30", "50", "59.94", "60"};

template <size_t N>
std::string codeText(const std::array<std::string_view, N>& texts, uint8_t code) {
    return std::string(code < N ? texts[code] : "reserved");
}

// The header's own lines.
void reportSequenceHeader(const MpegVideoSequence& s, MessageLog& log) {
    if (s.has(MpegSequencePart::Size)) {
        log.log("   size = " + std::to_string(s.width) + "x" + std::to_string(s.height));
    }
    if (s.has(MpegSequencePart::Rates)) {
        log.log("   Aspect ratio = " + codeText(kAspectTexts, s.aspectRatio));
        log.log("   Frame rate = " + codeText(kFrameRateTexts, s.frameRateCode));
    }
    if (s.whole()) {
        log.log("  Sequence header bitrate = " + std::to_string(s.bitRateValue * kBitRateUnit) +
                " bps");
    }
}

}  // namespace

// Sequence headers are shown until a sequence extension has been; the timestamp waits for
// the second picture after the first header.
void ReportMpeg2Video(std::span<const uint8_t> piece, uint32_t pts, MessageLog& log) {
    uint32_t picturesBeforeSequence = 0;
    bool sequenceSeen = false, reportDone = false;
    int timestampPictures = 0;
    forEachStartCode(piece, [&](uint8_t code, std::span<const uint8_t> rest) {
        if (code == kPictureStartCode && rest.size() > kPictureCodingTypeByte) {
            const uint32_t type = (rest[kPictureCodingTypeByte] >> 3) & 0x07;
            if (type == 0 || type > kLastPictureType) {
                log.log("   illegal picture_coding_type = " + std::to_string(type));
            }
        } else if (code == kSequenceHeaderCode) {
            if (!sequenceSeen) {
                log.log("   Sequence Header found");
                log.log("   " + std::to_string(picturesBeforeSequence) +
                        " frames before first Sequence Header");
                sequenceSeen = true;
                timestampPictures = kTimestampPictures;
            }
            picturesBeforeSequence = 0;
            if (!reportDone) reportSequenceHeader(readMpegVideoSequence(rest), log);
        } else if (code == kExtensionStartCode && !rest.empty()) {
            if (rest[0] >> 4 == kPictureCodingExtensionId) {
                ++picturesBeforeSequence;
                if (timestampPictures > 0 && rest.size() >= kPictureCodingExtensionBytes &&
                    --timestampPictures == 0) {
                    log.log("   First Video PTS = " + hexText(pts, 8));
                }
            } else if (const MpegSequenceExtension e = readMpegSequenceExtension(rest);
                       !reportDone && e.whole()) {
                log.log("   Progressive Sequence = " + std::to_string(e.progressive ? 1 : 0));
                reportDone = true;
            }
        }
    });
}

}  // namespace morvale
