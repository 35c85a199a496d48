// SPDX-License-Identifier: MIT
// Independent checks with a real peer: DVD VOBs made by ffmpeg, demuxed by morvale-cli,
// give the same elementary-stream bytes as ffmpeg's own stream copies of them, and a scan
// announces the streams ffprobe lists. A VOB rebuilt by morvale-cli holds for ffprobe only
// the kept streams.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "cli_process.h"
#include "support/peer_tools.h"
#include "support/program_stream_builder.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

class FfmpegPeerDemuxTest : public ::testing::Test {
  protected:
    TempDir dir;

    void SetUp() override {
        if (!havePeerTools()) GTEST_SKIP() << "ffmpeg is not installed";
    }

    // Four seconds of video and one sine tone per audio codec, muxed by ffmpeg: `format`
    // "vob" writes a system header every 40 packs, "dvd" navigation packs as on a DVD.
    std::string makeVob(const std::string& name, const std::vector<std::string>& audioCodecs,
                        const std::string& video = "-c:v mpeg2video -g 12 -bf 2",
                        const std::string& format = "vob") {
        std::string command =
            "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=176x144:rate=25";
        for (size_t k = 0; k < audioCodecs.size(); ++k) {
            command += " -f lavfi -i sine=frequency=" + std::to_string(440 + 220 * k) +
                       ":sample_rate=48000";
        }
        command += " -t 4 -map 0";
        for (size_t k = 0; k < audioCodecs.size(); ++k)
            command += " -map " + std::to_string(k + 1);
        command += " " + video;
        for (size_t k = 0; k < audioCodecs.size(); ++k)
            command += " -c:a:" + std::to_string(k) + " " + audioCodecs[k];
        command += " -b:a 192k -strict -2 -f " + format + " " + dir.file(name);
        EXPECT_TRUE(shellSucceeds(command)) << command;
        return dir.file(name);
    }

    // ffmpeg's copy of the stream with ffprobe id `id`, in the raw format.
    Bytes ffmpegCopy(const std::string& vob, uint32_t id, const std::string& format) {
        return testing::ffmpegCopy(vob, id, format,
                                   dir.file("peer." + std::to_string(id) + "." + format));
    }

    CliResult demux(const std::string& vob) {
        const std::string out = dir.file("out");
        ::mkdir(out.c_str(), 0755);
        return runCliProcess({"demux", "-o", out, vob});
    }

    std::string output(const std::string& name) const { return dir.file("out/" + name); }
};

TEST_F(FfmpegPeerDemuxTest, Mpeg2VideoWithTwoAc3Streams) {
    const std::string vob = makeVob("two_ac3.vob", {"ac3", "ac3"});
    const CliResult result = demux(vob);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(foundLines(result.out), announcementsOf(vob));
    EXPECT_THAT(result.out, Contains("Dolby Digital audio stream 1 found!"));

    const Bytes video = readFileBytes(output("two_ac3.MPEG-2.stream.0.mpv"));
    ASSERT_GT(video.size(), 10000u);
    EXPECT_EQ(video, ffmpegCopy(vob, 0x1E0, "mpeg2video"));
    const Bytes first = readFileBytes(output("two_ac3.DD.stream.00.mpa"));
    const Bytes second = readFileBytes(output("two_ac3.DD.stream.01.mpa"));
    ASSERT_GT(first.size(), 10000u);
    EXPECT_EQ(first, ffmpegCopy(vob, 0x80, "ac3"));
    EXPECT_EQ(second, ffmpegCopy(vob, 0x81, "ac3"));
    EXPECT_NE(first, second);
    // ffmpeg's picture count of the same file, and the time its timestamps span (ffprobe:
    // 3.96 s, the last pictures' packets carry no PTS).
    EXPECT_THAT(result.out, Contains("100 frames (0:00:03 s) count in video stream 0."));
}

TEST_F(FfmpegPeerDemuxTest, Mpeg2VideoWithOneDtsStream) {
    const std::string vob = makeVob("dts.vob", {"dca"});
    const CliResult result = demux(vob);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(foundLines(result.out), announcementsOf(vob));
    EXPECT_THAT(result.out, Contains("DTS HD (DTS) audio stream 0 found!"));
    EXPECT_EQ(readFileBytes(output("dts.MPEG-2.stream.0.mpv")),
              ffmpegCopy(vob, 0x1E0, "mpeg2video"));
    const Bytes dts = readFileBytes(output("dts.DTSHD.stream.00.mpa"));
    ASSERT_GT(dts.size(), 10000u);
    EXPECT_EQ(dts, ffmpegCopy(vob, 0x88, "dts"));
}

// H.264 under stream id 0xE2. x264 writes access unit delimiters on request; they are what
// the program counts, so its count must be ffprobe's.
TEST_F(FfmpegPeerDemuxTest, H264VideoWithAccessUnitDelimiters) {
    const std::string vob =
        makeVob("h264.vob", {"ac3"}, "-c:v libx264 -g 25 -bf 2 -x264-params aud=1");
    const CliResult result = demux(vob);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(foundLines(result.out), announcementsOf(vob));
    EXPECT_THAT(result.out, Contains("H.264 video stream 0 found!"));

    const Bytes video = readFileBytes(output("h264.H.264.stream.0.mpv"));
    ASSERT_GT(video.size(), 10000u);
    EXPECT_EQ(video, ffmpegCopy(vob, 0x1E2, "h264"));
    EXPECT_EQ(readFileBytes(output("h264.DD.stream.00.mpa")), ffmpegCopy(vob, 0x80, "ac3"));
    const std::string frames = shellOutput(
        "ffprobe -v error -count_frames -select_streams v -show_entries "
        "stream=nb_read_frames -of csv=p=0 " +
        vob);
    ASSERT_EQ(std::atoi(frames.c_str()), 100);
    // The time its timestamps span (ffprobe: 3.84 s).
    EXPECT_THAT(result.out, Contains("100 frames (0:00:03 s) count in video stream 0."));
}

// LPCM: the program writes the samples alone. ffmpeg's packets keep the three bytes of the
// LPCM header that follow the sub-stream header (frame number, sample format, dynamic
// range), which its decoder reads; with those taken off each packet the bytes are the same.
TEST_F(FfmpegPeerDemuxTest, LpcmSamplesEqualFfmpegsPacketsWithoutTheirHeader) {
    const std::string vob = makeVob("lpcm.vob", {"pcm_dvd"});
    const CliResult result = demux(vob);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(foundLines(result.out), announcementsOf(vob));
    EXPECT_THAT(result.out, Contains("LPCM audio stream 0 found!"));

    const Bytes samples = readFileBytes(output("lpcm.LPCM.stream.00.mpa"));
    EXPECT_EQ(samples.size(), 4u * 48000 * 2);  // four seconds of 16-bit mono
    const Bytes packets = ffmpegCopy(vob, 0xA0, "data");
    Bytes withoutHeaders;
    size_t at = 0;
    for (const ProbedPacket& packet : probePackets(vob, 0xA0)) {
        ASSERT_LE(at + packet.size, packets.size());
        ASSERT_GT(packet.size, 3u);
        withoutHeaders.insert(withoutHeaders.end(), packets.begin() + static_cast<long>(at + 3),
                              packets.begin() + static_cast<long>(at + packet.size));
        at += packet.size;
    }
    EXPECT_EQ(at, packets.size());
    EXPECT_EQ(samples, withoutHeaders);
}

// ffmpeg cannot mux Dolby TrueHD into a VOB, but its encoder writes a raw stream and its
// demuxer reads TrueHD sub-streams of a program stream. This one is packed here as HD DVD
// packs it (sub-stream 0xB0, five header bytes), beside ffmpeg-made MPEG-2 video.
TEST_F(FfmpegPeerDemuxTest, TrueHdInAProgramStreamEqualsFfmpegsCopy) {
    ASSERT_TRUE(
        shellSucceeds("ffmpeg -nostdin -v error -y -f lavfi -i "
                      "sine=frequency=500:sample_rate=48000 -t 3 -ac 2 -c:a truehd "
                      "-strict -2 -f truehd " +
                      dir.file("in.thd")));
    ASSERT_TRUE(
        shellSucceeds("ffmpeg -nostdin -v error -y -f lavfi -i "
                      "testsrc=size=176x144:rate=25 -t 3 -c:v mpeg2video -f mpeg2video " +
                      dir.file("in.m2v")));
    const Bytes truehd = readFileBytes(dir.file("in.thd"));
    const Bytes video = readFileBytes(dir.file("in.m2v"));
    ASSERT_GT(truehd.size(), 10000u);

    ProgramStream ps;
    ps.addPack({systemHeader(1, 1)});
    ps.add(packetizeInPacks(0xE0, PesHeader().pts(90000).dts(86400), video));
    ps.add(packetizePrivateStream1(0xB0, PesHeader().pts(90000), truehd));
    ps.add(Bytes{0x00, 0x00, 0x01, 0xB9});
    const std::string source = dir.file("truehd.vob");
    ps.writeFile(source);

    const CliResult result = demux(source);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(foundLines(result.out), announcementsOf(source));
    EXPECT_THAT(result.out, Contains("Dolby TrueHD (MLP) audio stream 0 found!"));
    const Bytes demuxed = readFileBytes(output("truehd.MLP.stream.00.mpa"));
    EXPECT_EQ(demuxed, truehd);
    EXPECT_EQ(demuxed, ffmpegCopy(source, 0xB0, "truehd"));
    EXPECT_EQ(readFileBytes(output("truehd.MPEG-2.stream.0.mpv")),
              ffmpegCopy(source, 0x1E0, "mpeg2video"));
}

// ffmpeg numbers sub-streams per codec: AC-3 0x80 and DTS 0x88 share audio slot 0. The slot
// belongs to the stream seen first: only that one is announced, and its output holds that
// stream alone; the other is written nowhere.
TEST_F(FfmpegPeerDemuxTest, Ac3AndDtsSharingASlotWriteOnlyTheFirst) {
    const std::string vob = makeVob("mixed.vob", {"ac3", "dca"});
    const CliResult result = demux(vob);
    ASSERT_EQ(result.status, 0) << result.err;
    const bool ac3First = exists(output("mixed.DD.stream.00.mpa"));
    EXPECT_NE(ac3First, exists(output("mixed.DTSHD.stream.00.mpa")));
    Lines announced = announcementsOf(vob);
    const std::string other =
        ac3First ? "DTS HD (DTS) audio stream 0 found!" : "Dolby Digital audio stream 0 found!";
    ASSERT_THAT(announced, Contains(other));
    announced.erase(std::find(announced.begin(), announced.end(), other));
    EXPECT_EQ(foundLines(result.out), announced);

    const Bytes audio =
        readFileBytes(output(ac3First ? "mixed.DD.stream.00.mpa" : "mixed.DTSHD.stream.00.mpa"));
    ASSERT_GT(audio.size(), 10000u);
    EXPECT_EQ(audio, ac3First ? ffmpegCopy(vob, 0x80, "ac3") : ffmpegCopy(vob, 0x88, "dts"));
    EXPECT_EQ(readFileBytes(output("mixed.MPEG-2.stream.0.mpv")),
              ffmpegCopy(vob, 0x1E0, "mpeg2video"));
}

// A DVD-style VOB (navigation packs, one packet per pack) rebuilt with the video and the
// second AC-3 stream: ffprobe lists those alone, the AC-3 stream now 0x80, and ffmpeg takes
// the same bytes out of them as out of the source.
TEST_F(FfmpegPeerDemuxTest, RebuiltVobHoldsOnlyTheKeptStreams) {
    const std::string vob =
        makeVob("dvd.vob", {"ac3", "ac3"}, "-c:v mpeg2video -g 12 -bf 2", "dvd");
    EXPECT_THAT(probedStreamNames(vob),
                ElementsAre("ac3,0x80", "ac3,0x81", "dvd_nav_packet,0x1bf", "mpeg2video,0x1e0"));
    const std::string out = dir.file("out");
    ::mkdir(out.c_str(), 0755);
    const CliResult result = runCliProcess({"rebuild", "--streams", "v0,a01", "-o", out, vob});
    ASSERT_EQ(result.status, 0) << result.err;

    const std::string rebuilt = output("dvd.rebuilt.EVO");
    EXPECT_THAT(probedStreamNames(rebuilt),
                ElementsAre("ac3,0x80", "dvd_nav_packet,0x1bf", "mpeg2video,0x1e0"));
    const Bytes video = ffmpegCopy(vob, 0x1E0, "mpeg2video");
    const Bytes second = ffmpegCopy(vob, 0x81, "ac3");
    ASSERT_GT(second.size(), 10000u);
    EXPECT_EQ(testing::ffmpegCopy(rebuilt, 0x1E0, "mpeg2video", dir.file("rebuilt.m2v")), video);
    EXPECT_EQ(testing::ffmpegCopy(rebuilt, 0x80, "ac3", dir.file("rebuilt.ac3")), second);

    const CliResult scan = runCliProcess({"scan", rebuilt});
    ASSERT_EQ(scan.status, 0) << scan.err;
    EXPECT_EQ(foundLines(scan.out), announcementsOf(rebuilt));
}

}  // namespace
}  // namespace morvale::testing
