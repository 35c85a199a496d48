#include <array>
#include <string>
#include <string_view>

#include "reports/reports.h"

// The first syncframe of a Dolby Digital Plus sub-stream. A/52 and its Annex E share the
// syncword and put bsid at the same place (byte 4 after the syncword), so the same five
// bytes are read for both and bsid decides how they are read.

namespace morvale {
namespace {

constexpr uint16_t kSyncword = 0x0B77;
constexpr int kHeaderBytes = 5;

// fscod -> sampling rate (3: a reduced rate, given in fscod2 by Annex E).
constexpr std::array<int32_t, 4> kSampleRates = {48000, 44100, 32000, 0};
// frmsizecod / 2 -> nominal bit rate.
constexpr std::array<int32_t, 19> kBitRates = {
    32000,  40000,  48000,  56000,  64000,  80000,  96000,  112000, 128000, 160000,
    192000, 224000, 256000, 320000, 384000, 448000, 512000, 576000, 640000};

// Annex E numblkscod -> audio blocks per syncframe.
constexpr std::array<int32_t, 4> kBlocksPerFrame = {1, 2, 3, 6};
// acmod -> channel arrangement (front/rear).
constexpr std::array<std::string_view, 8> kModeTexts = {"1+1", "1/0", "2/0", "3/0",
                                                        "2/1", "3/1", "2/2", "3/2"};

// bsid 11-16 is Annex E; everything else (9 and 10 being the reduced-rate variants of
// A/52) is read as a plain A/52 frame.
bool isEnhancedBsid(int bsid) {
    return bsid >= 11 && bsid <= 16;
}

class Ac3HeaderReader {
  public:
    Ac3HeaderReader(int slot, MessageLog& log) : slot_(slot), log_(log) {}

    void read(uint8_t byte) {
        shift_ = (shift_ << 8) | byte;
        // While a header is being read its bytes are fields, even when two of them happen
        // to look like a syncword (A/52 has no emulation prevention).
        if (countdown_ != 0) {
            --countdown_;
            takeField(byte);
            return;
        }
        if ((shift_ & 0xFFFF) == kSyncword && !headerTaken_) {
            countdown_ = kHeaderBytes;
            headerTaken_ = true;
        }
    }

  private:
    // Byte n after the syncword arrives with the countdown at 5 - n.
    void takeField(uint8_t byte) {
        switch (countdown_) {
            case 4:
                frameSize_ = (byte & 0x07) << 8;
                break;
            case 3:
                frameSize_ |= byte;
                break;
            case 2:
                takeRatesAndMode(byte);
                break;
            case 1:
                bsid_ = byte >> 3;
                bsmod_ = byte & 0x07;
                break;
            case 0:
                if (isEnhancedBsid(bsid_)) {
                    reportEnhanced();
                } else {
                    acmod_ = byte >> 5;
                    reportPlain();
                }
                break;
        }
    }

    void takeRatesAndMode(uint8_t byte) {
        sampleRate_ = kSampleRates[byte >> 6];
        // frmsizecod / 2 runs to 31 but the table ends at 18 (640 kbit/s); frame size codes
        // beyond it are not A/52 rates, and such a frame reports a bit rate of 0.
        const size_t rateIndex = (byte & 0x3F) >> 1;
        bitRate_ = rateIndex < kBitRates.size() ? kBitRates[rateIndex] : 0;
        blocks_ = kBlocksPerFrame[(byte >> 4) & 0x03];
        acmod_ = (byte >> 1) & 0x07;
        lfeon_ = byte & 0x01;
    }

    void reportEnhanced() {
        if (sampleRate_ == 0) {
            // fscod 3 (a reduced rate in fscod2): keep looking for a frame that says more.
            headerTaken_ = false;
        } else {
            // Bits per frame times frames per second at 48 kHz (256 samples per block).
            bitRate_ = (frameSize_ + 1) * 16 * (750 / blocks_) / 4;
        }
        log_.log("   Stream " + std::to_string(slot_) + " is Dolby Digital Plus");
        log_.log("   frame size = " + std::to_string(2 * (frameSize_ + 1)) +
                 ", number of blocks per frame = " + std::to_string(blocks_));
        logRates();
        log_.log("   mode = " + std::string(kModeTexts[acmod_]) +
                 ", bsid = " + std::to_string(bsid_) + ", lfe on =" + std::to_string(lfeon_));
    }

    void reportPlain() {
        if (sampleRate_ == 0 || bitRate_ == 0) headerTaken_ = false;
        log_.log("   Stream " + std::to_string(slot_) + " is Dolby Digital");
        logRates();
        log_.log("   mode = " + std::string(kModeTexts[acmod_]) +
                 ", bsid = " + std::to_string(bsid_) + ", bsmod =" + std::to_string(bsmod_));
    }

    void logRates() {
        log_.log("   bitrate = " + std::to_string(bitRate_) +
                 ", sampling rate = " + std::to_string(sampleRate_));
    }

    const int slot_;
    MessageLog& log_;

    uint32_t shift_ = 0;
    bool headerTaken_ = false;
    int countdown_ = 0;
    int32_t frameSize_ = 0;  // frmsiz: words per frame minus one
    int32_t sampleRate_ = 0;
    int32_t bitRate_ = 0;
    int32_t blocks_ = 0;
    int acmod_ = 0;
    int lfeon_ = 0;
    int bsid_ = 0;
    int bsmod_ = 0;
};

}  // namespace

void ReportAc3(std::span<const uint8_t> piece, int slot, MessageLog& log) {
    Ac3HeaderReader reader(slot, log);
    for (uint8_t byte : piece)
        reader.read(byte);
}

}  // namespace morvale
