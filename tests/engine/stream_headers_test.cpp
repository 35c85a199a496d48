// SPDX-License-Identifier: MIT
// What a stream's first header says: the frame period and picture size of a video stream
// (for the running time of the frame-count summary and the hand-off), the rate and channels
// of an audio stream. MPEG-1 and MPEG-2 video, H.264 and audio streams from ffmpeg's
// encoders, SMPTE 421M sequence headers built field by field. However the pieces of the
// stream are cut, the facts are the same.

#include "engine/stream_headers.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>

#include "support/bit_writer.h"
#include "support/peer_tools.h"
#include "support/program_stream_builder.h"
#include "support/temp_dir.h"
#include "support/vc1_sequence_header.h"

namespace morvale::testing {
namespace {

// What the header says: period and size of video, rate and channels of audio.
struct Facts {
    std::optional<FramePeriod> period;
    uint32_t width = 0, height = 0;
    int32_t rate = 0;
    int channels = 0;
    friend bool operator==(const Facts&, const Facts&) = default;
    friend void PrintTo(const Facts& f, std::ostream* os) {
        *os << (f.period ? std::to_string(f.period->numerator) + "/" +
                               std::to_string(f.period->denominator)
                         : "-")
            << " " << f.width << "x" << f.height << " " << f.rate << " Hz " << f.channels;
    }
};

struct PeriodCase {
    const char* name;
    StreamFormat format;
    std::function<Bytes(const TempDir&)> stream;
    Facts expected;
    friend void PrintTo(const PeriodCase& c, std::ostream* os) { *os << c.name; }
};

// Three pictures from ffmpeg's encoder, as a raw elementary stream.
std::function<Bytes(const TempDir&)> encoded(const std::string& codec, const std::string& rate,
                                             const std::string& format) {
    return [=](const TempDir& dir) {
        const std::string path = dir.file("video." + format);
        EXPECT_TRUE(shellSucceeds(
            "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=64x64:rate=" + rate +
            " -frames:v 3 -c:v " + codec + " -f " + format + " " + quoted(path)));
        return readFileBytes(path);
    };
}

// A second of ffmpeg's encoding of a tone, as a raw stream.
std::function<Bytes(const TempDir&)> audio(const std::string& codec, int rate, int channels,
                                           const std::string& format) {
    return [=](const TempDir& dir) {
        const std::string path = dir.file("audio." + format);
        EXPECT_TRUE(shellSucceeds("ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:"
                                  "sample_rate=" + std::to_string(rate) + " -t 1 -ac " +
                                  std::to_string(channels) + " -strict -2 -c:a " + codec +
                                  " -f " + format + " " + quoted(path)));
        const Bytes bytes = readFileBytes(path);
        return concat({Bytes{0x0B, 0x00, 0x7F}, bytes});  // a stray sync byte before the first
    };
}

std::function<Bytes(const TempDir&)> vc1(const Vc1Sequence& fields) {
    return [=](const TempDir&) {
        return concat({Bytes{0x12, 0x00, 0x00}, sequenceHeader(fields), pictures(0x0D, 2, 40)});
    };
}

// An MPEG-2 sequence header whose frame_rate_code is 0, which is forbidden.
Bytes forbiddenMpegRate(const TempDir&) {
    BitWriter w;
    w.bytes({0x00, 0x00, 0x01, 0xB3}).bits(720, 12).bits(576, 12).bits(3, 4).bits(0, 4);
    w.bits(0x3FFFF, 18).flag(true).bits(597, 10).flag(false).flag(false).flag(false);
    return concat({w.data(), mpeg2Pictures(2, 50)});
}

const PeriodCase kPeriodCases[] = {
    {"mpeg2_25", StreamFormat::Mpeg2Video, encoded("mpeg2video", "25", "mpeg2video"),
     {FramePeriod{1, 25}, 64, 64}},
    {"mpeg2_ntsc", StreamFormat::Mpeg2Video, encoded("mpeg2video", "30000/1001", "mpeg2video"),
     {FramePeriod{1001, 30000}, 64, 64}},
    {"mpeg1_24", StreamFormat::Mpeg2Video, encoded("mpeg1video", "24", "mpeg1video"),
     {FramePeriod{1, 24}, 64, 64}},
    {"mpeg2_forbidden_rate", StreamFormat::Mpeg2Video, forbiddenMpegRate, {std::nullopt, 720, 576}},
    // The sequence parameter set's timing counts fields: two ticks a frame.
    {"h264_25", StreamFormat::H264Video, encoded("libx264", "25", "h264"),
     {FramePeriod{2, 50}, 64, 64}},
    {"h264_ntsc", StreamFormat::H264Video, encoded("libx264", "30000/1001", "h264"),
     {FramePeriod{2002, 60000}, 64, 64}},
    {"vc1_film", StreamFormat::Vc1Video, vc1({}), {FramePeriod{1001, 24000}, 1920, 1080}},
    {"vc1_25", StreamFormat::Vc1Video, vc1({.aspectRatio = 15, .frameRateNr = 2, .frameRateDr = 1}),
     {FramePeriod{1000, 25000}, 1920, 1080}},
    {"vc1_rate_exponent", StreamFormat::Vc1Video, vc1({.frameRateInd = true, .frameRateExp = 0x2FF}),
     {FramePeriod{32, 0x300}, 1920, 1080}},
    {"vc1_without_display_extension", StreamFormat::Vc1Video, vc1({.displayExt = false}),
     {std::nullopt, 1920, 1080}},
    {"vc1_without_rate", StreamFormat::Vc1Video, vc1({.frameRateFlag = false}),
     {std::nullopt, 1920, 1080}},
    {"ac3_51", StreamFormat::DolbyDigital, audio("ac3", 48000, 6, "ac3"), {{}, 0, 0, 48000, 6}},
    {"eac3_stereo", StreamFormat::DolbyDigitalPlus, audio("eac3", 44100, 2, "eac3"),
     {{}, 0, 0, 44100, 2}},
    {"dts_stereo", StreamFormat::Dts, audio("dca", 48000, 2, "dts"), {{}, 0, 0, 48000, 2}},
    {"truehd_stereo", StreamFormat::TrueHd, audio("truehd", 48000, 2, "truehd"),
     {{}, 0, 0, 48000, 2}},
};

class StreamHeaders : public ::testing::TestWithParam<PeriodCase> {};

TEST_P(StreamHeaders, ComeFromTheFirstHeaderWhereverThePiecesAreCut) {
    if (!havePeerTools()) GTEST_SKIP() << "ffmpeg is not installed";
    const PeriodCase& c = GetParam();
    TempDir dir;
    const Bytes stream = c.stream(dir);
    ASSERT_GT(stream.size(), 20u);
    for (size_t cut = 0; cut <= std::min<size_t>(stream.size(), 120); ++cut) {
        HeaderFinder finder;
        const std::span<const uint8_t> bytes(stream);
        finder.look(bytes.first(cut), c.format);
        finder.look(bytes.subspan(cut), c.format);
        EXPECT_TRUE(finder.done()) << "cut at " << cut;
        const StreamFacts& f = finder.facts();
        EXPECT_EQ((Facts{f.framePeriod, f.width, f.height, f.sampleRate, f.channels}), c.expected)
            << "cut at " << cut;
        if (::testing::Test::HasFailure()) return;
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, StreamHeaders, ::testing::ValuesIn(kPeriodCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace morvale::testing
