// SPDX-License-Identifier: MIT
// The rebuild's rules on real files: which packs stay, how system header bounds and stream ids
// are rewritten, and how the kept streams are renumbered. Every expected file is put together
// here from the builder's packs.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/engine_ledger.h"
#include "rebuild_packs.h"
#include "rebuild_run.h"

namespace morvale::testing {
namespace {

using ::testing::ElementsAre;

class RebuildRules : public ::testing::Test, public RebuildRun {};

// ---- Packs left out whole ----

TEST_F(RebuildRules, BlocksWithoutAPackStartCodeAreLeftOut) {
    audio(0, 0xC0, true);
    const Bytes nav = navigationPack(1, 0);
    const Bytes a = subStreamPack(0xC0, 1);
    Bytes noStartCode = subStreamPack(0xC0, 2);
    noStartCode[3] = 0xBB;  // 00 00 01 BB: a system header where the pack header should be
    Bytes shifted = concat({Bytes{0x00}, firstBytes(subStreamPack(0xC0, 3), 2047)});
    const Bytes zeros(2048, 0);
    const Bytes b = subStreamPack(0xC0, 4);

    const Bytes out = run(joined({nav, a, noStartCode, shifted, zeros, b}));

    EXPECT_EQ(out,
              joined({patched(patched(nav, kAudioBoundAt, 1 << 2), kVideoBoundAt, 0xE0), a, b}));
}

// ---- System headers ----

TEST_F(RebuildRules, SystemHeaderBoundsBecomeTheTickedBoxCountsWithTheFlagBitsKept) {
    audio(0, 0xC0, true);
    audio(4, 0x84, false);
    // Boxes are counted whether or not the scan listed a stream for them; subpictures are not.
    host.audioTicks[7] = true;
    host.audioTicks[15] = true;
    host.videoTicks = {true, false};
    host.subpictureTicks.fill(true);
    // audio_bound 63 with fixed_flag set; lock flags off, marker on, video_bound 31.
    Bytes nav = patched(patched(navigationPack(63, 31), kAudioBoundAt, 0xFE), kVideoBoundAt, 0x3F);
    // audio_bound 0 with CSPS_flag set; both lock flags and the marker on, video_bound 0.
    Bytes nav2 = patched(patched(navigationPack(0, 0), kAudioBoundAt, 0x01), kVideoBoundAt, 0xE0);

    const Bytes out = run(joined({nav, subStreamPack(0xC0), nav2}));

    EXPECT_EQ(
        out,
        joined({patched(patched(nav, kAudioBoundAt, (3 << 2) | 0x02), kVideoBoundAt, 0x20 | 1),
                subStreamPack(0xC0),
                patched(patched(nav2, kAudioBoundAt, (3 << 2) | 0x01), kVideoBoundAt, 0xE0 | 1)}));

    host.audioTicks.fill(true);
    host.videoTicks = {true, true};
    const Bytes all = run(joined({nav}));
    EXPECT_EQ(all[kAudioBoundAt], (16 << 2) | 0x02);
    EXPECT_EQ(all[kVideoBoundAt], 0x20 | 2);
}

// ---- Drop tests and renumbering ----

TEST_F(RebuildRules, TickedC0StaysAndUntickedC1IsLeftOut) {
    audio(0, 0xC0, true);
    audio(1, 0xC1, false);
    const Bytes out = run(joined({subStreamPack(0xC0, 1), subStreamPack(0xC1, 2),
                                  subStreamPack(0xC1, 3), subStreamPack(0xC0, 4)}));
    EXPECT_EQ(out, joined({subStreamPack(0xC0, 1), subStreamPack(0xC0, 4)}));
}

TEST_F(RebuildRules, UntickedC0IsLeftOutAndTickedC1BecomesC0) {
    audio(0, 0xC0, false);
    audio(1, 0xC1, true);
    const Bytes out = run(joined({subStreamPack(0xC0, 1), subStreamPack(0xC1, 2),
                                  subStreamPack(0xC0, 3), subStreamPack(0xC1, 4)}));
    EXPECT_EQ(out, joined({patched(subStreamPack(0xC1, 2), kSubStreamIdAt, 0xC0),
                           patched(subStreamPack(0xC1, 4), kSubStreamIdAt, 0xC0)}));
}

TEST_F(RebuildRules, KeptStreamsAreNumberedPerKindInOrderOfFirstAppearance) {
    // 0xC2 kept first and 0x89 second: 0xC0 and 0x88 OR 1.
    audio(2, 0xC2, true);
    audio(1, 0x89, true);
    EXPECT_EQ(run(joined({subStreamPack(0xC2, 1), subStreamPack(0x89, 2), subStreamPack(0xC2, 3)})),
              joined({patched(subStreamPack(0xC2, 1), kSubStreamIdAt, 0xC0), subStreamPack(0x89, 2),
                      patched(subStreamPack(0xC2, 3), kSubStreamIdAt, 0xC0)}));

    // Only 0x8A: 0x88.
    numbering.reset();
    audio(1, -1, false);
    audio(2, 0x8A, true);
    EXPECT_EQ(run(subStreamPack(0x8A)), patched(subStreamPack(0x8A), kSubStreamIdAt, 0x88));

    // Subpictures 0x23 and 0x25: 0x20 and 0x21, counted apart from the audio streams.
    numbering.reset();
    subpicture(3, 0x23, true);
    subpicture(5, 0x25, true);
    EXPECT_EQ(run(joined({subStreamPack(0x25, 1), subStreamPack(0x8A, 2), subStreamPack(0x23, 3)})),
              joined({patched(subStreamPack(0x25, 1), kSubStreamIdAt, 0x20),
                      patched(subStreamPack(0x8A, 2), kSubStreamIdAt, 0x88),
                      patched(subStreamPack(0x23, 3), kSubStreamIdAt, 0x21)}));
    EXPECT_EQ(numbering.keptAudioCount, 1);
    EXPECT_EQ(numbering.keptSubpictureCount, 2);
}

TEST_F(RebuildRules, UntickedTrueHdAndDolbyDigitalAreLeftOutToo) {
    audio(1, 0xB1, false);  // TrueHD
    audio(2, 0x82, false);  // Dolby Digital
    audio(3, 0xC3, true);   // Dolby Digital Plus
    audio(4, 0x84, true);   // Dolby Digital
    audio(5, 0xA5, true);   // LPCM
    audio(6, 0xB6, true);   // TrueHD
    subpicture(0, 0x60, false);
    subpicture(1, 0x61, true);

    const Bytes out =
        run(joined({subStreamPack(0xB1, 1), subStreamPack(0xC3, 2), subStreamPack(0x82, 3),
                    subStreamPack(0x84, 4), subStreamPack(0x60, 5), subStreamPack(0xA5, 6),
                    subStreamPack(0xB6, 7), subStreamPack(0x61, 8), subStreamPack(0xB1, 9),
                    subStreamPack(0x84, 10)}));

    EXPECT_EQ(out, joined({patched(subStreamPack(0xC3, 2), kSubStreamIdAt, 0xC0),
                           patched(subStreamPack(0x84, 4), kSubStreamIdAt, 0x81),
                           patched(subStreamPack(0xA5, 6), kSubStreamIdAt, 0xA2),
                           patched(subStreamPack(0xB6, 7), kSubStreamIdAt, 0xB3),
                           patched(subStreamPack(0x61, 8), kSubStreamIdAt, 0x60),
                           patched(subStreamPack(0x84, 10), kSubStreamIdAt, 0x81)}));
}

TEST_F(RebuildRules, VideoStreamsByStreamIdAndByStreamIdExtension) {
    video(0, 0x55, false);
    video(1, 0x56, true);
    EXPECT_EQ(run(joined({vc1Pack(0x55, 1), vc1Pack(0x56, 2), vc1Pack(0x55, 3)})),
              patched(vc1Pack(0x56, 2), kExtensionAt, 0x55));

    numbering.reset();
    video(0, 0xE0, false);
    video(1, 0xE3, true);
    // MPEG video is renumbered in its stream id; a kept VC-1 stream after it takes 0x55 + 1.
    EXPECT_EQ(run(joined({streamIdPack(0xE0, 1), streamIdPack(0xE3, 2), vc1Pack(0x56, 3)})),
              joined({patched(streamIdPack(0xE3, 2), kStreamIdAt, 0xE2),
                      patched(vc1Pack(0x56, 3), kExtensionAt, 0x56)}));
}

// MPEG audio has no slot: no scan lists it, so it keeps its stream ids, and its 0xC5 is not
// the sub-stream 0xC5 of the same file.
TEST_F(RebuildRules, MpegAudioStreamIdsKeepTheirByte) {
    audio(0, 0x80, true);
    audio(5, 0xC5, true);
    const Bytes out = run(joined({subStreamPack(0x80, 1), streamIdPack(0xC5, 2),
                                  streamIdPack(0xD7, 3), subStreamPack(0xC5, 4),
                                  streamIdPack(0xC5, 5)}));
    EXPECT_EQ(out, joined({subStreamPack(0x80, 1), streamIdPack(0xC5, 2), streamIdPack(0xD7, 3),
                           patched(subStreamPack(0xC5, 4), kSubStreamIdAt, 0xC1),
                           streamIdPack(0xC5, 5)}));
}

TEST_F(RebuildRules, StreamsTheScanDidNotListAreKeptWithTheirIds) {
    // Slot 0 holds 0xC0; 0x88 maps to slot 0 as well but is not its stream. Subpicture 0x35
    // lies in slot 21, which has no box: only slots 0-15 are looked at.
    audio(0, 0xC0, false);
    state.subpictureStreamIds[21] = 0x35;
    const Bytes out = run(joined({subStreamPack(0xC0, 1), subStreamPack(0x88, 2),
                                  subStreamPack(0x35, 3), subStreamPack(0xC0, 4)}));
    EXPECT_EQ(out, joined({subStreamPack(0x88, 2), subStreamPack(0x35, 3)}));
}

TEST_F(RebuildRules, IdsNoRuleAssignsKeepTheirByte) {
    video(1, 0xE1, true);
    subpicture(5, 0x25, true);
    const Bytes unknownSubStream = subStreamPack(0x90, 1);
    // Sub-stream 0xE1 and extension 0x25 are ids no rule covers, although 0xE1 and 0x25 have
    // been given new numbers as an MPEG video stream id and a subpicture sub-stream id.
    const Bytes subStreamE1 = subStreamPack(0xE1, 2);
    const Bytes extension25 = vc1Pack(0x25, 3);
    const Bytes padding = paddingPack();
    const Bytes privateStream2 = pack({privateStream2Packet(filler(1500))});

    const Bytes out = run(joined({unknownSubStream, streamIdPack(0xE1, 4), subStreamPack(0x25, 5),
                                  subStreamE1, extension25, padding, privateStream2}));

    EXPECT_EQ(out, joined({unknownSubStream, patched(streamIdPack(0xE1, 4), kStreamIdAt, 0xE0),
                           patched(subStreamPack(0x25, 5), kSubStreamIdAt, 0x20), subStreamE1,
                           extension25, padding, privateStream2}));
    EXPECT_EQ(numbering.map(IdCarrier::SubStreamId)[0x90], RebuildNumbering::kUnassigned);
}

TEST_F(RebuildRules, TheNumberingCarriesOverToTheNextCall) {
    audio(3, 0xC3, true);
    audio(5, 0xC5, true);
    EXPECT_EQ(run(subStreamPack(0xC3, 1), "part1.evo"),
              patched(subStreamPack(0xC3, 1), kSubStreamIdAt, 0xC0));
    EXPECT_EQ(run(joined({subStreamPack(0xC5, 2), subStreamPack(0xC3, 3)}), "part2.evo"),
              joined({patched(subStreamPack(0xC5, 2), kSubStreamIdAt, 0xC1),
                      patched(subStreamPack(0xC3, 3), kSubStreamIdAt, 0xC0)}));
}

// ---- One pack in memory ----

TEST(RebuildPack, OnlyPacksWithAPackStartCodeCanBeKeptButSystemHeadersAreRewrittenAnyway) {
    EngineLedger state;
    RecordingEngineHost host;
    host.audioTicks[0] = true;
    RebuildNumbering numbering;
    Bytes nav = navigationPack(5, 2);
    nav[0] = 0xFF;
    EXPECT_FALSE(rebuildPack(nav.data(), state, host, numbering));
    EXPECT_EQ(nav[kAudioBoundAt], 1 << 2);
    EXPECT_EQ(nav[kVideoBoundAt], 0xE0);
}

}  // namespace
}  // namespace morvale::testing
