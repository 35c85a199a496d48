// SPDX-License-Identifier: MIT
// Sources larger than 4 GiB: what demux writes, shows and stops at beyond the 4 GiB mark.
// The files are sparse, and the runs seek close to the mark instead of reading up to it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "support/engine_ledger.h"
#include "engine/demux.h"
#include "platform/clock.h"
#include "support/program_stream_builder.h"
#include "support/recording_engine_host.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

using ::testing::ElementsAre;

constexpr uint64_t kMiB = 1 << 20;
constexpr uint64_t kMark = uint64_t{1} << 32;  // 4 GiB

class Beyond4GiB : public ::testing::Test {
  protected:
    TempDir dir;
    EngineLedger state;
    RecordingEngineHost host;
    std::string path = dir.file("huge.evo");

    // Runs demux from `from` to the end; returns where the source stopped.
    uint64_t run(uint64_t from, EngineMode mode, const DemuxOutputs* outputs = nullptr) {
        SourceFile source = SourceFile::open(path, ShareMode::Exclusive);
        source.seek(static_cast<int64_t>(from));
        demux(state, host, source, mode, outputs);
        return static_cast<uint64_t>(source.position());
    }
};

TEST_F(Beyond4GiB, DemuxWritesThePayloadsOnBothSidesOfTheMarkAndAcrossIt) {
    const Bytes audio1 = filler(500, 1), audio2 = filler(1500, 2), audio3 = filler(800, 3);
    const Bytes sub1 = filler(300, 4), sub2 = filler(200, 5);
    const Bytes video = pictures(0x0D, 3, 700);
    // The mark is a block boundary of a run that starts 1 MiB before it, and it cuts the
    // second audio packet's payload in two.
    const Bytes across = privateStream1Packet(0x81, PesHeader(), audio2);
    writeSparseFile(
        path, kMark + 2 * kMiB + 123,
        {{kMark - kMiB, privateStream1Packet(0x81, PesHeader().pts(0x2000), audio1)},
         {kMark - kMiB + 4096, privateStream1Packet(0x20, PesHeader().pts(0x3000), sub1)},
         {kMark - across.size() / 2, across},
         {kMark + 64 * 1024,
          pesPacket(0xFD, PesHeader().pts(0x4000).streamIdExtension(0x55), video)},
         {kMark + kMiB, privateStream1Packet(0x81, PesHeader(), audio3)},
         {kMark + kMiB + 4096, privateStream1Packet(0x20, PesHeader().pts(0x5000), sub2)}});

    host.countFramesOption = true;
    host.videoTicks[0] = host.audioTicks[1] = host.subpictureTicks[0] = true;
    state.minFirstPts = 0x1000;  // left by the scan
    OutputFile videoOut = OutputFile::create(dir.file("v0"));
    OutputFile audioOut = OutputFile::create(dir.file("a1"));
    OutputFile subOut = OutputFile::create(dir.file("s0"));
    BoxSinks outputs(state.minFirstPts);
    outputs.set(SlotKind::Video, 0, videoOut);
    outputs.set(SlotKind::Audio, 1, audioOut);
    outputs.set(SlotKind::Subpicture, 0, subOut);

    EXPECT_EQ(run(kMark - kMiB, EngineMode::Demux, &outputs.outputs()), kMark + 2 * kMiB + 123);
    videoOut.close();
    audioOut.close();
    subOut.close();

    EXPECT_EQ(readFileBytes(dir.file("a1")), concat({audio1, audio2, audio3}));
    EXPECT_EQ(readFileBytes(dir.file("v0")), video);
    EXPECT_EQ(state.frameCounts, (std::array<int32_t, 2>{3, 0}));
    const Bytes record1 = {'S', 'P', 0x00, 0x20, 0x00, 0x00, 0, 0, 0, 0};
    const Bytes record2 = {'S', 'P', 0x00, 0x40, 0x00, 0x00, 0, 0, 0, 0};
    EXPECT_EQ(readFileBytes(dir.file("s0")), concat({record1, sub1, record2, sub2}));
}

// The estimate scales the time spent by size / position with the whole 64-bit position: at
// each progress point the clock says as many seconds have passed as MiB have been read, so
// the whole file takes 4104 seconds and the rest is 4104 - position + 1.
TEST_F(Beyond4GiB, ProgressTextsEstimateFromTheWholePosition) {
    writeSparseFile(path, kMark + 8 * kMiB);
    const double start = 45000.0;
    double elapsedSeconds = 4092;  // at the first progress point, 4092 MiB
    int calls = 0;
    host.nowDays = [&] { return calls++ == 0 ? start : start + elapsedSeconds * kOneSecond; };
    host.onPump = [&] { elapsedSeconds += 4; };

    EXPECT_EQ(run(kMark - 8 * kMiB, EngineMode::Scan), kMark + 8 * kMiB);
    EXPECT_THAT(host.progressTexts, ElementsAre("4092/4104 Mbytes, Remaining time: 0:00:13",
                                                "4096/4104 Mbytes, Remaining time: 0:00:09",
                                                "4100/4104 Mbytes, Remaining time: 0:00:05",
                                                "4104/4104 Mbytes, Remaining time: 0:00:01"));
}

// Beyond the mark every position is past the fast-check limit: a fast scan reads one block.
TEST_F(Beyond4GiB, FastCheckingStopsAfterOneBlockReadBeyondTheMark) {
    writeSparseFile(path, kMark + kMiB,
                    {{kMark, pesPacket(0xFD, PesHeader().pts(1).streamIdExtension(0x55),
                                       pictures(0x0D, 2, 300))},
                     {kMark + kBlockSize, pesPacket(0xE1, PesHeader(), mpeg2Pictures(2, 300))}});
    host.fastCheckOption = true;
    host.countFramesOption = true;

    EXPECT_EQ(run(kMark, EngineMode::Scan), kMark + kBlockSize);
    EXPECT_TRUE(state.cancelRequested);
    EXPECT_THAT(host.lines, ElementsAre("VC-1 video stream 0 found!"));
    EXPECT_EQ(state.frameCounts, (std::array<int32_t, 2>{0, 0}));

    host.lines.clear();
    EXPECT_EQ(run(kMark, EngineMode::Demux), kMark + kMiB);  // a Demux reads on
    EXPECT_THAT(host.lines, ::testing::IsEmpty());
    EXPECT_EQ(state.videoStreamIds[1], 0xE1);
}

// A file whose size has small low 32 bits: a fast scan from the start still stops at the
// limit, after progress texts that give the whole size.
TEST_F(Beyond4GiB, FastCheckingFromTheStartStopsAtTheLimit) {
    writeSparseFile(path, kMark + kMiB);
    host.fastCheckOption = true;

    EXPECT_EQ(run(0, EngineMode::Scan), 300154880u);
    EXPECT_TRUE(state.cancelRequested);
    ASSERT_EQ(host.progressTexts.size(), 71u);  // every 4 MiB up to 284 MiB
    EXPECT_EQ(host.progressTexts.front().substr(0, 17), "4/4097 Mbytes, Re");
    EXPECT_EQ(host.progressTexts.back().substr(0, 19), "284/4097 Mbytes, Re");
}

}  // namespace
}  // namespace morvale::testing
