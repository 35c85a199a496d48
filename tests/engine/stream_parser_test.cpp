// SPDX-License-Identifier: MIT
#include "support/engine_ledger.h"
#include "engine/stream_parser.h"

#include <cstdio>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "parser_harness.h"

namespace morvale::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// ---- The two packets traced byte by byte ----

class ByteByByte : public ::testing::Test {
  protected:
    EngineLedger tables;
    RecordingEngineHost host;
    PieceRecorder recorder;
    const EngineOptions options = optionsOf(host, EngineMode::Scan);
    StreamParser parser{tables.slots, host, options, recorder};

    const ParserState& feed(std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes)
            parser.feed(std::span<const uint8_t>(&b, 1));
        return parser.state();
    }
};

TEST_F(ByteByByte, Vc1PacketOfAnHdDvd) {
    const ParserState& s = parser.state();
    feed({0x00, 0x00, 0x01});
    EXPECT_EQ(s.lengthPhase, 0);
    feed({0xFD});
    EXPECT_EQ(s.videoKind, VideoKind::VideoVc1);
    EXPECT_EQ(s.packetTarget, PacketTarget::TargetVideo);
    EXPECT_EQ(s.lengthPhase, 2);
    feed({0x07});
    EXPECT_EQ(s.lengthPhase, 1);
    feed({0xEC});
    EXPECT_EQ(s.pesRemaining, 2028);
    EXPECT_EQ(s.fixedHeaderRemaining, 3);
    feed({0x81});
    EXPECT_EQ(s.pesRemaining, 2027);
    feed({0x81});
    EXPECT_EQ(s.pesFlags2, 0x81);
    EXPECT_EQ(s.pesRemaining, 2026);
    feed({0x08});
    EXPECT_EQ(s.headerDataRemaining, 8);
    EXPECT_EQ(s.ptsRemaining, 5);
    EXPECT_EQ(s.pesRemaining, 2025);
    feed({0x21, 0x00, 0x05, 0xBF, 0x21});
    EXPECT_EQ(s.packetPts, 90000u);
    EXPECT_EQ(s.headerDataRemaining, 3);
    EXPECT_EQ(s.extFlagsRemaining, 1);
    EXPECT_EQ(s.pesRemaining, 2020);
    feed({0x01});
    EXPECT_EQ(s.extFlags, 0x01);
    EXPECT_EQ(s.ext2Remaining, 2);
    EXPECT_EQ(s.pesRemaining, 2019);
    feed({0x81});
    EXPECT_EQ(s.pesRemaining, 2018);
    EXPECT_THAT(host.lines, IsEmpty());
    feed({0x55});
    EXPECT_EQ(s.videoSlot, 0);
    EXPECT_EQ(tables.videoStreamIds[0], 0x55);
    EXPECT_THAT(host.lines, ElementsAre("VC-1 video stream 0 found!"));
    EXPECT_EQ(s.videoPts, 90000u);
    EXPECT_EQ(s.headerDataRemaining, 0);
    EXPECT_TRUE(s.inPayload);
    EXPECT_EQ(s.pesRemaining, 2017);

    const Bytes payload = pictures(0x0D, 1, 2017 + 10);  // ten bytes of the next packet
    parser.feed(payload);
    ASSERT_EQ(recorder.pieces.size(), 1u);
    EXPECT_EQ(recorder.pieces[0].target, PacketTarget::TargetVideo);
    EXPECT_EQ(recorder.pieces[0].videoSlot, 0);
    EXPECT_EQ(recorder.pieces[0].bytes, Bytes(payload.begin(), payload.begin() + 2017));
    EXPECT_EQ(s.pesRemaining, 0);
    EXPECT_FALSE(s.inPayload);
}

TEST_F(ByteByByte, DolbyDigitalPacket) {
    const ParserState& s = parser.state();
    feed({0x00, 0x00, 0x01, 0xBD});
    EXPECT_EQ(s.packetTarget, PacketTarget::TargetPrivate1);
    feed({0x00, 0x0E, 0x81, 0x80, 0x05});  // 3 + 5 + 4 + 2 payload bytes
    EXPECT_EQ(s.pesFlags2, 0x80);
    EXPECT_EQ(s.headerDataRemaining, 5);
    EXPECT_EQ(s.ptsRemaining, 5);
    feed({0x21, 0x00, 0x05, 0xBF, 0x21});
    EXPECT_EQ(s.packetPts, 90000u);
    EXPECT_EQ(s.substreamRemaining, 4);
    feed({0x80});
    EXPECT_EQ(s.substreamRemaining, 3);
    feed({0x01, 0x00});
    EXPECT_EQ(s.substreamRemaining, 1);
    EXPECT_THAT(host.lines, IsEmpty());
    feed({0x01});
    EXPECT_EQ(s.substreamRemaining, 0);
    EXPECT_EQ(s.audioSlot, 0);
    EXPECT_EQ(s.audioKind, AudioKind::AudioAc3);
    EXPECT_EQ(s.lastAudioSubstreamId, 0x80);
    EXPECT_EQ(tables.audioStreamIds[0], 0x80);
    EXPECT_THAT(host.lines, ElementsAre("Dolby Digital audio stream 0 found!"));
    EXPECT_EQ(s.audioPts, 90000u);
    EXPECT_EQ(s.packetTarget, PacketTarget::TargetAudio);
    EXPECT_TRUE(s.inPayload);
    EXPECT_EQ(s.packetPts, 0u);
    EXPECT_EQ(s.pesRemaining, 2);
    feed({0x0B, 0x77});
    ASSERT_EQ(recorder.pieces.size(), 2u);  // one byte per block
    EXPECT_EQ(recorder.pieces[0].bytes, Bytes{0x0B});
    EXPECT_EQ(recorder.pieces[1].bytes, Bytes{0x77});
    EXPECT_TRUE(recorder.pieces[0].first);
    EXPECT_FALSE(recorder.pieces[1].first);
}

// ---- Timestamps ----

TEST(Timestamps, BitsThirtyAndThirtyOneAreKeptAndBitThirtyTwoDroppedInBothLayouts) {
    ParseRun lone;
    runParser(lone, pesPacket(0xE0, PesHeader().pts(0x1F2345678), filler(8)), EngineMode::Scan);
    EXPECT_EQ(lone.finalState.packetPts, 0xF2345678u);
    EXPECT_EQ(lone.finalState.videoPts, 0u);  // a lone PTS does not reach VideoPts
    EXPECT_EQ(lone.finalState.videoDts, 0u);

    ParseRun both;
    runParser(both, pesPacket(0xE0, PesHeader().pts(0x1C0000001).dts(0x0BFFFFFFF), filler(8)),
              EngineMode::Scan);
    EXPECT_EQ(both.finalState.packetPts, 0xC0000001u);
    EXPECT_EQ(both.finalState.videoPts, 0xC0000001u);
    EXPECT_EQ(both.finalState.videoDts, 0xBFFFFFFFu);
}

TEST(Timestamps, EveryBitOfTheLowThirtyTwoSurvives) {
    for (int bit = 0; bit < 33; ++bit) {
        SCOPED_TRACE(bit);
        const uint64_t pts = uint64_t{1} << bit;
        ParseRun run;
        runParser(run, pesPacket(0xE0, PesHeader().pts(pts).dts(pts), {}), EngineMode::Scan);
        EXPECT_EQ(run.finalState.packetPts, static_cast<uint32_t>(pts));
        EXPECT_EQ(run.finalState.videoDts, static_cast<uint32_t>(pts));
    }
}

// ---- Video ----

TEST(Video, Vc1PayloadStartsAfterTheExtensionAndOtherExtensionsArePassedOver) {
    const Bytes payload = pictures(0x0D, 2, 100);
    ParseRun vc1;
    runParser(vc1, pesPacket(0xFD, PesHeader().pts(90000).streamIdExtension(0x55), payload),
              EngineMode::Scan);
    EXPECT_THAT(vc1.host.lines, ElementsAre("VC-1 video stream 0 found!"));
    ASSERT_EQ(vc1.recorder.pieces.size(), 1u);
    EXPECT_EQ(vc1.recorder.pieces[0].bytes, payload);
    EXPECT_EQ(vc1.recorder.pieces[0].streamId, 0x55);

    ParseRun other;
    runParser(other, pesPacket(0xFD, PesHeader().pts(90000).streamIdExtension(0x57), payload),
              EngineMode::Scan);
    EXPECT_THAT(other.host.lines, IsEmpty());
    EXPECT_THAT(other.recorder.pieces, IsEmpty());
    EXPECT_EQ(other.tables.videoStreamIds[0], -1);
    EXPECT_EQ(other.finalState.packetTarget, PacketTarget::TargetDiscard);
}

TEST(Video, SecondVc1SlotAndExtensionWithPstdBuffer) {
    ParseRun run;
    runParser(
        run,
        pesPacket(0xFD, PesHeader().pts(1).pstdBuffer(0x2400).streamIdExtension(0x56), filler(20)),
        EngineMode::Scan);
    EXPECT_THAT(run.host.lines, ElementsAre("VC-1 video stream 1 found!"));
    ASSERT_EQ(run.recorder.pieces.size(), 1u);
    EXPECT_EQ(run.recorder.pieces[0].videoSlot, 1);
    EXPECT_EQ(run.recorder.pieces[0].bytes, filler(20));
}

TEST(Video, Vc1PacketWithoutExtensionFollowsTheLastVc1Stream) {
    ParseRun run;
    const Bytes stream = concat({pesPacket(0xFD, PesHeader().pts(7), filler(5)),  // before any slot
                                 pesPacket(0xFD, PesHeader().streamIdExtension(0x55), filler(6)),
                                 pesPacket(0xFD, PesHeader(), filler(7))});
    runParser(run, stream, EngineMode::Scan);
    ASSERT_EQ(run.recorder.pieces.size(), 3u);
    EXPECT_EQ(run.recorder.pieces[0].videoSlot, -1);
    EXPECT_EQ(run.recorder.pieces[0].streamId, -1);
    EXPECT_EQ(run.recorder.pieces[2].videoSlot, 0);
    EXPECT_EQ(run.recorder.pieces[2].streamId, 0x55);
    EXPECT_EQ(run.recorder.pieces[2].bytes, filler(7));
}

TEST(Video, Mpeg2AndH264IdentifyTheirSlotsAndTakeTheirVideoPtsAsTheyDo) {
    ParseRun run;
    const Bytes stream = concat({
        pesPacket(0xC0, PesHeader().pts(0x111), filler(4)),             // leaves PacketPts 0x111
        pesPacket(0xE1, PesHeader().pts(0x222), filler(4)),             // MPEG-2: the PTS before
        pesPacket(0xE2, PesHeader().pts(0x333), filler(4)),             // H.264: unchanged
        pesPacket(0xE3, PesHeader().pts(0x444).dts(0x440), filler(4)),  // own PTS, already slot 1
    });
    ParseRun steps;
    runParser(run, stream, EngineMode::Scan);
    EXPECT_THAT(run.host.lines,
                ElementsAre("   MPEG audio stream 0xC0: left out.", "MPEG-2 video stream 1 found!",
                            "H.264 video stream 0 found!",
                            "   Stream 0xE3 shares video slot 1 with stream 0xE1: left out."));
    EXPECT_EQ(run.tables.videoStreamIds[0], 0xE2);
    EXPECT_EQ(run.tables.videoStreamIds[1], 0xE1);
    ASSERT_EQ(run.recorder.pieces.size(), 4u);
    EXPECT_EQ(run.recorder.pieces[0].target, PacketTarget::TargetMpegAudio);
    EXPECT_EQ(run.recorder.pieces[0].streamId, 0xC0);
    EXPECT_EQ(run.recorder.pieces[1].videoKind, VideoKind::VideoMpeg2);
    EXPECT_EQ(run.recorder.pieces[2].videoKind, VideoKind::VideoH264);
    EXPECT_EQ(run.recorder.pieces[3].videoSlot, 1);
    EXPECT_EQ(run.recorder.pieces[3].streamId, 0xE3);
    EXPECT_EQ(run.finalState.videoPts, 0x444u);

    // VideoPts at each identification, seen through the first pieces.
    struct VideoPtsAtPiece : PieceHandler {
        std::vector<uint32_t> values;
        void onPiece(const ParserState& s, const Piece&) override { values.push_back(s.videoPts); }
    } seen;
    const EngineOptions options = optionsOf(steps.host, EngineMode::Scan);
    StreamParser parser(steps.tables.slots, steps.host, options, seen);
    parser.feed(stream);
    EXPECT_THAT(seen.values, ElementsAre(0u, 0x111u, 0x111u, 0x444u));
}

// ---- Private stream 1 ----

struct AudioCase {
    uint8_t id;
    size_t headerLength;
    int slot;
    AudioKind kind;
    const char* message;
};

void PrintTo(const AudioCase& c, std::ostream* os) {
    *os << c.message;
}

class AudioKinds : public ::testing::TestWithParam<AudioCase> {};

TEST_P(AudioKinds, HeaderLengthSlotAndMessage) {
    const AudioCase& c = GetParam();
    const Bytes payload = filler(40, c.id);
    ParseRun run;
    runParser(run, privateStream1Packet(c.id, PesHeader().pts(1234), payload), EngineMode::Scan);
    EXPECT_EQ(subStreamHeader(c.id).size(), c.headerLength);
    EXPECT_THAT(run.host.lines, ElementsAre(c.message));
    EXPECT_EQ(run.tables.audioStreamIds[c.slot], c.id);
    ASSERT_EQ(run.recorder.pieces.size(), 1u);
    const RecordedPiece& piece = run.recorder.pieces[0];
    EXPECT_EQ(piece.target, PacketTarget::TargetAudio);
    EXPECT_EQ(piece.audioSlot, c.slot);
    EXPECT_EQ(piece.audioKind, c.kind);
    EXPECT_EQ(piece.streamId, c.id);
    EXPECT_EQ(piece.bytes, payload);  // exactly the bytes after the sub-stream header
    EXPECT_EQ(run.finalState.audioPts, 1234u);
    EXPECT_EQ(run.finalState.packetPts, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    EachKind, AudioKinds,
    ::testing::Values(
        AudioCase{0x80, 4, 0, AudioKind::AudioAc3, "Dolby Digital audio stream 0 found!"},
        AudioCase{0x8B, 4, 3, AudioKind::AudioDts, "DTS HD (DTS) audio stream 3 found!"},
        AudioCase{0xA1, 7, 1, AudioKind::AudioLpcm, "LPCM audio stream 1 found!"},
        AudioCase{0xB2, 5, 2, AudioKind::AudioMlp, "Dolby TrueHD (MLP) audio stream 2 found!"},
        AudioCase{0xCA, 4, 10, AudioKind::AudioDdPlus,
                  "Dolby Digital Plus audio stream 10 found!"}),
    [](const ::testing::TestParamInfo<AudioCase>& info) {
        char name[16];
        std::snprintf(name, sizeof name, "SubStream%02X", info.param.id);
        return std::string(name);
    });

TEST(PrivateStream1, UnknownSubStreamAfterDolbyDigitalIsPassedOver) {
    ParseRun run;
    runParser(run,
              concat({privateStream1Packet(0x80, PesHeader(), filler(10)),
                      privateStream1Packet(0x90, PesHeader(), filler(10))}),
              EngineMode::Scan);
    EXPECT_THAT(run.host.lines, ElementsAre("Dolby Digital audio stream 0 found!"));
    EXPECT_EQ(run.recorder.pieces.size(), 1u);
    EXPECT_EQ(run.finalState.audioKind, AudioKind::AudioAc3);
    EXPECT_EQ(run.finalState.lastAudioSubstreamId, 0x80);
    EXPECT_EQ(run.finalState.packetTarget, PacketTarget::TargetDiscard);
}

TEST(PrivateStream1, StreamsOfOneSlotAreAnnouncedOnceByTheFirst) {
    ParseRun run;
    runParser(run,
              concat({privateStream1Packet(0x80, PesHeader(), filler(10)),
                      privateStream1Packet(0x88, PesHeader(), filler(11)),
                      privateStream1Packet(0xA0, PesHeader(), filler(12))}),
              EngineMode::Scan);
    EXPECT_THAT(run.host.lines,
                ElementsAre("Dolby Digital audio stream 0 found!",
                            "   Stream 0x88 shares audio slot 0 with stream 0x80: left out.",
                            "   Stream 0xA0 shares audio slot 0 with stream 0x80: left out."));
    EXPECT_EQ(run.tables.audioStreamIds[0], 0x80);
    // The parser hands all three on; which of them the slot takes is decided after it.
    ASSERT_EQ(run.recorder.pieces.size(), 3u);
    EXPECT_EQ(run.recorder.pieces[1].streamId, 0x88);
    EXPECT_EQ(run.recorder.pieces[2].streamId, 0xA0);
    EXPECT_EQ(run.recorder.pieces[2].bytes, filler(12));
}

TEST(PrivateStream1, SubpictureAndExtendedSubpictureShareASlot) {
    ParseRun run;
    runParser(run,
              concat({privateStream1Packet(0x21, PesHeader().pts(5000), filler(9)),
                      privateStream1Packet(0x61, PesHeader().pts(6000), filler(8)),
                      privateStream1Packet(0x75, PesHeader(), filler(7))}),
              EngineMode::Scan);
    EXPECT_THAT(run.host.lines,
                ElementsAre("Subpicture stream 1 found!",
                            "   Stream 0x61 shares subpicture slot 1 with stream 0x21: left out.",
                            "Extended subpicture stream 21 found!"));
    EXPECT_EQ(run.tables.subpictureStreamIds[1], 0x21);
    EXPECT_EQ(run.tables.subpictureStreamIds[21], 0x75);
    ASSERT_EQ(run.recorder.pieces.size(), 3u);
    EXPECT_EQ(run.recorder.pieces[0].bytes, filler(9));  // payload right after the id byte
    EXPECT_EQ(run.recorder.pieces[1].subpictureSlot, 1);
    EXPECT_EQ(run.recorder.pieces[1].streamId, 0x61);
    EXPECT_TRUE(run.recorder.pieces[1].hasPts);
    EXPECT_EQ(run.recorder.pieces[1].ownPts, 6000u);
}

TEST(PrivateStream1, SubpictureFirstPtsLineAndPacketPtsByMode) {
    const Bytes stream = concat({pesPacket(0xE0, PesHeader().pts(0x4000), filler(4)),
                                 privateStream1Packet(0x20, PesHeader(), filler(4))});
    ParseRun scan;
    scan.host.detailsOption = true;
    runParser(scan, stream, EngineMode::Scan);
    // Without a PTS of its own the subpicture shows the PTS left by the video packet.
    EXPECT_THAT(scan.host.lines,
                ElementsAre("MPEG-2 video stream 0 found!", "Subpicture stream 0 found!",
                            "   First PTS = 00004000"));
    EXPECT_EQ(scan.finalState.packetPts, 0u);

    ParseRun demux;
    demux.host.detailsOption = true;
    runParser(demux, stream, EngineMode::Demux);
    EXPECT_THAT(demux.host.lines, IsEmpty());
    EXPECT_EQ(demux.tables.subpictureStreamIds[0], 0x20);
    EXPECT_EQ(demux.finalState.packetPts, 0x4000u);
}

TEST(PrivateStream1, PstdBufferWithoutTimestampStillReadsTheSubStreamHeader) {
    ParseRun run;
    runParser(run, privateStream1Packet(0x81, PesHeader().pstdBuffer(0x2000 | 58), filler(30)),
              EngineMode::Scan);
    EXPECT_THAT(run.host.lines, ElementsAre("Dolby Digital audio stream 1 found!"));
    ASSERT_EQ(run.recorder.pieces.size(), 1u);
    EXPECT_EQ(run.recorder.pieces[0].bytes, filler(30));
}

// ---- Packets skipped whole and odd lengths ----

TEST(SkippedPackets, StartCodesInsideAreNotSeen) {
    const Bytes hidden = concat({Bytes{0x00, 0x00, 0x01, 0xE0, 0x00, 0x08, 0x81, 0x80, 0x05},
                                 timestampField(2, 1), filler(20)});
    for (uint8_t id : {0xBC, 0xBE, 0xBF}) {
        SCOPED_TRACE(id);
        ParseRun run;
        runParser(run, concat({rawPacket(id, hidden), pesPacket(0xE1, PesHeader(), filler(3))}),
                  EngineMode::Scan);
        EXPECT_THAT(run.host.lines, ElementsAre("MPEG-2 video stream 1 found!"));
        ASSERT_EQ(run.recorder.pieces.size(), 1u);
        EXPECT_EQ(run.recorder.pieces[0].bytes, filler(3));
    }
}

TEST(SkippedPackets, TheRegisterEndsAsIfEveryByteWereShiftedIn) {
    // A padding packet whose last bytes begin the next start code.
    Bytes stream = concat({rawPacket(0xBE, Bytes{0xAA, 0x00, 0x00, 0x01}), Bytes{0xE0, 0x00, 0x03},
                           Bytes{0x81, 0x00, 0x00}});
    ParseRun run;
    runParser(run, stream, EngineMode::Scan);
    EXPECT_THAT(run.host.lines, ElementsAre("MPEG-2 video stream 0 found!"));
}

TEST(OddLengths, PacketWithoutPayloadHandsOnAnEmptyPiece) {
    ParseRun run;
    runParser(
        run,
        concat({pesPacket(0xE0, PesHeader().pts(9), {}), pesPacket(0xE0, PesHeader(), filler(6))}),
        EngineMode::Scan);
    ASSERT_EQ(run.recorder.pieces.size(), 2u);
    EXPECT_TRUE(run.recorder.pieces[0].bytes.empty());
    EXPECT_TRUE(run.recorder.pieces[0].first);
    EXPECT_EQ(run.recorder.pieces[1].bytes, filler(6));
}

TEST(OddLengths, HeaderLongerThanThePacketYieldsNoPayload) {
    ParseRun run;
    runParser(run,
              concat({pesPacket(0xE0, PesHeader().pts(9).packetLength(4), {}),
                      pesPacket(0xE1, PesHeader(), filler(6))}),
              EngineMode::Scan);
    EXPECT_THAT(run.host.lines,
                ElementsAre("MPEG-2 video stream 0 found!", "MPEG-2 video stream 1 found!"));
    ASSERT_EQ(run.recorder.pieces.size(), 1u);
    EXPECT_EQ(run.recorder.pieces[0].videoSlot, 1);
}

TEST(OddLengths, UnrecognisedStreamsAndHeadersPassThrough) {
    ParseRun run;
    runParser(run,
              concat({packHeader(PackHeader().stuffing(3)), systemHeader(),
                      pesPacket(0xE5, PesHeader(), filler(30)), Bytes{0x00, 0x00, 0x01, 0xB9},
                      pesPacket(0xE0, PesHeader(), filler(2))}),
              EngineMode::Scan);
    EXPECT_THAT(run.host.lines, ElementsAre("MPEG-2 video stream 0 found!"));
    ASSERT_EQ(run.recorder.pieces.size(), 1u);
    EXPECT_EQ(run.recorder.pieces[0].bytes, filler(2));
}

}  // namespace
}  // namespace morvale::testing
