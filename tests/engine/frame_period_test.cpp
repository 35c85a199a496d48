// The frame period of a video stream from its first sequence header, for the running time
// of the frame-count summary: MPEG-1 and MPEG-2 video and H.264 streams from ffmpeg's
// encoders, SMPTE 421M sequence headers built field by field. However the pieces of the
// stream are cut, the period is the same.

#include "engine/frame_period.h"

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

struct PeriodCase {
    const char* name;
    VideoKind kind;
    std::function<Bytes(const TempDir&)> stream;
    std::optional<FramePeriod> expected;
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
    {"mpeg2_25", VideoKind::VideoMpeg2, encoded("mpeg2video", "25", "mpeg2video"),
     FramePeriod{1, 25}},
    {"mpeg2_ntsc", VideoKind::VideoMpeg2, encoded("mpeg2video", "30000/1001", "mpeg2video"),
     FramePeriod{1001, 30000}},
    {"mpeg1_24", VideoKind::VideoMpeg2, encoded("mpeg1video", "24", "mpeg1video"),
     FramePeriod{1, 24}},
    {"mpeg2_forbidden_rate", VideoKind::VideoMpeg2, forbiddenMpegRate, std::nullopt},
    // The sequence parameter set's timing counts fields: two ticks a frame.
    {"h264_25", VideoKind::VideoH264, encoded("libx264", "25", "h264"), FramePeriod{2, 50}},
    {"h264_ntsc", VideoKind::VideoH264, encoded("libx264", "30000/1001", "h264"),
     FramePeriod{2002, 60000}},
    {"vc1_film", VideoKind::VideoVc1, vc1({}), FramePeriod{1001, 24000}},
    {"vc1_25", VideoKind::VideoVc1, vc1({.aspectRatio = 15, .frameRateNr = 2, .frameRateDr = 1}),
     FramePeriod{1000, 25000}},
    {"vc1_rate_exponent", VideoKind::VideoVc1, vc1({.frameRateInd = true, .frameRateExp = 0x2FF}),
     FramePeriod{32, 0x300}},
    {"vc1_without_display_extension", VideoKind::VideoVc1, vc1({.displayExt = false}),
     std::nullopt},
    {"vc1_without_rate", VideoKind::VideoVc1, vc1({.frameRateFlag = false}), std::nullopt},
};

class FramePeriods : public ::testing::TestWithParam<PeriodCase> {};

TEST_P(FramePeriods, ComeFromTheFirstSequenceHeaderWhereverThePiecesAreCut) {
    if (!havePeerTools()) GTEST_SKIP() << "ffmpeg is not installed";
    const PeriodCase& c = GetParam();
    TempDir dir;
    const Bytes stream = c.stream(dir);
    ASSERT_GT(stream.size(), 20u);
    for (size_t cut = 0; cut <= std::min<size_t>(stream.size(), 120); ++cut) {
        FramePeriodFinder finder;
        const std::span<const uint8_t> bytes(stream);
        finder.look(bytes.first(cut), c.kind);
        finder.look(bytes.subspan(cut), c.kind);
        EXPECT_TRUE(finder.done()) << "cut at " << cut;
        EXPECT_EQ(finder.period(), c.expected) << "cut at " << cut;
        if (::testing::Test::HasFailure()) return;
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, FramePeriods, ::testing::ValuesIn(kPeriodCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace morvale::testing
