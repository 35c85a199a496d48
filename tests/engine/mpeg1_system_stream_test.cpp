// SPDX-License-Identifier: MIT
// ISO/IEC 11172-1 system streams: 12-byte pack headers and packets whose headers carry
// stuffing, an STD buffer field and timestamps without the MPEG-2 flag bytes. Each packet's
// timestamp, stream and payload are the real ones, whatever the header holds.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "demux_run.h"
#include "engine/timestamp_text.h"

namespace morvale::testing {
namespace {

using ::testing::ElementsAre;
using Lines = std::vector<std::string>;

struct HeaderCase {
    const char* name;
    Mpeg1Header video;  // the first video packet's header (the others carry no timestamp)
    Mpeg1Header audio;  // every audio packet's header
    uint32_t videoPts;  // the first timestamp lines
    uint32_t audioPts;
    friend void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.name; }
};

const HeaderCase kHeaderCases[] = {
    {"timestamps_only", Mpeg1Header().pts(0x12345).dts(0x12000), Mpeg1Header().pts(0x12300),
     0x12345, 0x12300},
    {"stuffing_and_std_buffer",
     Mpeg1Header().stuffing(5).stdBuffer(0x2000 | 46).pts(0x20000).dts(0x1F000),
     Mpeg1Header().stuffing(16).stdBuffer(32).pts(0x1FF00), 0x20000, 0x1FF00},
    // Bit 32 of the timestamp is dropped, as in MPEG-2 headers.
    {"pts_with_bit_32", Mpeg1Header().stdBuffer(46).pts(0x1C0000000ull).dts(0x1BFFFF000ull),
     Mpeg1Header().stuffing(1).pts(0x1BFFFF800ull), 0xC0000000, 0xBFFFF800},
    {"no_timestamps", Mpeg1Header().stuffing(2), Mpeg1Header().stdBuffer(32), 0, 0},
};

class Mpeg1SystemStream : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(Mpeg1SystemStream, PacketsAreReadWithTheMpeg1HeaderSyntax) {
    const HeaderCase& c = GetParam();
    const Bytes video = mpeg2Pictures(6, 700);
    const Bytes ac3 = concat({Bytes{0x0B, 0x77}, filler(1498, 3)});
    ProgramStream ps;
    // The system stream: packs of one packet each, the video cut over three packets.
    ps.add(mpeg1PackHeader(0));
    for (size_t at = 0, k = 0; at < video.size(); at += 1400, ++k) {
        const std::span<const uint8_t> part(video.data() + at,
                                            std::min<size_t>(1400, video.size() - at));
        ps.add(mpeg1PackHeader(900 * k));
        ps.add(mpeg1Packet(0xE0, k == 0 ? c.video : Mpeg1Header().stuffing(1), part));
        ps.add(mpeg1Packet(0xBD, c.audio,
                           concat({Bytes{0x80, 0x01, 0x00, 0x01},
                                   Bytes(ac3.begin() + static_cast<long>(k * 500),
                                         ac3.begin() + static_cast<long>(k * 500 + 500))})));
    }
    ps.add(mpeg1Packet(0xC0, Mpeg1Header().pts(0x12000), filler(300)));
    ps.add(Bytes{0x00, 0x00, 0x01, 0xB9});

    DemuxRun run(0xFFFFFFFF);
    run.host.detailsOption = true;
    run.host.countFramesOption = true;
    run.run(ps.bytes(), EngineMode::Scan);
    // The lines of the scan but the video report's.
    Lines lines;
    for (const std::string& line : run.host.lines) {
        if (line.rfind("   ", 0) != 0 || line.rfind("   First PTS", 0) == 0 ||
            line.rfind("   MPEG audio", 0) == 0) {
            lines.push_back(line);
        }
    }
    EXPECT_THAT(lines, ElementsAre("MPEG-2 video stream 0 found!", firstPtsLine(c.videoPts),
                                   "Dolby Digital audio stream 0 found!", firstPtsLine(c.audioPts),
                                   "   MPEG audio stream 0xC0: left out."));
    EXPECT_EQ(run.state.frameCounts[0], 6);

    run.host.videoTicks[0] = run.host.audioTicks[0] = true;
    run.run(ps.bytes());
    EXPECT_EQ(run.video(0), video);
    EXPECT_EQ(run.audio(0), ac3);
}

INSTANTIATE_TEST_SUITE_P(Headers, Mpeg1SystemStream, ::testing::ValuesIn(kHeaderCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace morvale::testing
