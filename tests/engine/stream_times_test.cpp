// SPDX-License-Identifier: MIT
// Each slot's presentation times and LPCM format bytes, as a run of the engine over one file
// leaves them for the hand-off to other tools.

#include <gtest/gtest.h>

#include "demux_run.h"

namespace morvale::testing {
namespace {

Bytes lpcmPacket(uint8_t id, std::optional<uint64_t> pts, uint8_t format) {
    PesHeader header;
    if (pts) header.pts(*pts);
    Bytes body = {id, 0x01, 0x00, 0x04, 0x0C, format, 0x80};
    const Bytes samples = filler(400, format);
    body.insert(body.end(), samples.begin(), samples.end());
    return pesPacket(0xBD, header, body);
}

TEST(StreamTimesTest, EachSlotKeepsItsOwnPacketsFirstEarliestAndLatestTimes) {
    // MPEG-2 video in decoding order (presentation times out of order) across the 2^32 wrap;
    // LPCM 24-bit 6 channels in slot 1 with one packet without a PTS and a stranger in
    // its slot (AC-3 0x81 comes later and is left out); a subpicture unit.
    const uint64_t base = 0xFFFFF000;
    ProgramStream ps;
    ps.addPack({systemHeader(1, 2)});
    const uint64_t videoPts[] = {base + 3600, base, base + 10800, base + 7200};
    for (size_t k = 0; k < std::size(videoPts); ++k) {
        const uint64_t pts = videoPts[k];
        ps.addPack({pesPacket(0xE0, PesHeader().pts(pts).dts(pts - 3600), mpeg2Pictures(1, 200))});
        ps.addPack({lpcmPacket(0xA1, base + 900 + 3600 * k, 0x95)});
    }
    ps.addPack({lpcmPacket(0xA1, std::nullopt, 0x95)});
    ps.addPack({privateStream1Packet(0x81, PesHeader().pts(base + 90000), filler(300))});
    ps.addPack({privateStream1Packet(0x22, PesHeader().pts(base + 45000), filler(100))});

    for (EngineMode mode : {EngineMode::Scan, EngineMode::Demux}) {
        DemuxRun run;
        run.run(ps.bytes(), mode);
        const auto& times = run.state.streamTimes;
        EXPECT_TRUE(times.video[0].seen);
        EXPECT_EQ(times.video[0].firstPts, uint32_t(base + 3600));
        EXPECT_EQ(times.video[0].minPts(), uint32_t(base));
        EXPECT_EQ(times.video[0].maxPts(), uint32_t(base + 10800));
        EXPECT_FALSE(times.video[1].seen);
        EXPECT_EQ(times.audio[1].minPts(), uint32_t(base + 900));
        EXPECT_EQ(times.audio[1].maxPts(), uint32_t(base + 900 + 3 * 3600))
            << "the last packet's times, not the stranger's in the same slot";
        EXPECT_EQ(times.subpicture[2].firstPts, uint32_t(base + 45000));
        ASSERT_TRUE(run.state.lpcmHeaders[1]);
        EXPECT_EQ(*run.state.lpcmHeaders[1], (LpcmHeaderBytes{0x0C, 0x95, 0x80}));
        EXPECT_FALSE(run.state.lpcmHeaders[0]);

        // The next run (the second part) starts afresh.
        ProgramStream second;
        second.addPack({pesPacket(0xE0, PesHeader().pts(900).dts(900), mpeg2Pictures(1, 200))});
        run.run(second.bytes(), mode);
        EXPECT_EQ(run.state.streamTimes.video[0].firstPts, 900u);
        EXPECT_EQ(run.state.streamTimes.video[0].maxPts(), 900u);
        EXPECT_FALSE(run.state.streamTimes.audio[1].seen);
        EXPECT_FALSE(run.state.lpcmHeaders[1]);
    }
}

}  // namespace
}  // namespace morvale::testing
