// SPDX-License-Identifier: MIT
// The block loop of demux on real files: start and end of a call, the system header line,
// progress, repaint, Cancel, the fast-check limit, large files and file errors.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "support/engine_ledger.h"
#include "engine/demux.h"
#include "platform/clock.h"
#include "support/program_stream_builder.h"
#include "support/recording_engine_host.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int64_t kMiB = 1 << 20;

// A first pack with a system header and a VC-1 packet of three frames.
Bytes firstPack(int audioBound, int videoBound, const PackHeader& header = PackHeader()) {
    return pack(
        {systemHeader(audioBound, videoBound),
         pesPacket(0xFD, PesHeader().pts(90000).streamIdExtension(0x55), pictures(0x0D, 3, 300))},
        header);
}

class DemuxLoop : public ::testing::Test {
  protected:
    TempDir dir;
    EngineLedger state;
    RecordingEngineHost host;

    // Runs demux over the file from its start; returns the position where it stopped.
    int64_t run(const std::string& path, EngineMode mode, const DemuxOutputs* outputs = nullptr) {
        SourceFile source = SourceFile::open(path, ShareMode::Shared);
        demux(state, host, source, mode, outputs);
        return source.position();
    }
};

// ---- Start and end of a call ----

TEST_F(DemuxLoop, StartResetsTheTablesAndFlagsAndEndSwitchesCancelOff) {
    const std::string path = dir.file("a.evo");
    writeSparseFile(path, 4096, {{0, firstPack(1, 1)}});
    state.audioStreamIds[3] = 0x83;
    state.cancelRequested = true;  // left by an earlier run: cleared at the start
    state.frameCounts = {7, 8};  // the caller's: the call adds to them
    state.minFirstPts = 0x1234;  // never reset by demux
    host.countFramesOption = true;

    EXPECT_EQ(run(path, EngineMode::Scan), 4096);
    EXPECT_THAT(host.lines, ElementsAre("VC-1 video stream 0 found!"));
    EXPECT_EQ(state.audioStreamIds[3], -1);
    EXPECT_EQ(state.videoStreamIds[0], 0x55);
    EXPECT_FALSE(state.cancelRequested);
    EXPECT_FALSE(state.confirmCancel);
    EXPECT_EQ(state.frameCounts, (std::array<int32_t, 2>{10, 8}));
    EXPECT_EQ(state.minFirstPts, 0x1234u);
    EXPECT_THAT(host.cancelEnabledChanges, ElementsAre(true, false));

    run(path, EngineMode::Demux);
    EXPECT_TRUE(state.confirmCancel);
}

TEST_F(DemuxLoop, ASecondCallAnnouncesEveryStreamAgainAndStartsTheTablesAfresh) {
    const std::string first = dir.file("FEATURE_1.EVO");
    const std::string second = dir.file("FEATURE_2.EVO");
    ProgramStream a;
    a.add(firstPack(1, 1)).addPack({privateStream1Packet(0x80, PesHeader().pts(1), filler(9))});
    a.writeFile(first);
    ProgramStream b;
    b.add(firstPack(0, 1));
    b.writeFile(second);
    host.countFramesOption = true;

    run(first, EngineMode::Scan);
    run(second, EngineMode::Scan);
    EXPECT_THAT(host.lines,
                ElementsAre("VC-1 video stream 0 found!", "Dolby Digital audio stream 0 found!",
                            "VC-1 video stream 0 found!"));
    EXPECT_EQ(state.audioStreamIds[0], -1);  // the lists show what the second part holds
    EXPECT_EQ(state.frameCounts[0], 6);      // counts add up over the parts
}

TEST_F(DemuxLoop, AnEmptySourceReadsNothingAndShowsNoProgress) {
    const std::string path = dir.file("empty.evo");
    writeSparseFile(path, 0);
    EXPECT_EQ(run(path, EngineMode::Scan), 0);
    EXPECT_THAT(host.lines, IsEmpty());
    EXPECT_THAT(host.progressTexts, IsEmpty());
    EXPECT_EQ(host.pumpCount, 0);
    EXPECT_THAT(host.cancelEnabledChanges, ElementsAre(true, false));
}

// ---- The system header line ----

TEST_F(DemuxLoop, SystemHeaderLineNeedsAWholeFirstBlockAndAPlainFirstPack) {
    struct Case {
        int64_t size;
        int audio;
        int video;
        int stuffing;
        EngineMode mode;
        std::vector<std::string> expected;
    };
    const std::string found = "VC-1 video stream 0 found!";
    const Case cases[] = {
        {262143, 3, 1, 0, EngineMode::Scan, {found}},
        {262144,
         3,
         1,
         0,
         EngineMode::Scan,
         {"It contains 1 video stream and 3 audio streams.", found}},
        {300000,
         1,
         1,
         0,
         EngineMode::Scan,
         {"It contains 1 video stream and 1 audio stream.", found}},
        {262144,
         2,
         0,
         0,
         EngineMode::Scan,
         {"It contains 0 video stream and 2 audio streams.", found}},
        {262144,
         0,
         2,
         0,
         EngineMode::Scan,
         {"It contains 2 video streams and 0 audio stream.", found}},
        {262144,
         63,
         31,
         0,
         EngineMode::Scan,
         {"It contains 31 video streams and 63 audio streams.", found}},
        {262144, 3, 1, 2, EngineMode::Scan, {found}},  // stuffing moves the system header
        {262144, 3, 1, 0, EngineMode::Demux, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.size << " bytes, bounds " << c.audio << "/"
                                          << c.video << ", stuffing " << c.stuffing);
        const std::string path = dir.file("sh.evo");
        writeSparseFile(path, c.size,
                        {{0, firstPack(c.audio, c.video, PackHeader().stuffing(c.stuffing))}});
        host.lines.clear();
        run(path, c.mode);
        EXPECT_EQ(host.lines, c.expected);
    }
}

// ---- Progress, repaint and Cancel ----

TEST_F(DemuxLoop, FirstProgressTextAfterFourMegabytesWithTheRemainingTime) {
    const std::string path = dir.file("big.evo");
    writeSparseFile(path, 1024 * kMiB);
    const double start = 45000.25;
    int calls = 0;
    host.nowDays = [&] { return calls++ == 0 ? start : start + 60 * kOneSecond; };
    host.onPump = [&] { state.cancelRequested = true; };  // Cancel clicked meanwhile

    EXPECT_EQ(run(path, EngineMode::Scan), 4 * kMiB);
    EXPECT_THAT(host.progressTexts, ElementsAre("4/1024 Mbytes, Remaining time: 4:15:01"));
    EXPECT_EQ(host.pumpCount, 1);
}

TEST_F(DemuxLoop, CancelIsSeenAtAProgressPointAndTheBlockInHandIsStillParsed) {
    const std::string path = dir.file("cancel.evo");
    const auto videoAt = [](uint8_t id) {
        return pack({pesPacket(id, PesHeader(), mpeg2Pictures(2, 100))});
    };
    // The sixteenth block ends at the first progress point; the seventeenth is never read.
    writeSparseFile(
        path, 64 * kMiB,
        {{0, videoAt(0xE0)}, {4 * kMiB - 2048, videoAt(0xE1)}, {4 * kMiB, videoAt(0xE2)}});
    host.countFramesOption = true;
    host.onPump = [&] { state.cancelRequested = true; };

    EXPECT_EQ(run(path, EngineMode::Demux), 4 * kMiB);
    EXPECT_TRUE(state.cancelRequested);  // left set for the caller
    EXPECT_EQ(state.videoStreamIds[1], 0xE1);
    EXPECT_EQ(state.videoStreamIds[0], 0xE0);
    EXPECT_EQ(state.frameCounts, (std::array<int32_t, 2>{0, 0}));  // zeroed on cancel
    EXPECT_THAT(host.cancelEnabledChanges, ElementsAre(true, false));
}

TEST_F(DemuxLoop, ProgressEveryFourMegabytesRepaintEverySixtyFour) {
    const std::string path = dir.file("repaint.evo");
    writeSparseFile(path, 128 * kMiB + 1);
    run(path, EngineMode::Demux);
    EXPECT_EQ(host.progressTexts.size(), 32u);
    EXPECT_EQ(host.pumpCount, 32);
    EXPECT_EQ(host.repaintCount, 2);
    EXPECT_EQ(host.progressTexts.back().substr(0, 22), "128/128 Mbytes, Remain");

    host.progressTexts.clear();
    writeSparseFile(path, 4 * kMiB - 1);
    run(path, EngineMode::Scan);
    EXPECT_THAT(host.progressTexts, IsEmpty());
}

// ---- Pieces at the block boundary ----

// The register carries from one piece of the stream to the next: a frame start code cut by
// the block boundary anywhere is counted once, and bytes on both sides of the boundary that
// are no start code together count nothing.
TEST_F(DemuxLoop, PictureCodesCutByTheBlockBoundaryCountAsTheRegisterSays) {
    struct Case {
        Bytes beforeCut;
        Bytes afterCut;
        int expected;
    };
    const Case cases[] = {
        {{0x00}, {0x00, 0x01, 0x0D}, 1},
        {{0x00, 0x00}, {0x01, 0x0D}, 1},
        {{0x00, 0x00, 0x01}, {0x0D}, 1},
        {{0x55, 0x66}, {0x01, 0x0D}, 0},  // no start code in the file
        {{0x55, 0x66}, {0x00, 0x01, 0x0D}, 0},
    };
    host.countFramesOption = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        const Bytes payload = concat({filler(300), c.beforeCut, c.afterCut, filler(300)});
        const Bytes packet = pesPacket(0xFD, PesHeader().streamIdExtension(0x55), payload);
        const size_t cutInPacket = packet.size() - payload.size() + 300 + c.beforeCut.size();
        const std::string path = dir.file("cut.evo");
        writeSparseFile(path, 2 * kBlockSize,
                        {{static_cast<uint64_t>(kBlockSize - cutInPacket), packet}});
        state.frameCounts = {0, 0};
        run(path, EngineMode::Scan);
        EXPECT_EQ(state.frameCounts[0], c.expected);
    }
}

// ---- Fast checking ----

TEST_F(DemuxLoop, FastCheckingStopsAScanAfterTheBlockThatPassesTheLimit) {
    const std::string path = dir.file("fast.evo");
    writeSparseFile(path, 400000000, {{0, firstPack(1, 1)}});
    host.fastCheckOption = true;
    host.countFramesOption = true;

    EXPECT_EQ(run(path, EngineMode::Scan), 300154880);
    EXPECT_TRUE(state.cancelRequested);
    EXPECT_EQ(state.frameCounts[0], 0);
    EXPECT_THAT(host.lines, ElementsAre("It contains 1 video stream and 1 audio stream.",
                                        "VC-1 video stream 0 found!"));

    host.fastCheckOption = false;
    EXPECT_EQ(run(path, EngineMode::Scan), 400000000);
    EXPECT_EQ(state.frameCounts[0], 3);

    host.fastCheckOption = true;
    state.frameCounts = {0, 0};
    EXPECT_EQ(run(path, EngineMode::Demux), 400000000);  // a Demux never stops early
    EXPECT_FALSE(state.cancelRequested);
}

// ---- Large files ----

TEST_F(DemuxLoop, PositionsAndSizesBeyondFourGigabytes) {
    const std::string path = dir.file("huge.evo");
    const int64_t size = 4096 * kMiB + 8 * kMiB;
    writeSparseFile(path, static_cast<uint64_t>(size),
                    {{static_cast<uint64_t>(4096 * kMiB + 4 * kMiB - 2048),
                      pack({privateStream1Packet(0xC3, PesHeader().pts(5), filler(100))})}});
    // demux reads from where the caller left the source; start 8 MiB before 4 GiB.
    SourceFile source = SourceFile::open(path, ShareMode::Shared);
    source.seek(4088 * kMiB);
    demux(state, host, source, EngineMode::Scan);
    EXPECT_EQ(source.position(), size);
    EXPECT_THAT(host.lines, ElementsAre("Dolby Digital Plus audio stream 3 found!"));
    ASSERT_EQ(host.progressTexts.size(), 4u);
    EXPECT_EQ(host.progressTexts[0].substr(0, 18), "4092/4104 Mbytes, ");
    EXPECT_EQ(host.progressTexts[3].substr(0, 18), "4104/4104 Mbytes, ");
}

// ---- File errors ----

TEST_F(DemuxLoop, AReadThatDeliversNothingBeforeTheEndIsAStreamReadError) {
    // Kernel attribute files report a size of a page but hold a few bytes.
    const std::string path = "/sys/kernel/mm/transparent_hugepage/enabled";
    std::error_code error;
    if (std::filesystem::file_size(path, error) != 4096) GTEST_SKIP() << "no such sysfs file";
    SourceFile source = SourceFile::open(path, ShareMode::Shared);
    try {
        demux(state, host, source, EngineMode::Scan);
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
    EXPECT_THAT(host.cancelEnabledChanges, ElementsAre(true));  // the end was skipped
}

// Files may not grow beyond a limit for as long as it lives; writes past it fail.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

  private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(DemuxLoop, AWriteFailureEndsTheCallAtOnce) {
    const std::string path = dir.file("audio.evo");
    ProgramStream ps;
    ps.add(packetizePrivateStream1(0x80, PesHeader().pts(1), filler(3 * kMiB, 1)));
    ps.writeFile(path);
    OutputFile out = OutputFile::create(dir.file("audio.ac3"));
    BoxSinks outputs(0);
    outputs.set(SlotKind::Audio, 0, out);
    host.audioTicks[0] = true;
    {
        FileSizeLimit limit(512 * 1024);
        try {
            run(path, EngineMode::Demux, &outputs.outputs());
            ADD_FAILURE() << "no error";
        } catch (const FileError& e) {
            EXPECT_STREQ(e.what(), "Stream write error");
        }
    }
    EXPECT_THAT(host.cancelEnabledChanges, ElementsAre(true));  // the end was skipped
}

}  // namespace
}  // namespace morvale::testing
