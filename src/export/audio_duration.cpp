#include "export/audio_duration.h"

#include <algorithm>
#include <array>
#include <memory>

#include "platform/file.h"

namespace morvale {

namespace {

constexpr int kTicksPerSecond = 90000;

// A/52 Table 5.18: words per syncframe by frmsizecod / 2 at 48 kHz and 32 kHz; 44.1 kHz
// frames are given separately (odd codes add one word).
constexpr std::array<uint16_t, 19> kAc3Words48 = {
    64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 640, 768, 896, 1024, 1152, 1280};
constexpr std::array<uint16_t, 19> kAc3Words44 = {
    69, 87, 104, 121, 139, 174, 208, 243, 278, 348, 417, 487, 557, 696, 835, 975, 1114, 1253, 1393};
constexpr std::array<uint16_t, 19> kAc3Words32 = {96,   120,  144,  168,  192, 240, 288,
                                                  336,  384,  480,  576,  672, 768, 960,
                                                  1152, 1344, 1536, 1728, 1920};
constexpr std::array<int, 4> kAc3Rates = {48000, 44100, 32000, 0};
constexpr std::array<int, 4> kEac3ReducedRates = {24000, 22050, 16000, 0};
constexpr std::array<int, 4> kEac3Blocks = {1, 2, 3, 6};
// DTS core SFREQ.
constexpr std::array<int, 16> kDtsRates = {0,     8000, 16000, 32000, 0,     0,     11025, 22050,
                                           44100, 0,    0,     12000, 24000, 48000, 0,     0};

uint32_t bigEndian32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

size_t dolbyUnit(const uint8_t* h, int64_t& samples, int& rate) {
    if (h[0] != 0x0B || h[1] != 0x77) return 0;
    const int bsid = h[5] >> 3;
    if (bsid <= 10) {
        const int fscod = h[4] >> 6, frmsizecod = h[4] & 0x3F;
        if (fscod == 3 || frmsizecod > 37) return 0;
        const auto& table = fscod == 0 ? kAc3Words48 : fscod == 1 ? kAc3Words44 : kAc3Words32;
        const size_t words = table[size_t(frmsizecod / 2)] + (fscod == 1 ? frmsizecod % 2 : 0);
        samples = 1536;
        rate = kAc3Rates[size_t(fscod)];
        return words * 2;
    }
    if (bsid > 16) return 0;
    // Annex E: strmtyp (2), substreamid (3), frmsiz (11), fscod (2), fscod2/numblkscod (2).
    const int strmtyp = h[2] >> 6, substreamid = (h[2] >> 3) & 7;
    const size_t bytes = ((size_t(h[2] & 7) << 8 | h[3]) + 1) * 2;
    const int fscod = h[4] >> 6, code = (h[4] >> 4) & 3;
    if (fscod == 3 && code == 3) return 0;
    // Only an independent substream 0 advances time; dependent substreams and further
    // programs add channels alongside it.
    const bool timed = strmtyp != 1 && substreamid == 0;
    samples = timed ? 256 * (fscod == 3 ? 6 : kEac3Blocks[size_t(code)]) : 0;
    rate = fscod == 3 ? kEac3ReducedRates[size_t(code)] : kAc3Rates[size_t(fscod)];
    return bytes;
}

size_t dtsUnit(const uint8_t* h, int64_t& samples, int& rate) {
    const uint32_t sync = bigEndian32(h);
    if (sync == 0x64582025) {  // a DTS-HD extension substream: no time of its own
        const bool longHeader = (h[5] & 0x20) != 0;
        // After the sync word: user bits (8), substream index (2), header size type (1),
        // header size (8 or 12 bits), then the size of the substream (16 or 20 bits), minus 1.
        const uint64_t bits = uint64_t{h[5]} << 32 | uint64_t{h[6]} << 24 | uint64_t{h[7]} << 16 |
                              uint64_t{h[8]} << 8 | h[9];
        const int fsizeBits = longHeader ? 20 : 16;
        const int shift = 40 - 3 - (longHeader ? 12 : 8) - fsizeBits;
        samples = 0;
        return size_t((bits >> shift) & ((uint64_t{1} << fsizeBits) - 1)) + 1;
    }
    if (sync != 0x7FFE8001) return 0;
    // Core header: FTYPE (1), SHORT (5), CPF (1), NBLKS (7), FSIZE (14), AMODE (6), SFREQ (4).
    const int nblks = ((h[4] & 0x01) << 6) | (h[5] >> 2);
    const size_t fsize = ((size_t(h[5] & 0x03) << 12) | (size_t{h[6]} << 4) | (h[7] >> 4)) + 1;
    const int sfreq = (h[8] >> 2) & 0x0F;
    if (fsize < 96 || kDtsRates[size_t(sfreq)] == 0) return 0;
    samples = int64_t{nblks + 1} * 32;
    rate = kDtsRates[size_t(sfreq)];
    return fsize;
}

// MLP/TrueHD: every access unit starts with a check nibble and its length in 16-bit words;
// one lasts 1/1200 s at the 48 kHz family's rates (40 samples at 48 kHz) and 40 samples of
// 44.1 kHz at the other family's. The rate comes from the major sync of the units that
// carry one.
size_t trueHdUnit(const uint8_t* h, int64_t& samples, int& rate) {
    const size_t words = size_t(h[0] & 0x0F) << 8 | h[1];
    if (words < 2) return 0;
    const uint32_t majorSync = bigEndian32(h + 4);
    if (majorSync == 0xF8726FBA || majorSync == 0xF8726FBB) {
        const int code = majorSync == 0xF8726FBA ? h[8] >> 4 : h[9] >> 4;
        if (code == 0xF) return 0;
        rate = (code & 8) != 0 ? 44100 : 48000;
    }
    samples = 40;
    return words * 2;
}

}  // namespace

size_t AudioUnitCounter::unitAt(const uint8_t* header, int64_t& samples, int& rate) const {
    switch (coding_) {
        case AudioCoding::DolbyDigital:
        case AudioCoding::DolbyDigitalPlus:
            return dolbyUnit(header, samples, rate);
        case AudioCoding::Dts:
            return dtsUnit(header, samples, rate);
        case AudioCoding::TrueHd:
            return trueHdUnit(header, samples, rate);
    }
    return 0;
}

void AudioUnitCounter::feed(std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        if (skip_ > 0) {
            const size_t n = size_t(std::min<uint64_t>(skip_, bytes.size()));
            skip_ -= n;
            bytes = bytes.subspan(n);
            continue;
        }
        if (pending_.empty() && bytes.size() >= kHeaderBytes) {
            const size_t length = countUnitAt(bytes.data());
            if (length == 0) {
                bytes = bytes.subspan(1);  // no unit here: search on
            } else {
                skip_ = length;
            }
            continue;
        }
        // A header split between pieces: gather it first.
        const size_t take = std::min(bytes.size(), kHeaderBytes - pending_.size());
        pending_.insert(pending_.end(), bytes.begin(), bytes.begin() + long(take));
        bytes = bytes.subspan(take);
        if (pending_.size() < kHeaderBytes) return;
        const size_t length = countUnitAt(pending_.data());
        if (length == 0) {
            pending_.erase(pending_.begin());
        } else if (length >= pending_.size()) {
            skip_ = length - pending_.size();
            pending_.clear();
        } else {
            pending_.erase(pending_.begin(), pending_.begin() + long(length));
        }
    }
}

size_t AudioUnitCounter::countUnitAt(const uint8_t* header) {
    // MLP/TrueHD units carry no sync word of their own: the walk starts at a unit with a
    // major sync (a stream cut from a program stream may begin inside a unit).
    if (coding_ == AudioCoding::TrueHd && !locked_) {
        const uint32_t sync = bigEndian32(header + 4);
        if (sync != 0xF8726FBA && sync != 0xF8726FBB) return 0;
        locked_ = true;
    }
    int64_t samples = 0;
    int rate = sampleRate_;
    const size_t length = unitAt(header, samples, rate);
    if (length == 0) {
        locked_ = false;
        return 0;
    }
    if (rate != 0 && sampleRate_ != 0 && rate != sampleRate_) {
        // A change of rate: the total so far as samples of the new rate.
        samples_ = samples_ * rate / sampleRate_;
    }
    if (rate != 0) sampleRate_ = rate;
    samples_ += samples;
    if (samples > 0) ++units_;
    return length;
}

std::optional<int64_t> AudioUnitCounter::durationTicks() const {
    if (units_ == 0 || sampleRate_ == 0) return std::nullopt;
    return (samples_ * kTicksPerSecond + sampleRate_ / 2) / sampleRate_;
}

std::optional<int64_t> audioFileDurationTicks(const std::string& path, AudioCoding coding) {
    constexpr int64_t kPiece = 1 << 20;
    SourceFile file = SourceFile::open(path, ShareMode::Shared);
    const auto buffer = std::make_unique<uint8_t[]>(kPiece);
    AudioUnitCounter counter(coding);
    while (true) {
        const int64_t got = file.read(buffer.get(), kPiece);
        if (got <= 0) break;
        counter.feed({buffer.get(), size_t(got)});
    }
    return counter.durationTicks();
}

}  // namespace morvale
