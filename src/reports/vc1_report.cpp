#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "reports/picture_start_codes.h"
#include "reports/report_text.h"
#include "reports/reports.h"

// The advanced-profile sequence header of SMPTE 421M (sequence layer, Annex J start codes).
// Its fields up to the frame rate are read as they pass through a four-byte shift register;
// byte k of the header is the newest byte of the register when it arrives.

namespace morvale {
namespace {

constexpr uint32_t kSequenceStartCode = 0x0000010F;

constexpr int kFrameHeaderBytes = 4;
constexpr int kSequenceBytes = 6;   // bytes 1-6: profile to DISPLAY_EXT
constexpr int kDisplayBytes = 4;    // bytes 7-10: display size and aspect ratio
constexpr int kFrameRateBytes = 2;  // the two bytes after the FRAMERATE_FLAG byte
constexpr int kTimestampFrames = 2;

constexpr int kProfileAdvanced = 3;
constexpr int kHighestLevel = 4;
constexpr int kColorDiff420 = 1;
// ASPECT_RATIO 15 is followed by ASPECT_HORIZ_SIZE and ASPECT_VERT_SIZE (8 bits each),
// which move FRAMERATE_FLAG and the rate fields two bytes on.
constexpr int kExplicitAspect = 15;
constexpr int kExplicitAspectBytes = 2;

// ASPECT_RATIO -> sample aspect ratio.
constexpr std::array<std::string_view, 16> kAspectTexts = {
    "unspecified",
    "1:1 (square samples)",
    "12:11 (704x576 4:3)",
    "10:11 (704x480 4:3)",
    "16:11 (704x576 16:9)",
    "40:33 (704x480 16:9)",
    "24:11 (352x576 4:3)",
    "20:11 (352x480 4:3)",
    "32:11 (352x576 16:9)",
    "80:33 (352x480 16:9)",
    "18:11 (48$576 4:3)",
    "15:11 (48$480 4:3)",
    "64:33 (528x576 16:9)",
    "160:99 (528x480 16:9)",
    "Reserved",
    "",
};
// FRAMERATENR 1-7 and FRAMERATEDR 1-2; entry 0 is the forbidden code.
constexpr std::array<int32_t, 8> kRateNumerators = {0,     24000, 25000, 30000,
                                                    50000, 60000, 48000, 72000};
constexpr std::array<int32_t, 3> kRateDenominators = {0, 1000, 1001};

std::string flagText(uint32_t bit) {
    return bit != 0 ? "1" : "0";
}

class Vc1SequenceReader {
  public:
    Vc1SequenceReader(uint64_t pts, char decimalSeparator, MessageLog& log)
        : pts_(pts), decimalSeparator_(decimalSeparator), log_(log) {}

    void read(uint8_t byte) {
        shift_ = (shift_ << 8) | byte;
        if (shift_ == kVc1FrameStartCode) {
            onFrameStart();
        } else if (pictureCountdown_ != 0) {
            if (--pictureCountdown_ == 0) onFrameHeaderRead();
        } else if (shift_ == kSequenceStartCode) {
            onSequenceStart();
        } else if (sequenceCountdown_ != 0) {
            --sequenceCountdown_;
            if (!reportDone_) readSequenceByte();
        } else if (displayCountdown_ != 0) {
            --displayCountdown_;
            if (!reportDone_) readDisplayByte();
        } else if (aspectCountdown_ != 0) {
            --aspectCountdown_;
            if (!reportDone_ && aspectCountdown_ == 0 && (byteAgo(0) & 0x80) != 0) {
                frameRateCountdown_ = kFrameRateBytes;
            }
        } else if (frameRateCountdown_ != 0) {
            --frameRateCountdown_;
            if (!reportDone_ && frameRateCountdown_ == 0) reportFrameRate();
        }
    }

  private:
    // The byte that arrived n bytes before the newest one (n = 0..3).
    uint32_t byteAgo(int n) const { return (shift_ >> (8 * n)) & 0xFF; }

    void onFrameStart() {
        ++framesBeforeSequence_;
        if (sequenceSeen_) pictureCountdown_ = kFrameHeaderBytes;
    }

    // The timestamp line waits for the second frame after the first sequence header.
    void onFrameHeaderRead() {
        if (timestampCountdown_ == 0) return;
        if (timestampCountdown_ == kTimestampFrames) savedTimestamp_ = pts_;
        if (--timestampCountdown_ == 0) {
            log_.log("   First Video PTS = " + hexText(std::min(savedTimestamp_, pts_), 16));
        }
    }

    void onSequenceStart() {
        if (!reportDone_) {
            log_.log("   Sequence Header found");
            sequenceCountdown_ = kSequenceBytes;
        }
        if (!sequenceSeen_) {
            log_.log("   " + std::to_string(framesBeforeSequence_) +
                     " frames before first I-frame");
            sequenceSeen_ = true;
            timestampCountdown_ = kTimestampFrames;
        }
    }

    // Bytes 1-6, with the countdown at 6 - k after byte k.
    void readSequenceByte() {
        switch (sequenceCountdown_) {
            case 5: {
                const uint32_t b = byteAgo(0);
                const uint32_t level = (b >> 3) & 0x07;
                log_.log(b >> 6 == kProfileAdvanced ? "   Advanced Profile"
                                                    : "   Reserved Profile");
                log_.log(level > kHighestLevel ? std::string("   Level = Reserved")
                                               : "   Level = " + std::to_string(level));
                log_.log(((b >> 1) & 0x03) == kColorDiff420 ? "   Chroma Format = 4:2:0"
                                                            : "   Chroma Format = Reserved");
                break;
            }
            case 1: {
                const uint32_t width = (byteAgo(2) << 4) | (byteAgo(1) >> 4);
                const uint32_t height = ((byteAgo(1) & 0x0F) << 8) | byteAgo(0);
                log_.log("   Size = " + std::to_string(2 * width + 2) + "x" +
                         std::to_string(2 * height + 2));
                break;
            }
            case 0: {
                const uint32_t b = byteAgo(0);
                log_.log("   Pulldown = " + flagText(b & 0x80));
                log_.log("   Interlace = " + flagText(b & 0x40));
                if ((b & 0x02) != 0) displayCountdown_ = kDisplayBytes;
                break;
            }
        }
    }

    // Bytes 7-10, with the countdown at 10 - k after byte k.
    void readDisplayByte() {
        if (displayCountdown_ == 2) {
            const uint32_t horizontal =
                ((byteAgo(2) & 0x01) << 13) | (byteAgo(1) << 5) | (byteAgo(0) >> 3);
            log_.log("   Display Horizontal size = " + std::to_string(horizontal + 1));
        } else if (displayCountdown_ == 0) {
            const uint32_t vertical =
                ((byteAgo(2) & 0x07) << 11) | (byteAgo(1) << 3) | (byteAgo(0) >> 5);
            log_.log("   Display Vertical size = " + std::to_string(vertical + 1));
            if ((byteAgo(0) & 0x10) != 0) {
                const uint32_t aspect = byteAgo(0) & 0x0F;
                aspectCountdown_ = 1 + (aspect == kExplicitAspect ? kExplicitAspectBytes : 0);
                log_.log("   Aspect ratio = " + std::string(kAspectTexts[aspect]));
            }
        }
    }

    // The register holds the FRAMERATE_FLAG byte (f), the two after it and the newest one:
    // f bit 6 FRAMERATEIND, then FRAMERATENR (f bits 5-0, next bits 7-6) and FRAMERATEDR
    // (next bits 5-2), or FRAMERATEEXP (f bits 5-0, next byte, newest bits 7-6).
    void reportFrameRate() {
        reportDone_ = true;
        const uint32_t flags = byteAgo(2);
        if ((flags & 0x40) != 0) {
            const uint32_t exponent =
                ((flags & 0x3F) << 10) | (byteAgo(1) << 2) | (byteAgo(0) >> 6);
            log_.log("   Frame Rate =" + rateText((exponent + 1) / 32.0, decimalSeparator_));
            return;
        }
        const uint32_t numeratorCode = ((flags & 0x3F) << 2) | (byteAgo(1) >> 6);
        const uint32_t denominatorCode = (byteAgo(1) >> 2) & 0x0F;
        const int32_t numerator = rateTableEntry(kRateNumerators, numeratorCode);
        const int32_t denominator = rateTableEntry(kRateDenominators, denominatorCode);
        // Without a denominator there is no rate to show; the message above says why.
        if (denominator == 0) return;
        log_.log("   Frame Rate = " +
                 rateText(static_cast<double>(numerator) / denominator, decimalSeparator_) + " (" +
                 std::to_string(numerator) + "/" + std::to_string(denominator) + ")");
    }

    // The table entry for a rate code, or 0 after logging why the code has none.
    template <size_t N>
    int32_t rateTableEntry(const std::array<int32_t, N>& table, uint32_t code) {
        if (code == 0) {
            log_.log("   Forbidden Frame Rate!");
            return 0;
        }
        if (code >= N) {
            log_.log("   Reserved Frame Rate!");
            return 0;
        }
        return table[code];
    }

    const uint64_t pts_;
    const char decimalSeparator_;
    MessageLog& log_;

    uint32_t shift_ = 0;
    uint32_t framesBeforeSequence_ = 0;
    bool sequenceSeen_ = false;
    bool reportDone_ = false;
    int pictureCountdown_ = 0;
    int timestampCountdown_ = 0;
    uint64_t savedTimestamp_ = 0;
    int sequenceCountdown_ = 0;
    int displayCountdown_ = 0;
    int aspectCountdown_ = 0;
    int frameRateCountdown_ = 0;
};

}  // namespace

void ReportVc1(std::span<const uint8_t> piece, uint32_t /*dts*/, uint64_t pts,
               char decimalSeparator, MessageLog& log) {
    Vc1SequenceReader reader(pts, decimalSeparator, log);
    for (uint8_t byte : piece)
        reader.read(byte);
}

}  // namespace morvale
