// SPDX-License-Identifier: MIT
#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "reports/picture_start_codes.h"
#include "reports/report_text.h"
#include "reports/reports.h"
#include "reports/video_headers.h"

// The advanced-profile sequence header of SMPTE 421M, the frames before the first one, and
// the first video timestamp once the second frame after it has begun.

namespace morvale {
namespace {

constexpr uint8_t kSequenceStartCode = 0x0F;
constexpr uint8_t kFrameStartCode = kVc1FrameStartCode & 0xFF;
constexpr size_t kFrameHeaderBytes = 4;
constexpr int kTimestampFrames = 2;
constexpr uint8_t kHighestLevel = 4;
constexpr uint8_t kColorDiff420 = 1;

// ASPECT_RATIO -> sample aspect ratio.
// clang-format off
constexpr std::array<std::string_view, 16> kAspectTexts = {
    "unspecified", "1:1 (square samples)", "12:11 (704x576 4:3)", "10:11 (704x480 4:3)",
    "16:11 (704x576 16:9)", "40:33 (704x480 16:9)", "24:11 (352x576 4:3)", "20:11 (352x480 4:3)",
    "32:11 (352x576 16:9)", "80:33 (352x480 16:9)", "18:11 (48$576 4:3)", "15:11 (48$480 4:3)",
    "64:33 (528x576 16:9)", "160:99 (528x480 16:9)", "Reserved", ""};
// clang-format on

void reportFrameRate(const Vc1FrameRate& rate, char decimalSeparator, MessageLog& log) {
    if (rate.explicitRate) {
        log.log("   Frame Rate =" + rateText((rate.exponent + 1) / 32.0, decimalSeparator));
        return;
    }
    for (const auto& [code, value] :
         {std::pair<uint32_t, uint32_t>{rate.numeratorCode, rate.numerator},
          {rate.denominatorCode, rate.denominator}}) {
        if (value == 0) log.log(code == 0 ? "   Forbidden Frame Rate!" : "   Reserved Frame Rate!");
    }
    // Without a denominator there is no rate to show; the message above says why.
    if (rate.denominator == 0) return;
    const double fps = static_cast<double>(rate.numerator) / rate.denominator;
    log.log("   Frame Rate = " + rateText(fps, decimalSeparator) + " (" +
            std::to_string(rate.numerator) + "/" + std::to_string(rate.denominator) + ")");
}

// The lines of the fields read; whether they end with the frame rate, which is shown only
// behind an aspect ratio, as the log has always done.
bool reportHeader(const Vc1SequenceHeader& h, char decimalSeparator, MessageLog& log) {
    if (!h.has(Vc1SequencePart::Profile)) return false;
    log.log(h.profile == kVc1AdvancedProfile ? "   Advanced Profile" : "   Reserved Profile");
    log.log(h.level > kHighestLevel ? std::string("   Level = Reserved")
                                    : "   Level = " + std::to_string(h.level));
    log.log(h.colorDiffFormat == kColorDiff420 ? "   Chroma Format = 4:2:0"
                                               : "   Chroma Format = Reserved");
    if (!h.has(Vc1SequencePart::CodedSize)) return false;
    log.log("   Size = " + std::to_string(h.codedWidth) + "x" + std::to_string(h.codedHeight));
    if (!h.has(Vc1SequencePart::Flags)) return false;
    log.log(std::string("   Pulldown = ") + (h.pulldown ? "1" : "0"));
    log.log(std::string("   Interlace = ") + (h.interlace ? "1" : "0"));
    if (h.displayWidth) log.log("   Display Horizontal size = " + std::to_string(*h.displayWidth));
    if (h.displayHeight) log.log("   Display Vertical size = " + std::to_string(*h.displayHeight));
    if (!h.aspectRatio) return false;
    log.log("   Aspect ratio = " + std::string(kAspectTexts[*h.aspectRatio]));
    if (h.frameRate) reportFrameRate(*h.frameRate, decimalSeparator, log);
    return h.frameRate.has_value();
}

}  // namespace

void ReportVc1(std::span<const uint8_t> piece, uint64_t pts, char decimalSeparator,
               MessageLog& log) {
    uint32_t framesBeforeSequence = 0;
    bool sequenceSeen = false, reportDone = false;
    int timestampFrames = 0;  // the timestamp waits for the second frame after the header
    forEachStartCode(piece, [&](uint8_t code, std::span<const uint8_t> rest) {
        if (code == kFrameStartCode) {
            ++framesBeforeSequence;
            if (timestampFrames > 0 && rest.size() >= kFrameHeaderBytes && --timestampFrames == 0) {
                log.log("   First Video PTS = " + hexText(pts, 16));
            }
        } else if (code == kSequenceStartCode) {
            // Each sequence header is shown until one has shown its frame rate.
            if (!reportDone) log.log("   Sequence Header found");
            if (!sequenceSeen) {
                log.log("   " + std::to_string(framesBeforeSequence) +
                        " frames before first I-frame");
                sequenceSeen = true;
                timestampFrames = kTimestampFrames;
            }
            if (!reportDone)
                reportDone = reportHeader(readVc1SequenceHeader(rest), decimalSeparator, log);
        }
    });
}

}  // namespace morvale
