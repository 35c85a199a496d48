// SPDX-License-Identifier: MIT
// An independent check: a DVD-style program stream muxed by ffmpeg, demuxed here and by
// ffmpeg itself, must give the same elementary streams and picture count.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "demux_run.h"

namespace morvale::testing {
namespace {

bool run(const std::string& command) {
    return std::system((command + " 2>/dev/null").c_str()) == 0;
}

std::string output(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe))
            text += buffer;
        pclose(pipe);
    }
    return text;
}

TEST(FfmpegPeer, DemuxedStreamsEqualFfmpegsOwnCopies) {
    if (!run("ffmpeg -version >/dev/null") || !run("ffprobe -version >/dev/null")) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    DemuxRun demux;
    const std::string vob = demux.dir.file("peer.vob");
    ASSERT_TRUE(
        run("ffmpeg -v error -y -f lavfi -i testsrc=size=176x144:rate=25 -f lavfi -i "
            "sine=frequency=440:sample_rate=48000 -t 6 -c:v mpeg2video -g 12 -bf 2 "
            "-c:a ac3 -b:a 128k -f vob " +
            vob));
    ASSERT_TRUE(run("ffmpeg -v error -y -i " + vob + " -map 0:v -c copy -f mpeg2video " +
                    demux.dir.file("peer.m2v") + " -map 0:a -c copy -f ac3 " +
                    demux.dir.file("peer.ac3")));
    const int frames = std::atoi(output("ffprobe -v error -count_frames -select_streams v "
                                        "-show_entries stream=nb_read_frames -of csv=p=0 " +
                                        vob)
                                     .c_str());
    ASSERT_GT(frames, 100);

    demux.host.countFramesOption = true;
    demux.host.detailsOption = true;
    demux.state.minFirstPts = 0xFFFFFFFF;
    demux.runFile(vob, EngineMode::Scan);
    ASSERT_GE(demux.host.lines.size(), 5u);
    EXPECT_EQ(demux.host.lines[0], "It contains 1 video stream and 1 audio stream.");
    EXPECT_THAT(demux.host.lines, ::testing::Contains("MPEG-2 video stream 0 found!"));
    EXPECT_THAT(demux.host.lines, ::testing::Contains("Dolby Digital audio stream 0 found!"));
    EXPECT_EQ(demux.state.frameCounts[0], frames);

    demux.host.videoTicks[0] = true;
    demux.host.audioTicks[0] = true;
    demux.state.frameCounts = {0, 0};
    demux.runFile(vob);
    EXPECT_EQ(demux.video(0), readFileBytes(demux.dir.file("peer.m2v")));
    EXPECT_EQ(demux.audio(0), readFileBytes(demux.dir.file("peer.ac3")));
    EXPECT_EQ(demux.state.frameCounts[0], frames);
}

// The builder's packs as a third-party demuxer sees them: the same elementary streams.
TEST(FfmpegPeer, FfmpegReadsTheBuildersProgramStream) {
    if (!run("ffmpeg -version >/dev/null")) GTEST_SKIP() << "ffmpeg is not installed";
    TempDir dir;
    ASSERT_TRUE(
        run("ffmpeg -v error -y -f lavfi -i testsrc=size=176x144:rate=25 -t 2 "
            "-c:v mpeg2video -f mpeg2video " +
            dir.file("in.m2v")));
    ASSERT_TRUE(
        run("ffmpeg -v error -y -f lavfi -i sine=sample_rate=48000 -t 2 -c:a ac3 "
            "-f ac3 " +
            dir.file("in.ac3")));
    const Bytes video = readFileBytes(dir.file("in.m2v"));
    const Bytes audio = readFileBytes(dir.file("in.ac3"));

    ProgramStream ps;
    ps.addPack({systemHeader(1, 1)});
    ps.add(packetizeInPacks(0xE0, PesHeader().pts(90000).dts(86400), video));
    ps.add(packetizePrivateStream1(0x80, PesHeader().pts(90000), audio));
    ps.add(Bytes{0x00, 0x00, 0x01, 0xB9});
    ps.writeFile(dir.file("built.mpg"));

    ASSERT_TRUE(run("ffmpeg -v error -y -f mpeg -i " + dir.file("built.mpg") +
                    " -map 0:v -c copy -f mpeg2video " + dir.file("out.m2v") +
                    " -map 0:a -c copy -f ac3 " + dir.file("out.ac3")));
    EXPECT_EQ(readFileBytes(dir.file("out.m2v")), video);
    EXPECT_EQ(readFileBytes(dir.file("out.ac3")), audio);
}

}  // namespace
}  // namespace morvale::testing
