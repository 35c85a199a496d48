// An independent check with a real peer: DVD VOBs made by ffmpeg, demuxed by morvale-cli,
// give the same elementary-stream bytes as ffmpeg's own stream copies of them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "cli_process.h"
#include "support/program_stream_builder.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

using ::testing::Contains;
using ::testing::Not;

bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

class FfmpegPeerDemuxTest : public ::testing::Test {
  protected:
    TempDir dir;

    void SetUp() override {
        if (!run("ffmpeg -version")) GTEST_SKIP() << "ffmpeg is not installed";
    }

    // Four seconds of MPEG-2 video and one sine tone per audio codec, as a DVD VOB.
    std::string makeVob(const std::string& name, const std::vector<std::string>& audioCodecs) {
        std::string command = "ffmpeg -v error -y -f lavfi -i testsrc=size=176x144:rate=25";
        for (size_t k = 0; k < audioCodecs.size(); ++k) {
            command += " -f lavfi -i sine=frequency=" + std::to_string(440 + 220 * k) +
                       ":sample_rate=48000";
        }
        command += " -t 4 -map 0";
        for (size_t k = 0; k < audioCodecs.size(); ++k)
            command += " -map " + std::to_string(k + 1);
        command += " -c:v mpeg2video -g 12 -bf 2";
        for (size_t k = 0; k < audioCodecs.size(); ++k)
            command += " -c:a:" + std::to_string(k) + " " + audioCodecs[k];
        command += " -b:a 192k -strict -2 -f vob " + dir.file(name);
        EXPECT_TRUE(run(command)) << command;
        return dir.file(name);
    }

    // ffmpeg's copy of stream `index` of the VOB in the raw format.
    Bytes ffmpegCopy(const std::string& vob, int index, const std::string& format) {
        const std::string path = dir.file("peer." + std::to_string(index) + "." + format);
        EXPECT_TRUE(run("ffmpeg -v error -y -i " + vob + " -map 0:" + std::to_string(index) +
                        " -c copy -copyinkf -f " + format + " " + path));
        return readFileBytes(path);
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
    EXPECT_THAT(result.out, Contains("Dolby Digital audio stream 1 found!"));

    const Bytes video = readFileBytes(output("two_ac3.MPEG-2.stream.0.mpv"));
    ASSERT_GT(video.size(), 10000u);
    EXPECT_EQ(video, ffmpegCopy(vob, 0, "mpeg2video"));
    const Bytes first = readFileBytes(output("two_ac3.DD.stream.00.mpa"));
    const Bytes second = readFileBytes(output("two_ac3.DD.stream.01.mpa"));
    ASSERT_GT(first.size(), 10000u);
    EXPECT_EQ(first, ffmpegCopy(vob, 1, "ac3"));
    EXPECT_EQ(second, ffmpegCopy(vob, 2, "ac3"));
    EXPECT_NE(first, second);
    // ffmpeg's picture count of the same file.
    EXPECT_THAT(result.out, Contains("100 frames (0:00:04 s) count in video stream 0."));
}

TEST_F(FfmpegPeerDemuxTest, Mpeg2VideoWithOneDtsStream) {
    const std::string vob = makeVob("dts.vob", {"dca"});
    const CliResult result = demux(vob);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_THAT(result.out, Contains("DTS HD (DTS) audio stream 0 found!"));
    EXPECT_EQ(readFileBytes(output("dts.MPEG-2.stream.0.mpv")), ffmpegCopy(vob, 0, "mpeg2video"));
    const Bytes dts = readFileBytes(output("dts.DTSHD.stream.00.mpa"));
    ASSERT_GT(dts.size(), 10000u);
    EXPECT_EQ(dts, ffmpegCopy(vob, 1, "dts"));
}

// ffmpeg numbers sub-streams per codec: AC-3 0x80 and DTS 0x88 share audio slot 0. The slot
// belongs to the stream seen first; its output holds that stream alone, and the other is
// written nowhere.
TEST_F(FfmpegPeerDemuxTest, Ac3AndDtsSharingASlotWriteOnlyTheFirst) {
    const std::string vob = makeVob("mixed.vob", {"ac3", "dca"});
    const CliResult result = demux(vob);
    ASSERT_EQ(result.status, 0) << result.err;
    const bool ac3First = exists(output("mixed.DD.stream.00.mpa"));
    EXPECT_NE(ac3First, exists(output("mixed.DTSHD.stream.00.mpa")));
    const Bytes audio =
        readFileBytes(output(ac3First ? "mixed.DD.stream.00.mpa" : "mixed.DTSHD.stream.00.mpa"));
    ASSERT_GT(audio.size(), 10000u);
    EXPECT_EQ(audio, ac3First ? ffmpegCopy(vob, 1, "ac3") : ffmpegCopy(vob, 2, "dts"));
    EXPECT_EQ(readFileBytes(output("mixed.MPEG-2.stream.0.mpv")), ffmpegCopy(vob, 0, "mpeg2video"));
}

}  // namespace
}  // namespace morvale::testing
