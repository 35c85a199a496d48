// SPDX-License-Identifier: MIT
// What a Demux writes: raw payloads per slot, only of the stream that owns the slot, and
// subpicture records.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/engine_ledger.h"
#include "demux_run.h"

namespace morvale::testing {
namespace {

using ::testing::IsEmpty;

Bytes ac3(size_t n, uint8_t seed) {
    return concat({Bytes{0x0B, 0x77}, filler(n - 2, seed)});
}

Bytes spHeader(uint32_t time) {
    return {'S',
            'P',
            static_cast<uint8_t>(time),
            static_cast<uint8_t>(time >> 8),
            static_cast<uint8_t>(time >> 16),
            static_cast<uint8_t>(time >> 24),
            0,
            0,
            0,
            0};
}

// ---- Audio and video ----

TEST(PayloadRouting, AudioPayloadFollowsTheSubStreamHeaderToItsSlot) {
    const Bytes dd = ac3(500, 1), lpcm = filler(480, 2), mlp = filler(470, 3), ddp = ac3(460, 4);
    ProgramStream ps;
    ps.addPack({privateStream1Packet(0x80, PesHeader().pts(1000), dd),
                privateStream1Packet(0xA1, PesHeader().pts(1000), lpcm),
                privateStream1Packet(0xB2, PesHeader().pts(1000), mlp)});
    ps.addPack({privateStream1Packet(0xCA, PesHeader().pts(1000), ddp),
                privateStream1Packet(0x80, PesHeader(), dd)});
    DemuxRun demux;
    demux.host.audioTicks = {true,  true,  true, true,  false, false, false, false,
                             false, false, true, false, false, false, false, false};
    demux.run(ps.bytes());
    EXPECT_EQ(demux.audio(0), concat({dd, dd}));
    EXPECT_EQ(demux.audio(1), lpcm);
    EXPECT_EQ(demux.audio(2), mlp);
    EXPECT_EQ(demux.audio(10), ddp);
    EXPECT_THAT(demux.audio(3), IsEmpty());
    EXPECT_THAT(demux.host.lines, IsEmpty());  // a Demux logs nothing of its own
}

TEST(PayloadRouting, OnlyTheTickedSlotIsWritten) {
    ProgramStream ps;
    ps.addPack({privateStream1Packet(0x80, PesHeader().pts(1), ac3(300, 1)),
                pesPacket(0xE1, PesHeader().pts(1).dts(1), mpeg2Pictures(2, 200))});
    DemuxRun demux;
    demux.host.audioTicks[1] = true;
    demux.host.videoTicks[0] = true;
    demux.host.countFramesOption = true;
    demux.run(ps.bytes());
    EXPECT_THAT(demux.audio(1), IsEmpty());
    EXPECT_THAT(demux.video(0), IsEmpty());    // the video stream is 0xE1, slot 1
    EXPECT_EQ(demux.state.frameCounts[1], 0);  // counted only for a ticked slot
}

TEST(PayloadRouting, VideoPayloadAndPicturesOfTickedSlots) {
    const Bytes vc1 = pictures(0x0D, 3, 600);
    const Bytes mpeg2 = mpeg2Pictures(4, 300);
    ProgramStream ps;
    ps.add(packetizeInPacks(0xFD, PesHeader().pts(90000).streamIdExtension(0x55), vc1));
    ps.add(packetizeInPacks(0xE1, PesHeader().pts(90000).dts(87000), mpeg2));
    DemuxRun demux;
    demux.host.tickAll();
    demux.host.countFramesOption = true;
    demux.run(ps.bytes());
    EXPECT_EQ(demux.video(0), vc1);
    EXPECT_EQ(demux.video(1), mpeg2);
    EXPECT_EQ(demux.state.frameCounts, (std::array<int32_t, 2>{3, 4}));
}

// Streams numbered per codec (DVD-Video from some authoring tools) share slot 0; the slot's
// output takes the stream that owns it and never a mix.
TEST(OneStreamPerOutput, VobWithDolbyDigitalDtsAndLpcmInOneSlot) {
    const Bytes dd1 = ac3(400, 1), dd2 = ac3(400, 2);
    ProgramStream ps;
    ps.addPack({privateStream1Packet(0x80, PesHeader().pts(1000), dd1),
                privateStream1Packet(0x88, PesHeader().pts(1000), filler(400, 3)),
                privateStream1Packet(0xA0, PesHeader().pts(1000), filler(400, 4))});
    ps.addPack({pesPacket(0xC0, PesHeader().pts(1000), filler(300, 5)),  // MPEG audio
                privateStream1Packet(0x88, PesHeader(), filler(400, 6)),
                privateStream1Packet(0x80, PesHeader(), dd2),
                pesPacket(0xC0, PesHeader(), filler(300, 7))});
    DemuxRun demux;
    demux.host.tickAll();
    demux.run(ps.bytes());
    EXPECT_EQ(demux.audio(0), concat({dd1, dd2}));
    for (int k = 1; k < 16; ++k)
        EXPECT_THAT(demux.audio(k), IsEmpty()) << k;

    DemuxRun scan;
    scan.host.detailsOption = true;
    scan.run(ps.bytes(), EngineMode::Scan);
    EXPECT_THAT(
        scan.host.lines,
        ::testing::ElementsAre("Dolby Digital audio stream 0 found!", "   First PTS = 000003E8",
                               "   Stream 0x88 shares audio slot 0 with stream 0x80: left out.",
                               "   Stream 0xA0 shares audio slot 0 with stream 0x80: left out.",
                               "   MPEG audio stream 0xC0: left out."));
}

TEST(OneStreamPerOutput, VideoSlotSharedByMpeg2AndVc1CountsAndWritesTheFirst) {
    const Bytes mpeg2 = mpeg2Pictures(2, 300);
    ProgramStream ps;
    ps.addPack({pesPacket(0xE0, PesHeader().pts(3000).dts(0), mpeg2)});
    ps.addPack(
        {pesPacket(0xFD, PesHeader().pts(3000).streamIdExtension(0x55), pictures(0x0D, 5, 200))});
    ps.addPack({pesPacket(0xE2, PesHeader().pts(3000).dts(0), pictures(0x09, 4, 200))});
    ps.addPack({pesPacket(0xE0, PesHeader(), mpeg2)});

    DemuxRun scan;
    scan.host.countFramesOption = true;
    scan.run(ps.bytes(), EngineMode::Scan);
    EXPECT_THAT(
        scan.host.lines,
        ::testing::ElementsAre("MPEG-2 video stream 0 found!",
                               "   Stream 0x55 shares video slot 0 with stream 0xE0: left out.",
                               "   Stream 0xE2 shares video slot 0 with stream 0xE0: left out."));
    EXPECT_EQ(scan.state.frameCounts[0], 4);

    DemuxRun demux;
    demux.host.tickAll();
    demux.host.countFramesOption = true;
    demux.run(ps.bytes());
    EXPECT_EQ(demux.video(0), concat({mpeg2, mpeg2}));
    EXPECT_EQ(demux.state.frameCounts[0], 4);
}

TEST(PayloadRouting, Vc1PacketBeforeAnyVideoSlotGoesNowhere) {
    ProgramStream ps;
    ps.addPack({pesPacket(0xFD, PesHeader().pts(1), pictures(0x0D, 2, 100)),
                pesPacket(0xFD, PesHeader().streamIdExtension(0x55), pictures(0x0D, 1, 100))});
    DemuxRun demux;
    demux.host.tickAll();
    demux.host.countFramesOption = true;
    demux.run(ps.bytes());
    EXPECT_EQ(demux.video(0), pictures(0x0D, 1, 100));
    EXPECT_EQ(demux.state.frameCounts[0], 1);
}

TEST(PayloadRouting, ABoxTickedWithoutAnOutputWritesNowhere) {
    ProgramStream ps;
    ps.addPack({privateStream1Packet(0x80, PesHeader().pts(1), ac3(300, 1)),
                privateStream1Packet(0x20, PesHeader().pts(1), filler(50))});
    TempDir dir;
    ps.writeFile(dir.file("a.evo"));
    EngineLedger state;
    RecordingEngineHost host;
    host.tickAll();  // ticked after the command created the (no) outputs
    SourceFile source = SourceFile::open(dir.file("a.evo"), ShareMode::Shared);
    DemuxOutputs none;
    EXPECT_NO_THROW(demux(state, host, source, EngineMode::Demux, &none));
    EXPECT_EQ(state.audioStreamIds[0], 0x80);
}

// ---- Subpicture records ----

TEST(SubpictureRecords, RecordHeaderHoldsThePtsRelativeToTheTimeBase) {
    const Bytes unit = filler(300, 1);
    ProgramStream ps;
    ps.addPack({privateStream1Packet(0x20, PesHeader().pts(0x00012000), unit)});
    DemuxRun demux(0x00010000);
    demux.host.subpictureTicks[0] = true;
    demux.run(ps.bytes());
    EXPECT_EQ(demux.subpicture(0),
              concat({Bytes{0x53, 0x50, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, unit}));
}

// A subpicture unit over three packets, the video packets between them carrying PTS: one
// record. Read literally, each leftover video PTS would start a record of its own.
TEST(SubpictureRecords, AUnitOverSeveralPacketsIsOneRecordWhateverComesBetween) {
    const Bytes a = filler(500, 1), b = filler(500, 2), c = filler(200, 3);
    ProgramStream ps;
    ps.addPack({privateStream1Packet(0x20, PesHeader().pts(0x30000), a),
                pesPacket(0xE0, PesHeader().pts(0x30100).dts(0x30000), mpeg2Pictures(1, 400))});
    ps.addPack({privateStream1Packet(0x20, PesHeader(), b),
                pesPacket(0xE0, PesHeader().pts(0x30200), mpeg2Pictures(1, 400))});
    ps.addPack({privateStream1Packet(0x20, PesHeader(), c),
                privateStream1Packet(0x20, PesHeader().pts(0x30400), a)});
    DemuxRun demux(0x10000);
    demux.host.tickAll();
    demux.run(ps.bytes());
    EXPECT_EQ(demux.subpicture(0), concat({spHeader(0x20000), a, b, c, spHeader(0x20400), a}));
}

TEST(SubpictureRecords, APtsEqualToTheTimeBaseStartsARecordAtTimeZero) {
    const Bytes unit = filler(100, 1);
    ProgramStream ps;
    ps.addPack({privateStream1Packet(0x20, PesHeader().pts(0x5000), unit),
                privateStream1Packet(0x20, PesHeader().pts(0x4000), unit)});
    DemuxRun demux(0x5000);
    demux.host.subpictureTicks[0] = true;
    demux.run(ps.bytes());
    EXPECT_EQ(demux.subpicture(0),
              concat({spHeader(0), unit, spHeader(0xFFFFF000), unit}));  // wraps modulo 2^32
}

TEST(SubpictureRecords, APacketSplitByABlockBoundaryHasOneHeader) {
    const Bytes unit = filler(1000, 1);
    Bytes packet = privateStream1Packet(0x21, PesHeader().pts(0x2000), unit);
    DemuxRun demux(0x1000);
    // The packet straddles the end of the first 256 KiB block.
    writeSparseFile(demux.dir.file("split.evo"), 300000, {{262144 - 500, packet}});
    demux.host.subpictureTicks[1] = true;
    demux.runFile(demux.dir.file("split.evo"));
    EXPECT_EQ(demux.subpicture(1), concat({spHeader(0x1000), unit}));
}

TEST(SubpictureRecords, EachSlotTakesOnlyItsOwnStream) {
    const Bytes sub0 = filler(100, 1), sub1 = filler(100, 2), ext1 = filler(100, 3);
    ProgramStream ps;
    ps.addPack({privateStream1Packet(0x20, PesHeader().pts(0x100), sub0),
                privateStream1Packet(0x21, PesHeader().pts(0x200), sub1),
                privateStream1Packet(0x61, PesHeader().pts(0x300), ext1),
                privateStream1Packet(0x35, PesHeader().pts(0x400), sub0)});
    DemuxRun demux;
    demux.host.subpictureTicks[1] = true;  // slot 0 unticked
    demux.run(ps.bytes());
    EXPECT_EQ(demux.subpicture(1), concat({spHeader(0x200), sub1}));
    EXPECT_EQ(demux.state.subpictureStreamIds[21], 0x35);  // identified, never written
}

TEST(SubpictureRecords, AScanWritesNothing) {
    ProgramStream ps;
    ps.addPack({privateStream1Packet(0x20, PesHeader().pts(0x100), filler(100)),
                privateStream1Packet(0x80, PesHeader().pts(0x100), filler(100))});
    DemuxRun scan;
    scan.host.tickAll();
    scan.run(ps.bytes(), EngineMode::Scan);
    EXPECT_THAT(scan.subpicture(0), IsEmpty());
    EXPECT_THAT(scan.audio(0), IsEmpty());
}

}  // namespace
}  // namespace morvale::testing
