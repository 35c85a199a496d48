// SPDX-License-Identifier: MIT
#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "reports/audio_headers.h"
#include "reports/reports.h"

// The first syncframe of a Dolby Digital Plus sub-stream, A/52 or its Annex E by bsid. A
// frame whose rates the header does not give is shown and the search goes on.

namespace morvale {
namespace {

constexpr size_t kHeaderBytes = 7;  // the syncword and five bytes
// acmod -> channel arrangement (front/rear).
constexpr std::array<std::string_view, 8> kModeTexts = {"1+1", "1/0", "2/0", "3/0",
                                                        "2/1", "3/1", "2/2", "3/2"};

std::string ratesLine(int32_t bitRate, int32_t sampleRate) {
    return "   bitrate = " + std::to_string(bitRate) +
           ", sampling rate = " + std::to_string(sampleRate);
}

std::string modeLine(const DolbyAudioHeader& h) {
    return "   mode = " + std::string(kModeTexts[h.acmod]) + ", bsid = " + std::to_string(h.bsid);
}

// Annex E as the log has always shown it: fscod2 (fscod 3) read as numblkscod, the bit rate
// as at 48 kHz (bits per frame times 187.5 frames per second over the blocks) or, for fscod
// 3, the A/52 table's rate of the bits where frmsizecod would be, and no rate for fscod 3.
// Whether the frame ends the report.
bool reportEnhanced(const DolbyAudioHeader& h, const std::string& stream, MessageLog& log) {
    const bool reduced = h.fscod == 3;
    const size_t tableIndex = (size_t{h.numblkscod} << 3) | h.acmod;
    const int32_t bitRate = !reduced ? static_cast<int32_t>(h.frameBytes) * 1500 / h.blocks
                            : tableIndex < kAc3BitRates.size() ? kAc3BitRates[tableIndex]
                                                               : 0;
    log.log(stream + " is Dolby Digital Plus");
    log.log("   frame size = " + std::to_string(h.frameBytes) +
            ", number of blocks per frame = " + std::to_string(kEac3BlocksPerFrame[h.numblkscod]));
    log.log(ratesLine(bitRate, reduced ? 0 : h.sampleRate));
    log.log(modeLine(h) + ", lfe on =" + std::to_string(h.lfe ? 1 : 0));
    return !reduced;
}

bool reportPlain(const DolbyAudioHeader& h, const std::string& stream, MessageLog& log) {
    log.log(stream + " is Dolby Digital");
    log.log(ratesLine(h.bitRate, h.sampleRate));
    log.log(modeLine(h) + ", bsmod =" + std::to_string(h.bsmod));
    return h.sampleRate != 0 && h.bitRate != 0;
}

}  // namespace

void ReportAc3(std::span<const uint8_t> piece, int slot, MessageLog& log) {
    const std::string stream = "   Stream " + std::to_string(slot);
    const uint8_t* data = piece.data();
    for (size_t from = 0; from + 1 < piece.size();) {
        const void* hit = std::memchr(data + from, 0x0B, piece.size() - 1 - from);
        if (hit == nullptr) return;
        const size_t at = static_cast<size_t>(static_cast<const uint8_t*>(hit) - data);
        from = at + 1;
        if (data[at + 1] != 0x77) continue;
        const DolbyAudioHeader h = readDolbyAudioHeader(piece.subspan(at));
        if (!h.whole()) return;
        if (h.enhanced ? reportEnhanced(h, stream, log) : reportPlain(h, stream, log)) return;
        // The header's bytes are fields, but its last one may begin the next syncword.
        from = at + kHeaderBytes - 1;
    }
}

}  // namespace morvale
