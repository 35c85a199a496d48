#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "reports/picture_start_codes.h"
#include "reports/report_text.h"
#include "reports/reports.h"

// The first sequence_header of ISO/IEC 13818-2 and its sequence_extension, read as the bytes
// pass through a four-byte shift register (byte k after a start code is the newest byte of
// the register when it arrives).

namespace morvale {
namespace {

constexpr uint32_t kSequenceHeaderCode = 0x000001B3;
constexpr uint32_t kExtensionStartCode = 0x000001B5;

constexpr int kSequenceBytes = 7;  // up to the last bits of bit_rate_value
constexpr int kPictureBytes = 2;   // up to picture_coding_type
constexpr int kPictureExtensionBytes = 5;
constexpr int kTimestampPictures = 2;

constexpr uint32_t kSequenceExtensionId = 1;
constexpr uint32_t kPictureCodingExtensionId = 8;

// picture_coding_type 1-3 are I, P and B; 4 (D pictures) belongs to MPEG-1 only.
constexpr uint32_t kLastPictureType = 3;
constexpr uint32_t kBitRateUnit = 400;

// aspect_ratio_information -> line.
constexpr std::array<std::string_view, 16> kAspectLines = {
    "   Aspect ratio = forbidden", "   Aspect ratio = square samples", "   Aspect ratio = 4:3",
    "   Aspect ratio = 16:9",      "   Aspect ratio = 2.21:1",         "   Aspect ratio = reserved",
    "   Aspect ratio = reserved",  "   Aspect ratio = reserved",       "   Aspect ratio = reserved",
    "   Aspect ratio = reserved",  "   Aspect ratio = reserved",       "   Aspect ratio = reserved",
    "   Aspect ratio = reserved",  "   Aspect ratio = reserved",       "   Aspect ratio = reserved",
    "   Aspect ratio = reserved",
};
// frame_rate_code -> line.
constexpr std::array<std::string_view, 16> kFrameRateLines = {
    "   Frame rate = forbidden", "   Frame rate = 23.976",   "   Frame rate = 24",
    "   Frame rate = 25",        "   Frame rate = 29.97",    "   Frame rate = 30",
    "   Frame rate = 50",        "   Frame rate = 59.94",    "   Frame rate = 60",
    "   Frame rate = reserved",  "   Frame rate = reserved", "   Frame rate = reserved",
    "   Frame rate = reserved",  "   Frame rate = reserved", "   Frame rate = reserved",
    "   Frame rate = reserved",
};

class Mpeg2SequenceReader {
  public:
    Mpeg2SequenceReader(uint32_t pts, MessageLog& log) : pts_(pts), log_(log) {}

    void read(uint8_t byte) {
        shift_ = (shift_ << 8) | byte;
        if (shift_ == kMpeg2PictureStartCode) {
            pictureCountdown_ = kPictureBytes;
        } else if (shift_ == kSequenceHeaderCode) {
            onSequenceHeader();
        } else if (sequenceCountdown_ != 0) {
            --sequenceCountdown_;
            if (!reportDone_) readSequenceByte();
        } else if (pictureCountdown_ != 0) {
            if (--pictureCountdown_ == 0) checkPictureType();
        } else if (shift_ == kExtensionStartCode) {
            extensionCountdown_ = 1;
        } else if (extensionCountdown_ != 0) {
            extensionCountdown_ = 0;
            onExtension(byte >> 4);
        } else if (pictureExtensionCountdown_ != 0) {
            if (--pictureExtensionCountdown_ == 1) onPictureExtensionRead();
        } else if (sequenceExtensionCountdown_ != 0) {
            sequenceExtensionCountdown_ = 0;
            if (!reportDone_) {
                log_.log("   Progressive Sequence = " + std::to_string((byte >> 3) & 0x01));
                reportDone_ = true;
            }
        }
    }

  private:
    // The byte that arrived n bytes before the newest one (n = 0..3).
    uint32_t byteAgo(int n) const { return (shift_ >> (8 * n)) & 0xFF; }

    void onSequenceHeader() {
        sequenceCountdown_ = kSequenceBytes;
        if (!sequenceSeen_) {
            log_.log("   Sequence Header found");
            log_.log("   " + std::to_string(picturesBeforeSequence_) +
                     " frames before first Sequence Header");
            sequenceSeen_ = true;
            timestampCountdown_ = kTimestampPictures;
        }
        picturesBeforeSequence_ = 0;
    }

    // Bytes 1-7, with the countdown at 7 - k after byte k.
    void readSequenceByte() {
        switch (sequenceCountdown_) {
            case 4: {
                const uint32_t width = (byteAgo(2) << 4) | (byteAgo(1) >> 4);
                const uint32_t height = ((byteAgo(1) & 0x0F) << 8) | byteAgo(0);
                log_.log("   size = " + std::to_string(width) + "x" + std::to_string(height));
                break;
            }
            case 3:
                log_.log(kAspectLines[byteAgo(0) >> 4]);
                log_.log(kFrameRateLines[byteAgo(0) & 0x0F]);
                break;
            case 0: {
                const uint32_t bitRateValue =
                    (byteAgo(2) << 10) | (byteAgo(1) << 2) | (byteAgo(0) >> 6);
                log_.log("  Sequence header bitrate = " +
                         std::to_string(bitRateValue * kBitRateUnit) + " bps");
                break;
            }
        }
    }

    void checkPictureType() {
        const uint32_t type = (byteAgo(0) >> 3) & 0x07;
        if (type == 0 || type > kLastPictureType) {
            log_.log("   illegal picture_coding_type = " + std::to_string(type));
        }
    }

    void onExtension(uint32_t identifier) {
        if (identifier == kPictureCodingExtensionId) {
            if (sequenceSeen_) pictureExtensionCountdown_ = kPictureExtensionBytes;
            ++picturesBeforeSequence_;
        } else if (identifier == kSequenceExtensionId) {
            sequenceExtensionCountdown_ = 1;
        }
    }

    // The timestamp line waits for the second picture after the first sequence header.
    void onPictureExtensionRead() {
        if (timestampCountdown_ == 0) return;
        if (timestampCountdown_ == kTimestampPictures) savedTimestamp_ = pts_;
        if (--timestampCountdown_ == 0) {
            log_.log("   First Video PTS = " + hexText(std::min(savedTimestamp_, pts_), 8));
        }
    }

    const uint32_t pts_;
    MessageLog& log_;

    uint32_t shift_ = 0;
    uint32_t picturesBeforeSequence_ = 0;
    bool sequenceSeen_ = false;
    bool reportDone_ = false;
    int sequenceCountdown_ = 0;
    int pictureCountdown_ = 0;
    int extensionCountdown_ = 0;
    int pictureExtensionCountdown_ = 0;
    int sequenceExtensionCountdown_ = 0;
    int timestampCountdown_ = 0;
    uint32_t savedTimestamp_ = 0;
};

}  // namespace

void ReportMpeg2Video(std::span<const uint8_t> piece, uint32_t pts, uint32_t /*dts*/,
                      MessageLog& log) {
    Mpeg2SequenceReader reader(pts, log);
    for (uint8_t byte : piece)
        reader.read(byte);
}

}  // namespace morvale
