// SPDX-License-Identifier: MIT
// A Scan's first timestamps, the time base of subpicture records, and which report each
// slot's first payload piece goes to.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/engine_ledger.h"
#include "demux_run.h"

namespace morvale::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The calls of the reports, recorded through a ReportSet of plain functions.
struct ReportCall {
    std::string report;
    Bytes piece;
    int slot = -1;
    uint64_t pts = 0;
    char separator = 0;
};
std::vector<ReportCall> reportCalls;

const ReportSet kRecordingReports = [] {
    ReportSet set;
    set.ac3 = [](std::span<const uint8_t> p, int slot, MessageLog& log) {
        reportCalls.push_back({"AC-3", Bytes(p.begin(), p.end()), slot});
        log.log("   (AC-3 report)");
    };
    set.vc1 = [](std::span<const uint8_t> p, uint64_t pts, char sep, MessageLog&) {
        reportCalls.push_back({"VC-1", Bytes(p.begin(), p.end()), -1, pts, sep});
    };
    set.mpeg2Video = [](std::span<const uint8_t> p, uint32_t pts, MessageLog&) {
        reportCalls.push_back({"MPEG-2", Bytes(p.begin(), p.end()), -1, pts});
    };
    set.h264 = [](std::span<const uint8_t> p, MessageLog&) {
        reportCalls.push_back({"H.264", Bytes(p.begin(), p.end())});
    };
    return set;
}();

class FirstTimestamps : public ::testing::Test {
  protected:
    TempDir dir;
    EngineLedger state;
    RecordingEngineHost host;

    void SetUp() override {
        reportCalls.clear();
        state.minFirstPts = 0xFFFFFFFF;  // as Read EVO sets it
        host.detailsOption = true;
    }

    void scan(const Bytes& stream, EngineMode mode = EngineMode::Scan) {
        writeSparseFile(dir.file("s.evo"), stream.size(), {{0, stream}});
        SourceFile source = SourceFile::open(dir.file("s.evo"), ShareMode::Shared);
        demux(state, host, source, mode, nullptr, kRecordingReports);
    }
};

TEST_F(FirstTimestamps, EachSlotShowsItsFirstPtsOnceAfterItsIdentification) {
    const Bytes dd = filler(100, 1), ddp = filler(120, 2);
    ProgramStream ps;
    ps.addPack({privateStream1Packet(0x80, PesHeader().pts(0x00020000), dd),
                privateStream1Packet(0xC1, PesHeader().pts(0x0001F000), ddp),
                pesPacket(0xE0, PesHeader().pts(0x00021000).dts(0x00020800), mpeg2Pictures(1, 50)),
                privateStream1Packet(0x80, PesHeader().pts(0x00000100), dd),
                pesPacket(0xE0, PesHeader().pts(0x00000200).dts(0x100), mpeg2Pictures(1, 50))});
    scan(ps.bytes());
    EXPECT_THAT(
        host.lines,
        ElementsAre("Dolby Digital audio stream 0 found!", "   First PTS = 00020000",
                    "Dolby Digital Plus audio stream 1 found!", "   First PTS = 0001F000",
                    "   (AC-3 report)", "MPEG-2 video stream 0 found!", "   First PTS = 00021000"));
    EXPECT_EQ(state.minFirstPts, 0x0001F000u);
    // Only Dolby Digital Plus goes to the AC-3 report, with its first piece.
    ASSERT_EQ(reportCalls.size(), 2u);
    EXPECT_EQ(reportCalls[0].report, "AC-3");
    EXPECT_EQ(reportCalls[0].slot, 1);
    EXPECT_EQ(reportCalls[0].piece, ddp);
    EXPECT_EQ(reportCalls[1].report, "MPEG-2");
    EXPECT_EQ(reportCalls[1].pts, 0x00021000u);
}

TEST_F(FirstTimestamps, VideoReportsByKindWithTheirTimestamps) {
    host.separator = ',';
    const Bytes vc1 = pictures(0x0D, 1, 80), h264 = pictures(0x09, 1, 60);
    ProgramStream ps;
    ps.addPack({pesPacket(0xFD, PesHeader().pts(0xC0000123).streamIdExtension(0x55), vc1),
                pesPacket(0xE3, PesHeader().pts(0x4000).dts(0x3000), h264)});
    scan(ps.bytes());
    EXPECT_THAT(host.lines, ElementsAre("VC-1 video stream 0 found!", "   First PTS = C0000123",
                                        "H.264 video stream 1 found!", "   First PTS = 00004000"));
    ASSERT_EQ(reportCalls.size(), 2u);
    EXPECT_EQ(reportCalls[0].report, "VC-1");
    EXPECT_EQ(reportCalls[0].piece, vc1);
    EXPECT_EQ(reportCalls[0].pts, 0xC0000123u);
    EXPECT_EQ(reportCalls[0].separator, ',');
    EXPECT_EQ(reportCalls[1].report, "H.264");
    EXPECT_EQ(reportCalls[1].piece, h264);
}

// "Detailed info" decides what is shown; the time base is lowered in every scan.
TEST_F(FirstTimestamps, WithoutDetailsNothingIsShownButTheTimeBaseIsKept) {
    host.detailsOption = false;
    ProgramStream ps;
    ps.addPack({privateStream1Packet(0xC0, PesHeader().pts(0x9000), filler(50)),
                pesPacket(0xE0, PesHeader().pts(0x8000).dts(0x7000), mpeg2Pictures(1, 50)),
                privateStream1Packet(0x20, PesHeader().pts(0x10), filler(50))});
    scan(ps.bytes());
    EXPECT_THAT(host.lines,
                ElementsAre("Dolby Digital Plus audio stream 0 found!",
                            "MPEG-2 video stream 0 found!", "Subpicture stream 0 found!"));
    EXPECT_THAT(reportCalls, IsEmpty());
    EXPECT_EQ(state.minFirstPts, 0x8000u);  // subpicture timestamps are not taken
}

TEST_F(FirstTimestamps, ADemuxShowsNothingAndLeavesTheTimeBase) {
    state.minFirstPts = 0x1234;
    ProgramStream ps;
    ps.addPack({privateStream1Packet(0xC0, PesHeader().pts(0x9), filler(50)),
                pesPacket(0xE0, PesHeader().pts(0x8).dts(0x7), mpeg2Pictures(1, 50))});
    scan(ps.bytes(), EngineMode::Demux);
    EXPECT_THAT(host.lines, IsEmpty());
    EXPECT_THAT(reportCalls, IsEmpty());
    EXPECT_EQ(state.minFirstPts, 0x1234u);
}

TEST_F(FirstTimestamps, ReportsSeeOnlyTheFirstPieceUpToTheBlockEnd) {
    const Bytes frames = filler(1500, 3);
    const Bytes packet = privateStream1Packet(0xC2, PesHeader().pts(0x700), frames);
    writeSparseFile(dir.file("cut.evo"), 300000, {{262144 - 1000, packet}});
    SourceFile source = SourceFile::open(dir.file("cut.evo"), ShareMode::Shared);
    demux(state, host, source, EngineMode::Scan, nullptr, kRecordingReports);
    ASSERT_EQ(reportCalls.size(), 1u);
    const size_t inFirstBlock = 1000 - (packet.size() - frames.size());
    EXPECT_EQ(reportCalls[0].piece, Bytes(frames.begin(), frames.begin() + inFirstBlock));
}

TEST_F(FirstTimestamps, AnEmptyFirstPieceIsStillReported) {
    ProgramStream ps;
    ps.addPack({privateStream1Packet(0xC0, PesHeader().pts(0x77), {}),
                privateStream1Packet(0xC0, PesHeader().pts(0x88), filler(9))});
    scan(ps.bytes());
    EXPECT_THAT(host.lines, ElementsAre("Dolby Digital Plus audio stream 0 found!",
                                        "   First PTS = 00000077", "   (AC-3 report)"));
    ASSERT_EQ(reportCalls.size(), 1u);
    EXPECT_THAT(reportCalls[0].piece, IsEmpty());
}

TEST_F(FirstTimestamps, AContinuationFileReportsAgain) {
    ProgramStream ps;
    ps.addPack({privateStream1Packet(0xC0, PesHeader().pts(0x500), filler(9))});
    scan(ps.bytes());
    ps = ProgramStream();
    ps.addPack({privateStream1Packet(0xC0, PesHeader().pts(0x400), filler(9))});
    scan(ps.bytes());
    EXPECT_EQ(reportCalls.size(), 2u);
    EXPECT_EQ(state.minFirstPts, 0x400u);  // the minimum over both parts
}

}  // namespace
}  // namespace morvale::testing
