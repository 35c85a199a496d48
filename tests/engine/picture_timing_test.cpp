// SPDX-License-Identifier: MIT
// Each picture's presentation time, from the PTS of the packet it begins in or, where that
// packet carries none, from the pictures around it in display order: streams from ffmpeg's
// encoders (the encoder's own times as the oracle) and the sample disc's VC-1 with the PTS of
// all but its I pictures left out.

#include "engine/picture_timing.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>

#include "engine/demux.h"
#include "support/engine_ledger.h"
#include "support/peer_tools.h"
#include "support/program_stream_builder.h"
#include "support/temp_dir.h"
#include "sample_disc/vc1_stream.h"

namespace morvale::testing {
namespace {

// A program stream and the presentation time of each of its pictures in decoding order,
// from the first.
struct TimedSource {
    Bytes programStream;
    std::vector<int64_t> times;
    FramePeriod period;
};

struct TimingCase {
    const char* name;
    StreamFormat format;
    std::function<TimedSource(const TempDir&)> make;
    friend void PrintTo(const TimingCase& c, std::ostream* os) { *os << c.name; }
};

// ffmpeg encodes with B pictures into a transport stream (every picture with its PTS), then
// copies the stream into a DVD program stream, where a picture that begins inside a packet
// another picture began in has no PTS of its own (the smaller the pictures, the more).
std::function<TimedSource(const TempDir&)> encoded(const std::string& codec,
                                                   const std::string& options, FramePeriod period,
                                                   const std::string& size = "352x288") {
    return [=](const TempDir& dir) {
        const std::string ts = dir.file("video.ts"), vob = dir.file("video.vob");
        const std::string rate = std::to_string(period.denominator) + "/" +
                                 std::to_string(period.numerator);
        EXPECT_TRUE(shellSucceeds("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=" + size + ":rate=" +
                                  rate + " -t 3 -c:v " + codec + " " + options + " " + quoted(ts)));
        EXPECT_TRUE(shellSucceeds("ffmpeg -nostdin -v error -y -i " + quoted(ts) +
                                  " -c copy -f vob " + quoted(vob)));
        TimedSource source{readFileBytes(vob), {}, period};
        std::vector<int64_t> pts;
        for (const std::string& line : shellLines("ffprobe -v error -select_streams v "
                                                  "-show_entries packet=pts -of csv=p=0 " +
                                                  quoted(ts))) {
            if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0])))
                pts.push_back(std::stoll(line));
        }
        for (int64_t t : pts)
            source.times.push_back(t - pts.front());
        return source;
    };
}

// The sample disc's VC-1 (I P B B ..., closed groups) in packs of its own, the PTS only on
// the I pictures.
TimedSource vc1OnlyIPicturesTimed(const TempDir&) {
    const std::vector<sample::Vc1Frame> frames = sample::vc1Frames(3, 900000);
    TimedSource source{{}, {}, FramePeriod{1001, 24000}};
    ProgramStream ps;
    for (const sample::Vc1Frame& frame : frames) {
        PesHeader header;
        header.streamIdExtension(0x55);
        if (frame.type == 'I') header.pts(frame.unit.pts);
        ps.add(packetizeInPacks(0xFD, header, frame.unit.bytes));
        source.times.push_back(static_cast<int64_t>(frame.unit.pts - frames.front().unit.pts));
    }
    source.programStream = ps.bytes();
    return source;
}

const TimingCase kCases[] = {
    {"mpeg2_b_pictures", StreamFormat::Mpeg2Video,
     encoded("mpeg2video", "-bf 2 -g 12", FramePeriod{1, 25})},
    {"mpeg2_ntsc", StreamFormat::Mpeg2Video,
     encoded("mpeg2video", "-bf 3 -g 15", FramePeriod{1001, 30000}, "32x32")},
    {"h264_b_pyramid", StreamFormat::H264Video,
     encoded("libx264", "-bf 3 -x264-params b-pyramid=normal:keyint=24", FramePeriod{1, 25})},
    {"h264_no_b", StreamFormat::H264Video, encoded("libx264", "-bf 0", FramePeriod{1, 25})},
    {"vc1_i_pictures_timed", StreamFormat::Vc1Video, vc1OnlyIPicturesTimed},
};

// Hands the video slot's payload to the timer, as the Matroska path does.
class TimerSink final : public PayloadSink {
  public:
    explicit TimerSink(PictureTimer& timer) : timer_(timer) {}
    void take(std::span<const uint8_t> bytes, bool first, std::optional<uint32_t> pts) override {
        timer_.feed(bytes, first, pts);
    }

  private:
    PictureTimer& timer_;
};

class PictureTiming : public ::testing::TestWithParam<TimingCase> {};

TEST_P(PictureTiming, EveryPictureGetsItsSourceTime) {
    if (!havePeerTools()) GTEST_SKIP() << "ffmpeg is not installed";
    const TimingCase& c = GetParam();
    TempDir dir;
    const TimedSource source = c.make(dir);
    ASSERT_GT(source.times.size(), 20u);
    writeFileBytes(dir.file("source.vob"), source.programStream);

    PictureTimer timer(c.format);
    TimerSink sink(timer);
    DemuxOutputs outputs;
    outputs.video[0] = &sink;
    RecordingEngineHost host;
    RunControl control;
    SourceFile file = SourceFile::open(dir.file("source.vob"), ShareMode::Shared);
    demux(host, control, file, {.mode = EngineMode::Demux}, &outputs);
    timer.finish();

    ASSERT_EQ(timer.pictures(), source.times.size());
    const std::vector<int64_t> times = timer.presentationTimes(source.period);
    for (size_t k = 0; k < times.size(); ++k)
        EXPECT_NEAR(times[k], source.times[k], 1) << "picture " << k;
}

INSTANTIATE_TEST_SUITE_P(Streams, PictureTiming, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace morvale::testing
