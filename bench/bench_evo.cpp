#include "bench_evo.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "support/bit_writer.h"
#include "support/program_stream_builder.h"

namespace morvale::bench {

namespace ps = morvale::testing;

namespace {

constexpr int kGopFrames = 12;
constexpr uint64_t kFrameTicks = 3754;  // 90 kHz ticks of a 24000/1001 Hz frame
constexpr uint64_t kStartPts = 90000;   // one second; audio and video start together
// About 14.7 Mbit/s: 60 KiB frames at 23.976 Hz make the video's 80 %.
constexpr uint32_t kMuxRate = 36750;     // units of 50 bytes/s
constexpr uint64_t kPackTicks = 100;     // 90 kHz ticks per pack at that rate
constexpr uint64_t kAudioDelay = 20000;  // audio and subpicture PTS ahead of the SCR

// SMPTE 421M Annex E: inside the coded data, two zero bytes followed by a byte of 0-3 get an
// emulation prevention byte 0x03 between them.
class EscapedWriter {
  public:
    explicit EscapedWriter(Bytes& out) : out_(out) {}
    void put(uint8_t b) {
        if (zeros_ >= 2 && b <= 3) {
            out_.push_back(0x03);
            zeros_ = 0;
        }
        out_.push_back(b);
        zeros_ = b == 0 ? zeros_ + 1 : 0;
    }

  private:
    Bytes& out_;
    int zeros_ = 0;
};

// An advanced-profile sequence header (1920x1080, 23.976 Hz, display extension) and an
// entry point header, as the first bytes of every group of pictures.
Bytes vc1SequenceStart() {
    ps::BitWriter w;
    w.bytes({0x00, 0x00, 0x01, 0x0F});
    w.bits(3, 2).bits(3, 3).bits(1, 2);               // PROFILE advanced, LEVEL 3, COLORDIFF 4:2:0
    w.bits(7, 3).bits(31, 5).flag(false);             // FRMRTQ, BITRTQ, POSTPROCFLAG
    w.bits(1920 / 2 - 1, 12).bits(1080 / 2 - 1, 12);  // MAX_CODED_WIDTH/HEIGHT
    w.flag(false).flag(false).flag(false).flag(false);  // PULLDOWN INTERLACE TFCNTR FINTERP
    w.flag(true).flag(false).flag(true);                // reserved, PSF, DISPLAY_EXT
    w.bits(1920 - 1, 14).bits(1080 - 1, 14);            // DISPLAY_HORIZ/VERT_SIZE
    w.flag(true).bits(1, 4);                            // ASPECT_RATIO_FLAG, 1:1
    w.flag(true).flag(false).bits(1, 8).bits(2, 4);     // FRAMERATE: 24000/1001
    w.flag(false).flag(false);                          // COLOR_FORMAT, HRD_PARAM
    w.alignWithZeros();
    w.bytes({0x00, 0x00, 0x01, 0x0E});
    w.bits(0, 2).flag(true).flag(false).flag(false).flag(true);  // entry point flags
    w.flag(false).flag(true).bits(1, 2).flag(true).flag(false);
    w.flag(false);  // CODED_SIZE_FLAG
    w.alignWithZeros();
    Bytes out = w.data();
    out.push_back(0x80);  // rbsp trailing byte
    return out;
}

// Elementary streams made of frames (audio) or units (subpictures), taken packet by packet.
class FramedStream {
  public:
    using FrameMaker = std::function<void(Random&, Bytes&)>;
    FramedStream(uint64_t seed, FrameMaker maker, uint64_t bytesPerSecond = 0)
        : random_(seed), maker_(std::move(maker)), bytesPerSecond_(bytesPerSecond) {}

    Bytes take(size_t n) {
        while (pending_.size() - consumed_ < n)
            makeFrame();
        Bytes out(pending_.begin() + static_cast<std::ptrdiff_t>(consumed_),
                  pending_.begin() + static_cast<std::ptrdiff_t>(consumed_ + n));
        consumed_ += n;
        bytesTaken_ += n;
        if (consumed_ > (1u << 16)) {
            pending_.erase(pending_.begin(),
                           pending_.begin() + static_cast<std::ptrdiff_t>(consumed_));
            for (size_t& end : frameEnds_)
                end -= consumed_;
            consumed_ = 0;
        }
        return out;
    }

    // Bytes left of the frame the next byte belongs to.
    size_t untilFrameEnd() {
        while (!frameEnds_.empty() && frameEnds_.front() <= consumed_)
            frameEnds_.erase(frameEnds_.begin());
        if (frameEnds_.empty()) makeFrame();
        return frameEnds_.front() - consumed_;
    }
    bool atFrameStart() { return bytesTaken_ == 0 || untilFrameEnd() == frameSize(); }

    // The presentation time of the next byte, from the stream's nominal rate.
    uint64_t pts() const { return bytesTaken_ * 90000 / bytesPerSecond_; }

  private:
    void makeFrame() {
        const size_t before = pending_.size();
        maker_(random_, pending_);
        frameEnds_.push_back(pending_.size());
        lastFrameSize_ = pending_.size() - before;
    }
    size_t frameSize() const { return frameEnds_.size() == 1 ? lastFrameSize_ : 0; }

    Random random_;
    FrameMaker maker_;
    uint64_t bytesPerSecond_;
    Bytes pending_;
    std::vector<size_t> frameEnds_;  // offsets in pending_ after each frame
    size_t lastFrameSize_ = 0;
    size_t consumed_ = 0;
    uint64_t bytesTaken_ = 0;
};

void appendRandom(Random& random, Bytes& out, size_t n) {
    const size_t at = out.size();
    out.resize(at + n);
    for (size_t i = 0; i < n; i += 8) {
        const uint64_t v = random.next();
        std::memcpy(out.data() + at + i, &v, std::min<size_t>(8, n - i));
    }
}

// Dolby Digital Plus at 640 kbit/s: 2,560-byte syncframes of six blocks, 3/2 with LFE.
void ddPlusFrame(Random& random, Bytes& out) {
    constexpr int kFrameWords = 1280;
    ps::BitWriter w;
    w.bits(0x0B77, 16).bits(0, 2).bits(0, 3).bits(kFrameWords - 1, 11);
    w.bits(0, 2).bits(3, 2).bits(7, 3).bits(1, 1).bits(16, 5).bits(27, 5).flag(false);
    w.alignWithZeros();
    const Bytes& header = w.data();
    out.insert(out.end(), header.begin(), header.end());
    appendRandom(random, out, 2 * kFrameWords - header.size());
}

// DTS at 768 kbit/s: 1,006-byte frames of 512 samples, 5.1 at 48 kHz, each led by the core
// frame header.
void dtsFrame(Random& random, Bytes& out) {
    constexpr int kFrameBytes = 1006;
    ps::BitWriter w;
    w.bits(0x7FFE8001, 32);
    w.flag(true).bits(31, 5).flag(false).bits(15, 7).bits(kFrameBytes - 1, 14);  // 16 blocks
    w.bits(9, 6).bits(13, 4).bits(15, 5);            // AMODE 3/2, SFREQ 48 kHz, RATE 768 kbit/s
    w.bits(0, 9).flag(true).bits(2, 2).flag(false);  // no extensions, ASPF, LFF 128
    w.flag(false).bits(7, 4).bits(0, 2).bits(6, 3).bits(0, 6);  // FILTS VERNUM CHIST PCMR
    w.bits(0, 4).bits(4, 3);  // one subframe, five primary channels
    w.alignWithZeros();
    const Bytes& header = w.data();
    out.insert(out.end(), header.begin(), header.end());
    appendRandom(random, out, kFrameBytes - header.size());
}

// 16-bit stereo LPCM at 48 kHz, big-endian as DVD LPCM carries it: two tones with a little
// noise, so the samples are neither silent nor random.
void lpcmSamples(Random& random, Bytes& out) {
    constexpr int kSamples = 480;  // 10 ms
    constexpr double kPi = 3.14159265358979;
    const size_t at = out.size();
    out.resize(at + kSamples * 4);
    for (size_t n = 0; n < kSamples; ++n) {
        const double t = static_cast<double>(n) / 48000.0;
        const int noise = static_cast<int>(random.next() % 64) - 32;
        const int left = static_cast<int>(9000 * std::sin(2 * kPi * 400 * t)) + noise;
        const int right = static_cast<int>(7000 * std::sin(2 * kPi * 600 * t)) + noise;
        const uint16_t samples[] = {static_cast<uint16_t>(left), static_cast<uint16_t>(right)};
        for (size_t c = 0; c < 2; ++c) {
            out[at + 4 * n + 2 * c] = static_cast<uint8_t>(samples[c] >> 8);
            out[at + 4 * n + 2 * c + 1] = static_cast<uint8_t>(samples[c]);
        }
    }
}

// A subpicture unit: its size, the offset of its display control sequence, the run-length
// coded bitmap and the control sequence.
void subpictureUnit(Random& random, Bytes& out) {
    const size_t size = random.between(2000, 9000);
    const size_t at = out.size();
    appendRandom(random, out, size);
    out[at] = static_cast<uint8_t>(size >> 8);
    out[at + 1] = static_cast<uint8_t>(size);
    out[at + 2] = static_cast<uint8_t>((size - 24) >> 8);
    out[at + 3] = static_cast<uint8_t>(size - 24);
}

enum class Kind { Video, Lpcm, DdPlus, Dts, Sub0, Sub1, Navigation, Padding };
struct Share {
    Kind kind;
    double share;
};
constexpr std::array<Share, 8> kShares = {{
    {Kind::Video, 0.780},
    {Kind::Lpcm, 0.105},
    {Kind::DdPlus, 0.044},
    {Kind::Dts, 0.052},
    {Kind::Sub0, 0.006},
    {Kind::Sub1, 0.004},
    {Kind::Navigation, 0.003},
    {Kind::Padding, 0.006},
}};

// Picks, pack by pack, the stream furthest behind its share: a steady interleave.
class Scheduler {
  public:
    Kind next() {
        ++packs_;
        size_t best = 0;
        double bestLag = -1e300;
        for (size_t k = 0; k < kShares.size(); ++k) {
            const double lag =
                kShares[k].share * static_cast<double>(packs_) - static_cast<double>(counts_[k]);
            if (lag > bestLag) bestLag = lag, best = k;
        }
        ++counts_[best];
        return kShares[best].kind;
    }

  private:
    uint64_t packs_ = 0;
    std::array<uint64_t, kShares.size()> counts_{};
};

class EvoMaker {
  public:
    explicit EvoMaker(uint64_t seed)
        : video_(seed),
          lpcm_(seed + 1, lpcmSamples, 192'000),
          ddPlus_(seed + 2, ddPlusFrame, 80'000),
          dts_(seed + 3, dtsFrame, 94'312),
          sub0_(seed + 4, subpictureUnit),
          sub1_(seed + 5, subpictureUnit),
          random_(seed + 6) {}

    Bytes nextPack() {
        const ps::PackHeader header = ps::PackHeader().scr(packIndex_ * kPackTicks).rate(kMuxRate);
        const uint64_t now = kStartPts + packIndex_ * kPackTicks;
        ++packIndex_;
        // The first pack of the file is a navigation pack, as in every EVO.
        const Kind kind = packIndex_ == 1 ? Kind::Navigation : scheduler_.next();
        switch (kind) {
            case Kind::Video:
                return videoPack(header);
            case Kind::Lpcm:
                return audioPack(header, 0xA1, lpcm_);
            case Kind::DdPlus:
                return audioPack(header, 0xC0, ddPlus_);
            case Kind::Dts:
                return audioPack(header, 0x8A, dts_);
            case Kind::Sub0:
                return subpicturePack(header, 0x20, sub0_, now);
            case Kind::Sub1:
                return subpicturePack(header, 0x21, sub1_, now);
            case Kind::Navigation:
                return navigationPack(header);
            case Kind::Padding:
                break;
        }
        return ps::pack({}, header);
    }

  private:
    // One VC-1 packet filling the pack; a packet in which a frame starts carries the frame's
    // PTS and DTS (a start in the ten bytes a stamped header would not leave room for goes
    // unstamped).
    Bytes videoPack(const ps::PackHeader& header) {
        const ps::PesHeader plain = ps::PesHeader().streamIdExtension(0x55);
        int64_t frame = -1;
        Bytes payload = video_.take(ps::payloadRoomInPack(plain) - 10, &frame);
        if (frame < 0) {
            Bytes more = video_.take(10);
            payload.insert(payload.end(), more.begin(), more.end());
            return ps::pack({ps::pesPacket(0xFD, plain, payload)}, header);
        }
        const uint64_t dts = kStartPts + static_cast<uint64_t>(frame) * kFrameTicks;
        ps::PesHeader stamped = plain;
        stamped.pts(dts + kFrameTicks).dts(dts);
        return ps::pack({ps::pesPacket(0xFD, stamped, payload)}, header);
    }

    // Audio packets with a PTS each; most fill their pack, some leave room for padding.
    Bytes audioPack(const ps::PackHeader& header, uint8_t id, FramedStream& stream) {
        const ps::PesHeader pes = ps::PesHeader().pts(kStartPts + kAudioDelay + stream.pts());
        size_t room = ps::payloadRoomInPack(pes, ps::subStreamHeader(id).size());
        if (random_.between(0, 9) == 0) room -= random_.between(8, 200);
        return ps::pack({ps::privateStream1Packet(id, pes, stream.take(room))}, header);
    }

    // Subpicture units over several packets; the first packet of a unit has its PTS, the
    // last one ends with the unit.
    Bytes subpicturePack(const ps::PackHeader& header, uint8_t id, FramedStream& stream,
                         uint64_t now) {
        ps::PesHeader pes;
        if (stream.atFrameStart()) pes.pts(now + kAudioDelay);
        const size_t room = std::min(ps::payloadRoomInPack(pes, 1), stream.untilFrameEnd());
        return ps::pack({ps::privateStream1Packet(id, pes, stream.take(room))}, header);
    }

    // A navigation pack: system header, then the presentation and search information in
    // two private stream 2 packets that fill the pack.
    Bytes navigationPack(const ps::PackHeader& header) {
        const Bytes system = ps::systemHeader(
            3, 1, {{0xFD, true, 1000}, {0xBD, true, 58}, {0xBE, false, 2}, {0xBF, true, 2}},
            kMuxRate);
        const size_t room = ps::kPackSize - ps::kPackHeaderSize - system.size();
        Bytes pci, dsi;
        appendRandom(random_, pci, 980);
        appendRandom(random_, dsi, room - 6 - 980 - 6);
        pci[0] = 0x00;  // sub-stream id of the presentation control information
        dsi[0] = 0x01;  // sub-stream id of the search information
        return ps::pack({system, ps::privateStream2Packet(pci), ps::privateStream2Packet(dsi)},
                        header);
    }

    Vc1Stream video_;
    FramedStream lpcm_, ddPlus_, dts_, sub0_, sub1_;
    Random random_;
    Scheduler scheduler_;
    uint64_t packIndex_ = 0;
};

}  // namespace

Vc1Stream::Vc1Stream(uint64_t seed) : random_(seed) {}

void Vc1Stream::appendStartCode(uint8_t code) {
    // Encoders may put zero bytes before a start code; one in four does here.
    if (random_.between(0, 3) == 0) pending_.insert(pending_.end(), random_.between(1, 32), 0);
    const uint8_t startCode[] = {0x00, 0x00, 0x01, code};
    pending_.insert(pending_.end(), startCode, startCode + 4);
}

// Entropy-coded bytes with runs of zeros (skipped blocks, flat areas) every few KiB, all
// escaped as the encapsulation requires.
void Vc1Stream::appendCodedBytes(size_t n) {
    EscapedWriter out(pending_);
    size_t written = 0;
    while (written < n) {
        const size_t stretch = std::min<size_t>(n - written, random_.between(1024, 8192));
        for (size_t i = 0; i < stretch; i += 8) {
            uint64_t v = random_.next();
            for (size_t k = 0; k < 8 && i + k < stretch; ++k, v >>= 8)
                out.put(static_cast<uint8_t>(v));
        }
        written += stretch;
        if (written >= n) break;
        const size_t zeros = std::min<size_t>(n - written, random_.between(16, 400));
        for (size_t k = 0; k < zeros; ++k)
            out.put(0x00);
        out.put(static_cast<uint8_t>(0x80 | random_.next()));  // the run's end
        written += zeros + 1;
    }
}

// A frame: I frames about 200 KiB, P frames 70 KiB, B frames 35 KiB (60 KiB on average over
// a group), with a slice start code every 16 KiB or so.
void Vc1Stream::appendFrame() {
    const int position = static_cast<int>(frames_ % kGopFrames);
    if (position == 0) {
        appendStartCode(0x0F);
        const Bytes start = vc1SequenceStart();
        pending_.insert(pending_.end(), start.begin() + 4, start.end());
    }
    size_t size = 0;
    if (position == 0) {
        size = random_.between(180, 220) * 1024;
    } else if (position % 3 == 0) {
        size = random_.between(55, 85) * 1024;
    } else {
        size = random_.between(25, 45) * 1024;
    }
    appendStartCode(0x0D);
    frameStarts_.push_back({pending_.size() - 4, frames_});
    ++frames_;
    size_t done = 0;
    while (done < size) {
        const size_t slice = std::min<size_t>(size - done, random_.between(12, 20) * 1024);
        appendCodedBytes(slice);
        done += slice;
        if (done < size) appendStartCode(0x0B);
    }
}

Bytes Vc1Stream::take(size_t n, int64_t* firstFrame) {
    while (pending_.size() - consumed_ < n + 4)
        appendFrame();
    if (firstFrame) {
        *firstFrame = -1;
        for (const FrameStart& start : frameStarts_) {
            if (start.offset >= consumed_ && start.offset + 4 <= consumed_ + n) {
                *firstFrame = start.index;
                break;
            }
        }
    }
    Bytes out(pending_.begin() + static_cast<std::ptrdiff_t>(consumed_),
              pending_.begin() + static_cast<std::ptrdiff_t>(consumed_ + n));
    consumed_ += n;
    if (consumed_ > (1u << 20)) {
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(consumed_));
        std::erase_if(frameStarts_,
                      [this](const FrameStart& start) { return start.offset < consumed_; });
        for (FrameStart& start : frameStarts_)
            start.offset -= consumed_;
        consumed_ = 0;
    }
    return out;
}

void makeBenchEvo(uint64_t packCount, uint64_t seed,
                  const std::function<void(std::span<const uint8_t>)>& sink) {
    EvoMaker maker(seed);
    Bytes chunk;
    constexpr size_t kChunkPacks = 512;
    chunk.reserve(kChunkPacks * ps::kPackSize);
    for (uint64_t k = 0; k < packCount; ++k) {
        const Bytes pack = maker.nextPack();
        chunk.insert(chunk.end(), pack.begin(), pack.end());
        if (chunk.size() == kChunkPacks * ps::kPackSize || k + 1 == packCount) {
            sink(chunk);
            chunk.clear();
        }
    }
}

Bytes benchEvoBytes(uint64_t packCount, uint64_t seed) {
    Bytes out;
    out.reserve(packCount * ps::kPackSize);
    makeBenchEvo(packCount, seed, [&out](std::span<const uint8_t> bytes) {
        out.insert(out.end(), bytes.begin(), bytes.end());
    });
    return out;
}

}  // namespace morvale::bench
