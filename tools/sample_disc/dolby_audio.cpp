#include "dolby_audio.h"

#include <array>
#include <cstdio>
#include <optional>
#include <stdexcept>

#include "support/bit_writer.h"

namespace morvale::sample {

namespace {

using testing::BitWriter;

constexpr std::array<int, 19> kBitRatesKbps = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                               192, 224, 256, 320, 384, 448, 512, 576, 640};

// Bytes of a 48 kHz syncframe: 1,536 samples at the bit rate.
size_t frameBytes(int bitRateKbps) {
    return static_cast<size_t>(bitRateKbps) * 4;
}

int frameSizeCode(int bitRateKbps) {
    for (size_t i = 0; i < kBitRatesKbps.size(); ++i) {
        if (kBitRatesKbps[i] == bitRateKbps) return static_cast<int>(2 * i);
    }
    throw std::invalid_argument("not an AC-3 bit rate");
}

struct ChannelLayout {
    int acmod;
    bool lfe;
    int fullBandwidth;
};

ChannelLayout layoutOf(int channels) {
    if (channels == 6) return {7, true, 5};  // 3/2 with LFE
    return {2, false, 2};                    // 2/0
}

// The exponents of one channel in the first block: the absolute exponent 15 (quietest) and
// groups of three unchanged deltas (each 2, coded 25 * 2 + 5 * 2 + 2).
void silentExponents(BitWriter& w, int groups) {
    w.bits(15, 4);
    for (int g = 0; g < groups; ++g)
        w.bits(62, 7);
}

// Six audio blocks of silence for AC-3: coupling off, D45 exponents over the narrowest band
// (73 bins, six groups) in block 0 and reused after, and all SNR offsets 0, which leaves every
// bit allocation pointer 0: no mantissas at all.
void ac3SilentBlocks(BitWriter& w, const ChannelLayout& layout) {
    for (int blk = 0; blk < 6; ++blk) {
        const bool first = blk == 0;
        for (int ch = 0; ch < layout.fullBandwidth; ++ch)
            w.flag(false);  // blksw
        for (int ch = 0; ch < layout.fullBandwidth; ++ch)
            w.flag(true);          // dithflag
        w.flag(false);             // dynrnge
        w.flag(first);             // cplstre
        if (first) w.flag(false);  // cplinu
        if (layout.acmod == 2) {
            w.flag(first);            // rematstr
            if (first) w.bits(0, 4);  // rematflg, four bands
        }
        for (int ch = 0; ch < layout.fullBandwidth; ++ch)
            w.bits(first ? 3 : 0, 2);   // chexpstr: D45, then reuse
        if (layout.lfe) w.flag(first);  // lfeexpstr
        if (first) {
            for (int ch = 0; ch < layout.fullBandwidth; ++ch)
                w.bits(0, 6);  // chbwcod: 73 bins
            for (int ch = 0; ch < layout.fullBandwidth; ++ch) {
                silentExponents(w, 6);
                w.bits(0, 2);  // gainrng
            }
            if (layout.lfe) silentExponents(w, 2);
        }
        w.flag(first);  // baie
        if (first) w.bits(2, 2).bits(1, 2).bits(1, 2).bits(2, 2).bits(7, 3);
        w.flag(first);  // snroffste
        if (first) {
            w.bits(0, 6);  // csnroffst
            for (int ch = 0; ch < layout.fullBandwidth + (layout.lfe ? 1 : 0); ++ch)
                w.bits(0, 4).bits(4, 3);  // fsnroffst, fgaincod
        }
        w.flag(false);  // deltbaie
        w.flag(false);  // skiple
    }
}

// The same silence in the frame syntax of Annex E: per-block exponent strategies, no
// adaptive hybrid transform, frame SNR offsets 0, default bit allocation.
void eac3SilentFrame(BitWriter& w, const ChannelLayout& layout) {
    w.flag(true).flag(false);  // expstre, ahte
    w.bits(0, 2);              // snroffststr: one offset for the frame
    for (int i = 0; i < 8; ++i)
        w.flag(
            false);  // transproce blkswe dithflage bamode frmfgaincode dbaflde skipflde spxattene
    w.flag(false);   // cplinu of block 0
    for (int blk = 1; blk < 6; ++blk)
        w.flag(false);  // cplstre
    for (int blk = 0; blk < 6; ++blk) {
        for (int ch = 0; ch < layout.fullBandwidth; ++ch)
            w.bits(blk == 0 ? 3 : 0, 2);  // chexpstr
    }
    if (layout.lfe) {
        for (int blk = 0; blk < 6; ++blk)
            w.flag(blk == 0);  // lfeexpstr
    }
    for (int ch = 0; ch < layout.fullBandwidth; ++ch)
        w.bits(0, 5);         // convexpstr
    w.bits(0, 6).bits(0, 4);  // frmcsnroffst, frmfsnroffst
    w.flag(false);            // blkstrtinfoe
    for (int blk = 0; blk < 6; ++blk) {
        const bool first = blk == 0;
        w.flag(false);  // dynrnge
        if (first) {
            w.flag(false);  // spxinu
        } else {
            w.flag(false);  // spxstre
        }
        if (first) {
            for (int ch = 0; ch < layout.fullBandwidth; ++ch)
                w.bits(0, 6);  // chbwcod
            for (int ch = 0; ch < layout.fullBandwidth; ++ch) {
                silentExponents(w, 6);
                w.bits(0, 2);  // gainrng
            }
            if (layout.lfe) silentExponents(w, 2);
        }
        w.flag(false);  // convsnroffste
    }
}

// The 16-bit value at bytes 2-3 that makes the CRC over bytes 2 .. end-1 zero. The CRC is
// linear in those bits, so it is found by elimination over their 16 unit contributions.
uint16_t crcWordAtFront(Bytes frame, size_t end) {
    frame[2] = frame[3] = 0;
    const std::span<const uint8_t> covered(frame.data() + 2, end - 2);
    uint16_t target = a52Crc(covered);
    Bytes unit(end - 2, 0);
    std::array<uint16_t, 16> columns{};
    for (int bit = 0; bit < 16; ++bit) {
        unit[0] = static_cast<uint8_t>((0x8000 >> bit) >> 8);
        unit[1] = static_cast<uint8_t>(0x8000 >> bit);
        columns[static_cast<size_t>(bit)] = a52Crc(unit);
    }
    // Solve sum(v_bit * columns[bit]) = target over GF(2).
    std::array<uint16_t, 16> combination{};  // which unit bits make up each column
    for (int bit = 0; bit < 16; ++bit)
        combination[static_cast<size_t>(bit)] = static_cast<uint16_t>(0x8000 >> bit);
    uint16_t solution = 0;
    size_t row = 0;
    for (int pivot = 15; pivot >= 0 && row < 16; --pivot) {
        size_t found = row;
        while (found < 16 && !((columns[found] >> pivot) & 1))
            ++found;
        if (found == 16) continue;
        std::swap(columns[row], columns[found]);
        std::swap(combination[row], combination[found]);
        for (size_t other = 0; other < 16; ++other) {
            if (other != row && ((columns[other] >> pivot) & 1)) {
                columns[other] ^= columns[row];
                combination[other] ^= combination[row];
            }
        }
        if ((target >> pivot) & 1) {
            target ^= columns[row];
            solution ^= combination[row];
        }
        ++row;
    }
    return solution;
}

void putWord(Bytes& frame, size_t at, uint16_t word) {
    frame[at] = static_cast<uint8_t>(word >> 8);
    frame[at + 1] = static_cast<uint8_t>(word);
}

Bytes ac3SilentFrame(const AudioFormat& format) {
    const ChannelLayout layout = layoutOf(format.channels);
    BitWriter w;
    w.bits(0x0B77, 16).bits(0, 16);                             // syncword, crc1 (set below)
    w.bits(0, 2).bits(frameSizeCode(format.bitRateKbps), 6);      // fscod 48 kHz, frmsizecod
    w.bits(8, 5).bits(0, 3).bits(layout.acmod, 3);              // bsid, bsmod, acmod
    if ((layout.acmod & 1) && layout.acmod != 1) w.bits(0, 2);  // cmixlev -3 dB
    if (layout.acmod & 4) w.bits(0, 2);                         // surmixlev -3 dB
    if (layout.acmod == 2) w.bits(0, 2);                        // dsurmod
    w.flag(layout.lfe).bits(27, 5);                             // lfeon, dialnorm -27 dB
    w.flag(false).flag(false).flag(false);                      // compre, langcode, audprodie
    w.flag(false).flag(true);                                   // copyrightb, origbs
    w.flag(false).flag(false).flag(false);                      // timecod1e, timecod2e, addbsie
    ac3SilentBlocks(w, layout);
    Bytes frame = w.data();
    const size_t size = frameBytes(format.bitRateKbps);
    frame.resize(size, 0);
    // crc1 covers the first five eighths of the frame after the syncword, crc2 the rest.
    const size_t words = size / 2;
    const size_t fiveEighths = 2 * ((words >> 1) + (words >> 3));
    putWord(frame, 2, crcWordAtFront(frame, fiveEighths));
    putWord(frame, size - 2,
            a52Crc(std::span<const uint8_t>(frame).subspan(fiveEighths, size - 2 - fiveEighths)));
    return frame;
}

Bytes eac3SilentFrame(const AudioFormat& format) {
    const ChannelLayout layout = layoutOf(format.channels);
    const size_t size = frameBytes(format.bitRateKbps);
    BitWriter w;
    w.bits(0x0B77, 16);
    w.bits(0, 2).bits(0, 3).bits(size / 2 - 1, 11);  // strmtyp independent, substreamid, frmsiz
    w.bits(0, 2).bits(3, 2);                         // fscod 48 kHz, numblkscod: six blocks
    w.bits(layout.acmod, 3).flag(layout.lfe).bits(16, 5);  // acmod, lfeon, bsid
    w.bits(27, 5).flag(false);                             // dialnorm, compre
    w.flag(false).flag(false).flag(false);                 // mixmdate, infomdate, addbsie
    eac3SilentFrame(w, layout);
    Bytes frame = w.data();
    frame.resize(size, 0);
    putWord(frame, size - 2, a52Crc(std::span<const uint8_t>(frame).subspan(2, size - 4)));
    return frame;
}

std::string ffmpegCommand(const AudioFormat& format, int frames) {
    // A little more than asked: the encoder's delay costs a frame at the end.
    const double seconds = (frames + 2) * 1536.0 / 48000.0;
    char command[512];
    std::snprintf(command, sizeof command,
                  "ffmpeg -nostdin -v error -f lavfi -i sine=frequency=%d:sample_rate=48000:"
                  "duration=%.3f -ac %d -c:a %s -b:a %dk -fflags +bitexact -flags:a +bitexact "
                  "-f %s pipe:1 2>/dev/null",
                  format.toneHz, seconds, format.channels, format.enhanced ? "eac3" : "ac3",
                  format.bitRateKbps, format.enhanced ? "eac3" : "ac3");
    return command;
}

}  // namespace

uint16_t a52Crc(std::span<const uint8_t> bytes, uint16_t crc) {
    for (uint8_t b : bytes) {
        crc ^= static_cast<uint16_t>(b << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x8005 : crc << 1);
    }
    return crc;
}

std::vector<Bytes> splitSyncframes(std::span<const uint8_t> stream) {
    std::vector<Bytes> frames;
    size_t at = 0;
    while (at + 6 <= stream.size() && stream[at] == 0x0B && stream[at + 1] == 0x77) {
        const int bsid = stream[at + 5] >> 3;
        size_t size = 0;
        if (bsid > 10) {
            size = 2 * ((((stream[at + 2] & 0x07) << 8) | stream[at + 3]) + 1);
        } else {
            const size_t index = (stream[at + 4] & 0x3F) >> 1;
            if ((stream[at + 4] >> 6) != 0 || index >= kBitRatesKbps.size()) break;
            size = frameBytes(kBitRatesKbps[index]);
        }
        if (at + size > stream.size()) break;
        frames.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(at),
                            stream.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
    }
    return frames;
}

std::optional<std::vector<Bytes>> encodeWithFfmpeg(const AudioFormat& format, int frames) {
    FILE* pipe = popen(ffmpegCommand(format, frames).c_str(), "r");
    if (!pipe) return std::nullopt;
    Bytes stream;
    uint8_t buffer[65536];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        stream.insert(stream.end(), buffer, buffer + n);
    if (pclose(pipe) != 0) return std::nullopt;
    std::vector<Bytes> split = splitSyncframes(stream);
    if (split.size() < static_cast<size_t>(frames)) return std::nullopt;
    split.resize(static_cast<size_t>(frames));
    return split;
}

std::vector<Bytes> synthesiseSyncframes(const AudioFormat& format, int frames) {
    const Bytes frame = format.enhanced ? eac3SilentFrame(format) : ac3SilentFrame(format);
    return std::vector<Bytes>(static_cast<size_t>(frames), frame);
}

}  // namespace morvale::sample
