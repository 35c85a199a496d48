// SPDX-License-Identifier: MIT
// A detailed scan through morvale-cli: each header report's lines stand right after the
// first-timestamp line of their stream, before the next stream is announced.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "cli_process.h"
#include "support/engine_ledger.h"
#include "reports/reports.h"
#include "support/bit_writer.h"
#include "support/program_stream_builder.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

using Lines = std::vector<std::string>;

class LineLog : public MessageLog {
  public:
    Lines lines;
    void log(std::string_view line) override { lines.emplace_back(line); }
};

bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string ptsLine(uint32_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "   First PTS = %08X", value);
    return text;
}

// An advanced-profile VC-1 sequence header (1920x1080, 24000/1001 frames per second), an
// entry point and a frame (SMPTE 421M).
Bytes vc1Start() {
    BitWriter w;
    w.bytes({0x00, 0x00, 0x01, 0x0F});
    w.bits(3, 2).bits(3, 3).bits(1, 2);   // profile, level, colour difference format
    w.bits(7, 3).bits(31, 5).flag(true);  // postprocessing quantizers, POSTPROCFLAG
    w.bits(959, 12).bits(539, 12);        // coded size
    w.flag(true).flag(false);             // PULLDOWN, INTERLACE
    w.flag(true).flag(false).flag(true).flag(false);
    w.flag(true).bits(1919, 14).bits(1079, 14);      // display extension and size
    w.flag(true).bits(1, 4);                         // aspect ratio 1:1
    w.flag(true).flag(false).bits(2, 8).bits(2, 4);  // frame rate 24000/1001
    w.flag(false).flag(false);                       // colour format, HRD parameters
    w.flag(true).alignWithZeros();
    w.bytes({0x00, 0x00, 0x01, 0x0E, 0x48, 0xD1, 0xE0, 0x80});
    w.bytes({0x00, 0x00, 0x01, 0x0D, 0x3B, 0x5C, 0xA1, 0x77, 0x12, 0x80});
    return w.data();
}

Bytes head(const Bytes& bytes, size_t n) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<long>(std::min(n, bytes.size())));
}

TEST(DetailedScanTest, ReportLinesFollowTheirFirstTimestamp) {
    if (!run("ffmpeg -version")) GTEST_SKIP() << "ffmpeg is not installed";
    TempDir dir;
    ASSERT_TRUE(
        run("ffmpeg -v error -y -f lavfi -i sine=sample_rate=48000 -t 1 -ac 2 -c:a eac3 "
            "-b:a 192k -f eac3 " +
            dir.file("a.eac3")));
    ASSERT_TRUE(
        run("ffmpeg -v error -y -f lavfi -i testsrc=size=352x288:rate=25 -t 1 "
            "-c:v mpeg2video -f mpeg2video " +
            dir.file("v.m2v")));
    const Bytes eac3 = head(readFileBytes(dir.file("a.eac3")), 1500);
    const Bytes mpeg2 = head(readFileBytes(dir.file("v.m2v")), 1800);
    const Bytes vc1 = vc1Start();
    ASSERT_GT(eac3.size(), 100u);
    ASSERT_GT(mpeg2.size(), 100u);

    ProgramStream ps;
    ps.addPack(
        {pesPacket(0xFD, PesHeader().pts(0x20000).dts(0x1F000).streamIdExtension(0x55), vc1)});
    ps.addPack({privateStream1Packet(0xC0, PesHeader().pts(0x20100), eac3)});
    ps.addPack({pesPacket(0xE1, PesHeader().pts(0x21000).dts(0x20800), mpeg2)});
    ps.writeFile(dir.file("DETAIL.EVO"));

    // What each report says of the same first pieces.
    LineLog vc1Report, eac3Report, mpeg2Report;
    ReportVc1(vc1, 0x20000, '.', vc1Report);
    ReportAc3(eac3, 0, eac3Report);
    ReportMpeg2Video(mpeg2, 0x21000, mpeg2Report);
    for (const Lines* report : {&vc1Report.lines, &eac3Report.lines, &mpeg2Report.lines})
        ASSERT_GE(report->size(), 3u);

    Lines expected = {"Opening file DETAIL.EVO", "File size: 0 Mbytes.",
                      "VC-1 video stream 0 found!", ptsLine(0x20000)};
    expected.insert(expected.end(), vc1Report.lines.begin(), vc1Report.lines.end());
    expected.push_back("Dolby Digital Plus audio stream 0 found!");
    expected.push_back(ptsLine(0x20100));
    expected.insert(expected.end(), eac3Report.lines.begin(), eac3Report.lines.end());
    expected.push_back("MPEG-2 video stream 1 found!");
    expected.push_back(ptsLine(0x21000));
    expected.insert(expected.end(), mpeg2Report.lines.begin(), mpeg2Report.lines.end());
    expected.push_back("Done.");

    const CliResult result = runCliProcess({"scan", dir.file("DETAIL.EVO")});
    ASSERT_EQ(result.status, 0) << result.err;
    ASSERT_GE(result.out.size(), expected.size());
    EXPECT_EQ(Lines(result.out.begin(), result.out.begin() + static_cast<long>(expected.size())),
              expected);

    // Without "Detailed info" neither the timestamps nor the reports are shown.
    const CliResult plain = runCliProcess({"scan", "--no-details", dir.file("DETAIL.EVO")});
    EXPECT_EQ(Lines(plain.out.begin(), plain.out.begin() + 6),
              (Lines{"Opening file DETAIL.EVO", "File size: 0 Mbytes.",
                     "VC-1 video stream 0 found!", "Dolby Digital Plus audio stream 0 found!",
                     "MPEG-2 video stream 1 found!", "Done."}));
}

}  // namespace
}  // namespace morvale::testing
