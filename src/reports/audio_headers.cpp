// SPDX-License-Identifier: MIT
#include "reports/audio_headers.h"

namespace morvale {

namespace {

using SyncWord = std::array<uint8_t, 4>;

// Annex E fscod2 -> the reduced rates; acmod -> full-bandwidth channels.
constexpr std::array<int32_t, 4> kEac3ReducedRates = {24000, 22050, 16000, 0};
constexpr std::array<int, 8> kAc3Channels = {2, 1, 2, 3, 3, 4, 4, 5};

constexpr SyncWord kDtsCoreSync = {0x7F, 0xFE, 0x80, 0x01};
constexpr SyncWord kDtsSubstreamSync = {0x64, 0x58, 0x20, 0x25};
// SFREQ -> sampling rate (0: invalid); AMODE 0-15 -> channels.
constexpr std::array<int32_t, 16> kDtsRates = {0, 8000, 16000, 32000, 0,     0, 11025, 22050, 44100,
                                               0, 0,    12000, 24000, 48000, 0, 0};
constexpr std::array<int, 16> kDtsChannels = {1, 2, 2, 2, 2, 3, 3, 4, 4, 5, 6, 6, 6, 7, 8, 8};

constexpr std::array<uint8_t, 3> kMajorSync = {0xF8, 0x72, 0x6F};  // and BA (TrueHD) or BB (MLP)
// Channels of each bit of a TrueHD channel assignment, lowest first: L/R, C, LFE, Ls/Rs,
// Lvh/Rvh, Lc/Rc, Lrs/Rrs, Cs, Ts, Lsd/Rsd, Lw/Rw, Cvh, LFE2.
constexpr std::array<int, 13> kTrueHdChannels = {2, 1, 1, 2, 2, 2, 2, 1, 1, 2, 2, 1, 1};

// Whether the bytes there are, as far as they go, the sync word (a loop: the search for a
// unit calls this at every byte).
bool startsWith(std::span<const uint8_t> bytes, std::span<const uint8_t> sync) {
    for (size_t i = 0; i < sync.size() && i < bytes.size(); ++i)
        if (bytes[i] != sync[i]) return false;
    return true;
}

// Bytes 2-6: crc1, fscod and frmsizecod, bsid and bsmod, acmod, its mix levels, lfeon.
void readAc3(std::span<const uint8_t> b, DolbyAudioHeader& h) {
    const int frmsizecod = b[4] & 0x3F;
    h.bsmod = b[5] & 0x07;
    h.acmod = b[6] >> 5;
    const int mixBits = ((h.acmod & 1) != 0 && h.acmod != 1 ? 2 : 0) +          // cmixlev
                        ((h.acmod & 4) != 0 ? 2 : 0) + (h.acmod == 2 ? 2 : 0);  // surmix, dsur
    h.lfe = ((b[6] >> (4 - mixBits)) & 1) != 0;
    h.sampleRate = kAc3SampleRates[h.fscod];
    const size_t rateIndex = static_cast<size_t>(frmsizecod >> 1);  // runs to 31
    h.bitRate = rateIndex < kAc3BitRates.size() ? kAc3BitRates[rateIndex] : 0;
    h.samples = 1536;
    if (h.sampleRate == 0 || h.bitRate == 0) return;
    // 1,536 samples' worth of 16-bit words; at 44.1 kHz an odd code adds a word.
    const int32_t words = h.bitRate * 96 / h.sampleRate + (h.fscod == 1 ? frmsizecod & 1 : 0);
    h.frameBytes = static_cast<uint32_t>(2 * words);
}

// Bytes 2-4: strmtyp, substreamid, frmsiz, fscod, numblkscod (or fscod2), acmod, lfeon.
void readEac3(std::span<const uint8_t> b, DolbyAudioHeader& h) {
    const bool timed = b[2] >> 6 != 1 && ((b[2] >> 3) & 0x07) == 0;  // strmtyp, substreamid
    h.frameBytes = ((uint32_t(b[2] & 0x07) << 8 | b[3]) + 1) * 2;
    h.numblkscod = (b[4] >> 4) & 0x03;
    h.acmod = (b[4] >> 1) & 0x07;
    h.lfe = (b[4] & 0x01) != 0;
    const bool reduced = h.fscod == 3;
    h.sampleRate = reduced ? kEac3ReducedRates[h.numblkscod] : kAc3SampleRates[h.fscod];
    h.blocks = reduced ? 6 : kEac3BlocksPerFrame[h.numblkscod];
    h.samples = timed ? 256 * h.blocks : 0;
    h.bitRate = static_cast<int32_t>(int64_t{h.frameBytes} * 8 * h.sampleRate / (256 * h.blocks));
}

// FTYPE, SHORT, CPF, NBLKS, FSIZE, AMODE, SFREQ, RATE, five flags, EXT_AUDIO_ID, EXT_AUDIO,
// ASPF and LFF (1 and 2: an LFE channel).
void readDtsCore(BitReader r, AudioFrameHeader& h) {
    r.skip(1 + 5 + 1);
    h.samples = static_cast<int32_t>(r.bits(7) + 1) * 32;
    const uint32_t size = r.bits(14) + 1, mode = r.bits(6);
    h.sampleRate = kDtsRates[r.bits(4)];
    r.skip(5 + 5 + 3 + 1 + 1);
    const uint32_t lfe = r.bits(2);
    h.frameBytes = size >= 96 && h.sampleRate != 0 ? size : 0;
    h.channels =
        mode < kDtsChannels.size() ? kDtsChannels[mode] + (lfe == 1 || lfe == 2 ? 1 : 0) : 0;
}

// User bits, the substream index, the header size (8 or 12 bits) and the size of the
// substream (16 or 20 bits) less one.
void readDtsSubstream(BitReader r, AudioFrameHeader& h) {
    r.skip(8 + 2);
    const bool longHeader = r.flag();
    r.skip(longHeader ? 12 : 8);
    h.frameBytes = r.bits(longHeader ? 20 : 16) + 1;
}

// The major sync's format: a rate code (TrueHD: the first nibble, MLP: the third) of 48 or
// 44.1 kHz doubled 0-2 times, then TrueHD's 6- and 8-channel presentations' assignments.
bool readTrueHdFormat(const uint8_t* f, bool trueHd, AudioFrameHeader& h) {
    const uint32_t code = (trueHd ? f[0] : f[1]) >> 4, doublings = code & 0x07;
    if (doublings > 2) return false;
    h.sampleRate = ((code & 0x08) != 0 ? 44100 : 48000) << doublings;
    h.samples = 40 << doublings;
    const uint32_t six = (uint32_t(f[1] & 0x0F) << 1) | (f[2] >> 7);
    const uint32_t eight = (uint32_t(f[2] & 0x1F) << 8) | f[3];
    for (size_t bit = 0; trueHd && bit < kTrueHdChannels.size(); ++bit)
        h.channels += (((eight != 0 ? eight : six) >> bit) & 1) != 0 ? kTrueHdChannels[bit] : 0;
    return true;
}

}  // namespace

DolbyAudioHeader readDolbyAudioHeader(std::span<const uint8_t> bytes) {
    DolbyAudioHeader h;
    if (!startsWith(bytes, std::array<uint8_t, 2>{0x0B, 0x77})) return h;
    h.cut = bytes.size() < 7;
    if (h.cut) return h;
    h.bsid = bytes[5] >> 3;  // at the same place in both forms: it tells them apart
    h.fscod = bytes[4] >> 6;
    h.enhanced = h.bsid >= 11 && h.bsid <= 16;
    (h.enhanced ? readEac3 : readAc3)(bytes, h);
    h.channels = kAc3Channels[h.acmod] + (h.lfe ? 1 : 0);
    h.read = WholePart::Whole;
    return h;
}

AudioFrameHeader readDtsFrameHeader(std::span<const uint8_t> bytes) {
    AudioFrameHeader h;
    const bool core = startsWith(bytes, kDtsCoreSync);
    if (!core && !startsWith(bytes, kDtsSubstreamSync)) return h;
    h.cut = bytes.size() < (core ? 11u : 10u);
    if (h.cut) return h;
    (core ? readDtsCore : readDtsSubstream)(BitReader(bytes.subspan(4)), h);
    h.read = WholePart::Whole;
    return h;
}

namespace {

// kbit/s by bitrate_index 1-14, for MPEG-1 layers I, II, III and MPEG-2 (and 2.5) layer I and
// layers II and III.
constexpr std::array<std::array<uint16_t, 15>, 5> kMpegAudioBitRates = {{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
}};
// Hz by sampling_frequency 0-2 for MPEG-1, MPEG-2 and MPEG-2.5.
constexpr std::array<std::array<int32_t, 3>, 3> kMpegAudioRates = {{
    {44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}}};

}  // namespace

AudioFrameHeader readMpegAudioHeader(std::span<const uint8_t> bytes) {
    AudioFrameHeader h;
    if (bytes.size() < 2 || bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0) return h;
    h.cut = bytes.size() < 4;
    if (h.cut) return h;
    h.read = WholePart::Whole;
    const int version = (bytes[1] >> 3) & 3;  // 0: 2.5, 2: MPEG-2, 3: MPEG-1
    const int layer = 4 - ((bytes[1] >> 1) & 3);  // 1-3; 4: reserved
    const int rateIndex = bytes[2] >> 4;
    const int frequency = (bytes[2] >> 2) & 3;
    if (version == 1 || layer == 4 || rateIndex == 0 || rateIndex == 15 || frequency == 3) {
        return h;
    }
    const bool mpeg1 = version == 3;
    const int table = mpeg1 ? layer - 1 : (layer == 1 ? 3 : 4);
    const int64_t bitRate = int64_t{kMpegAudioBitRates[table][rateIndex]} * 1000;
    h.sampleRate = kMpegAudioRates[mpeg1 ? 0 : version == 2 ? 1 : 2][frequency];
    h.channels = (bytes[3] >> 6) == 3 ? 1 : 2;
    const int padding = (bytes[2] >> 1) & 1;
    h.samples = layer == 1 ? 384 : (layer == 3 && !mpeg1) ? 576 : 1152;
    h.frameBytes = layer == 1 ? static_cast<uint32_t>((12 * bitRate / h.sampleRate + padding) * 4)
                              : static_cast<uint32_t>(h.samples / 8 * bitRate / h.sampleRate + padding);
    return h;
}

AudioFrameHeader readTrueHdUnitHeader(std::span<const uint8_t> bytes) {
    AudioFrameHeader h;
    const bool majorSync = bytes.size() >= 8 && startsWith(bytes.subspan(4, 3), kMajorSync) &&
                           (bytes[7] & 0xFE) == 0xBA;
    const bool trueHd = majorSync && bytes[7] == 0xBA;
    h.cut = bytes.size() < (majorSync ? 12u : 8u);
    if (h.cut) return h;
    h.read = WholePart::Whole;
    const uint32_t words = uint32_t(bytes[0] & 0x0F) << 8 | bytes[1];
    if (words >= 2 && (!majorSync || readTrueHdFormat(bytes.data() + 8, trueHd, h))) {
        h.frameBytes = words * 2;
    }
    return h;
}

}  // namespace morvale
