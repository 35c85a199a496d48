// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <array>

#include "reports/lpcm_format.h"
#include "export/wav_writer.h"
#include "support/matroska_peers.h"
#include "support/peer_tools.h"
#include "support/program_stream_builder.h"
#include "support/temp_dir.h"

namespace morvale {
namespace {

using testing::Bytes;
using testing::quoted;
using testing::TempDir;

// The LPCM sub-stream 0xA0 of a program stream: the three format bytes of its first packet
// and the payloads after the seven-byte sub-stream headers, walked pack by pack and packet
// by packet (MPEG-2 systems).
struct LpcmStream {
    std::array<uint8_t, 3> header{};
    Bytes payload;
};

LpcmStream lpcmStreamOf(const Bytes& ps) {
    LpcmStream stream;
    bool first = true;
    size_t i = 0;
    while (i + 6 <= ps.size() && ps[i] == 0 && ps[i + 1] == 0 && ps[i + 2] == 1) {
        const uint8_t id = ps[i + 3];
        if (id == 0xB9) break;
        if (id == 0xBA) {
            i += 14 + (ps[i + 13] & 7);
            continue;
        }
        const size_t end = i + 6 + (size_t{ps[i + 4]} << 8 | ps[i + 5]);
        const size_t payload = i + 9 + ps[i + 8];
        if (id == 0xBD && ps[payload] == 0xA0) {
            if (first)
                std::copy(ps.begin() + long(payload) + 4, ps.begin() + long(payload) + 7,
                          stream.header.begin());
            first = false;
            stream.payload.insert(stream.payload.end(), ps.begin() + long(payload) + 7,
                                  ps.begin() + long(end));
        }
        i = end;
    }
    return stream;
}

// Writes the stream as WAV through the writer in pieces of `piece` bytes, so blocks are
// split between pieces as packets split them.
void writeWav(const std::string& path, const LpcmStream& stream, LpcmLayout layout, size_t piece) {
    const std::optional<LpcmFormat> format = decodeLpcmHeader(stream.header, layout);
    ASSERT_TRUE(format);
    LpcmWavWriter writer(path, *format, layout);
    for (size_t at = 0; at < stream.payload.size(); at += piece) {
        writer.write(
            std::span(stream.payload).subspan(at, std::min(piece, stream.payload.size() - at)));
    }
    EXPECT_EQ(writer.close(), 0u);
}

// The samples of the WAV's data chunk (after the fixed header the writer puts first).
Bytes wavSamples(const std::string& path, const WavFormat& format) {
    Bytes bytes = testing::readFileBytes(path);
    const size_t header = wavHeader(format, 0).size();
    return Bytes(bytes.begin() + long(header), bytes.end());
}

// ffmpeg's decode of the program stream's LPCM as little-endian samples.
Bytes ffmpegSamples(const TempDir& dir, const std::string& source, int bits) {
    const std::string codec = bits == 16 ? "s16le" : "s24le";
    const std::string out = dir.file("ffmpeg." + codec);
    testing::shellSucceeds("ffmpeg -v error -y -i " + quoted(source) + " -c:a pcm_" + codec +
                           " -f " + codec + " " + quoted(out));
    return testing::readFileBytes(out);
}

void expectMkvmergeTakes(const std::string& wav, int channels, int rate, int bits) {
    const nlohmann::json id = testing::mkvmergeIdentify(wav);
    ASSERT_EQ(id["tracks"].size(), 1u) << id.dump();
    const nlohmann::json& properties = id["tracks"][0]["properties"];
    EXPECT_EQ(id["tracks"][0]["codec"], "PCM");
    EXPECT_EQ(properties["audio_channels"], channels);
    EXPECT_EQ(properties["audio_sampling_frequency"], rate);
    EXPECT_EQ(properties["audio_bits_per_sample"], bits);
}

struct FfmpegCase {
    const char* sampleFormat;  // what ffmpeg's pcm_dvd encoder takes: s16 -> 16 bits, s32 -> 24
    int bits;
    int channels;
    int rate;
};

void PrintTo(const FfmpegCase& c, std::ostream* out) {
    *out << c.bits << "-bit " << c.channels << " channels " << c.rate << " Hz";
}

class FfmpegLpcmTest : public ::testing::TestWithParam<FfmpegCase> {};

TEST_P(FfmpegLpcmTest, WavSamplesEqualFfmpegsDecodeAndMkvmergeTakesThem) {
    if (!testing::haveMatroskaPeers()) GTEST_SKIP() << "mkvmerge or ffmpeg missing";
    const FfmpegCase& c = GetParam();
    TempDir dir;
    const std::string vob = dir.file("lpcm.vob");
    const std::string layout = c.channels == 6 ? "5.1(side)" : c.channels == 2 ? "stereo" : "mono";
    ASSERT_TRUE(testing::shellSucceeds(
        "ffmpeg -v error -y -f lavfi -i "
        "\"aevalsrc=sin(440*2*PI*t)*0.9|-sin(97*2*PI*t)|0.5*sin(5000*2*PI*t)|"
        "random(1)-0.5|sin(30*2*PI*t)|0.2*sin(2*PI*t*t*900):c=5.1(side):s=" +
        std::to_string(c.rate) + ":d=0.4\" -af \"aformat=sample_fmts=" + c.sampleFormat +
        ":channel_layouts=" + layout + "\" -c:a pcm_dvd -f vob " + quoted(vob)));
    const LpcmStream stream = lpcmStreamOf(testing::readFileBytes(vob));
    const std::string wav = dir.file("lpcm.wav");
    writeWav(wav, stream, LpcmLayout::Dvd, 1001);

    const WavFormat format{c.channels, c.rate, c.bits};
    const Bytes expected = ffmpegSamples(dir, vob, c.bits);
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(wavSamples(wav, format) == expected) << "the samples differ from ffmpeg's";
    EXPECT_TRUE(ffmpegSamples(dir, wav, c.bits) == expected) << "ffmpeg reads the WAV otherwise";
    expectMkvmergeTakes(wav, c.channels, c.rate, c.bits);
}

const FfmpegCase kFfmpegCases[] = {
    {"s16", 16, 1, 48000}, {"s16", 16, 2, 48000}, {"s16", 16, 6, 48000},
    {"s32", 24, 1, 48000}, {"s32", 24, 2, 96000}, {"s32", 24, 6, 48000},
};
INSTANTIATE_TEST_SUITE_P(PcmDvd, FfmpegLpcmTest, ::testing::ValuesIn(kFfmpegCases),
                         [](const auto& info) {
                             return std::to_string(info.param.bits) + "bit" +
                                    std::to_string(info.param.channels) + "ch" +
                                    std::to_string(info.param.rate / 1000) + "k";
                         });

// 20-bit DVD samples: ffmpeg decodes them but cannot write them, so the program stream is
// built here: two sample frames at a time, in groups of four samples (two for mono), the
// upper 16 bits of each sample of a group, then their low nibbles, two to a byte.
Bytes dvd20Payload(const std::vector<int32_t>& samples, int channels) {
    Bytes out;
    const size_t block = size_t(2 * channels);
    for (size_t b = 0; b + block <= samples.size(); b += block) {
        for (size_t g = 0; g < block; g += 4) {
            const size_t n = std::min<size_t>(4, block - g);
            for (size_t k = 0; k < n; ++k) {
                const uint32_t s = uint32_t(samples[b + g + k]);
                out.push_back(uint8_t(s >> 12));
                out.push_back(uint8_t(s >> 4));
            }
            for (size_t k = 0; k < n; k += 2) {
                const uint8_t high = uint8_t((samples[b + g + k] & 0xF) << 4);
                const uint8_t low = k + 1 < n ? uint8_t(samples[b + g + k + 1] & 0xF) : 0;
                out.push_back(high | low);
            }
        }
    }
    return out;
}

testing::Bytes lpcmProgramStream(const Bytes& payload, uint8_t formatByte) {
    testing::ProgramStream ps;
    const size_t room = testing::payloadRoomInPack(testing::PesHeader().pts(90000), 7) / 10 * 10;
    uint64_t pts = 90000;
    for (size_t at = 0; at < payload.size(); at += room) {
        Bytes body = {0xA0, 0x01, 0x00, 0x04, 0x00, formatByte, 0x80};
        const size_t n = std::min(room, payload.size() - at);
        body.insert(body.end(), payload.begin() + long(at), payload.begin() + long(at + n));
        ps.addPack({testing::pesPacket(0xBD, testing::PesHeader().pts(pts), body)},
                   testing::PackHeader().scr(pts));
        pts += 300;
    }
    return ps.bytes();
}

TEST(Lpcm20BitTest, WavSamplesEqualFfmpegsDecodeOfABuiltStream) {
    if (!testing::haveMatroskaPeers()) GTEST_SKIP() << "mkvmerge or ffmpeg missing";
    for (int channels : {1, 2, 6}) {
        TempDir dir;
        std::vector<int32_t> samples;
        testing::Bytes noise = testing::filler(4000 * 3 * size_t(channels), uint8_t(channels));
        for (size_t i = 0; i + 2 < noise.size(); i += 3) {
            const int32_t s =
                int32_t(
                    (uint32_t(noise[i]) << 12 | uint32_t(noise[i + 1]) << 4 | (noise[i + 2] & 0xF))
                    << 12) >>
                12;
            samples.push_back(s);
        }
        const uint8_t formatByte = uint8_t(0x40 | (channels - 1));  // 20 bits, 48 kHz
        const std::string vob = dir.file("lpcm20.vob");
        testing::writeFileBytes(vob,
                                lpcmProgramStream(dvd20Payload(samples, channels), formatByte));
        const LpcmStream stream = lpcmStreamOf(testing::readFileBytes(vob));
        const std::string wav = dir.file("lpcm20.wav");
        writeWav(wav, stream, LpcmLayout::Dvd, 333);
        const Bytes expected = ffmpegSamples(dir, vob, 20);
        ASSERT_FALSE(expected.empty()) << channels;
        EXPECT_TRUE(wavSamples(wav, {channels, 48000, 20}) == expected) << channels << " channels";
        expectMkvmergeTakes(wav, channels, 48000, 24);
    }
}

TEST(LpcmHeaderTest, DecodesWordLengthRateAndChannelsByLayout) {
    struct Case {
        std::array<uint8_t, 3> header;
        LpcmLayout layout;
        std::optional<LpcmFormat> format;
    };
    const Case cases[] = {
        {{0x0C, 0x01, 0x80}, LpcmLayout::Dvd, LpcmFormat{16, 48000, 2, false, false, 12, 0x80}},
        {{0xC3, 0x95, 0x10}, LpcmLayout::Dvd, LpcmFormat{24, 96000, 6, true, true, 3, 0x10}},
        {{0x00, 0x47, 0x80}, LpcmLayout::Dvd, LpcmFormat{20, 48000, 8, false, false, 0, 0x80}},
        {{0x00, 0xA1, 0x80}, LpcmLayout::HdDvd, LpcmFormat{24, 192000, 2, false, false, 0, 0x80}},
        {{0x00, 0xA1, 0x80}, LpcmLayout::Dvd, std::nullopt},    // 192 kHz is not DVD-Video's
        {{0x00, 0xC1, 0x80}, LpcmLayout::HdDvd, std::nullopt},  // reserved word length
        {{0x00, 0x31, 0x80}, LpcmLayout::HdDvd, std::nullopt},  // reserved rate
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decodeLpcmHeader(c.header, c.layout), c.format)
            << std::hex << int(c.header[0]) << " " << int(c.header[1]);
    }
}

TEST(LpcmHeaderTest, HdDvdSamplesAreInterleavedBigEndianWords) {
    struct Case {
        int bits, channels;
        Bytes in, out;
    };
    const Case cases[] = {
        {16, 2, {0x12, 0x34, 0xAB, 0xCD, 0x01}, {0x34, 0x12, 0xCD, 0xAB}},
        {24, 2, {0x12, 0x34, 0x56, 0xAB, 0xCD, 0xEF}, {0x56, 0x34, 0x12, 0xEF, 0xCD, 0xAB}},
        {20, 1, {0x80, 0x00, 0x1F, 0x7F, 0xFF, 0xF0}, {0x10, 0x00, 0x80, 0xF0, 0xFF, 0x7F}},
    };
    for (const Case& c : cases) {
        Bytes out;
        const size_t used =
            convertLpcmBlocks(c.in, {c.bits, 48000, c.channels}, LpcmLayout::HdDvd, out);
        EXPECT_EQ(used, c.in.size() / size_t(c.channels * (c.bits > 16 ? 3 : 2)) *
                            size_t(c.channels * (c.bits > 16 ? 3 : 2)));
        EXPECT_EQ(out, c.out) << c.bits;
    }
}

TEST(WavHeaderTest, BecomesRf64BeyondFourGibibytesAndPeersReadBoth) {
    if (!testing::haveMatroskaPeers()) GTEST_SKIP() << "mkvmerge or ffmpeg missing";
    struct Case {
        uint64_t dataBytes;
        const char* riff;
    };
    const WavFormat format{2, 48000, 24};
    for (const Case& c : {Case{6'000'000, "RIFF"}, Case{(uint64_t{5} << 30) + 6 * 1000, "RF64"}}) {
        TempDir dir;
        const std::string wav = dir.file("big.wav");
        const Bytes header = wavHeader(format, c.dataBytes);
        testing::writeSparseFile(wav, header.size() + c.dataBytes, {{0, header}});
        EXPECT_EQ(std::string(header.begin(), header.begin() + 4), c.riff);
        const double seconds = double(c.dataBytes) / format.frameBytes() / format.sampleRate;
        const std::string probed = testing::shellOutput(
            "ffprobe -v error -show_entries format=duration -of csv=p=0 " + quoted(wav));
        EXPECT_NEAR(std::stod(probed), seconds, 0.01) << c.riff;
        expectMkvmergeTakes(wav, 2, 48000, 24);
    }
}

}  // namespace
}  // namespace morvale
