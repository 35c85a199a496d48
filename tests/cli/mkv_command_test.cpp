// morvale-cli mkv on DVD VOBs made by ffmpeg, checked with mkvmerge -J and ffprobe: audio
// delays kept, LPCM as WAV with ffmpeg's samples, the hand-off without mkvmerge, and a
// Cancel while mkvmerge runs.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <csignal>
#include <cstdlib>
#include <fstream>

#include "cli_process.h"
#include "platform/file.h"
#include "support/matroska_peers.h"
#include "support/peer_tools.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

// A VOB of MPEG-2 video (25 fps, 3 s) and one audio stream that starts `delayMs` after
// (or, negative, before) the video.
std::string makeVob(const TempDir& dir, int delayMs, const std::string& audioCodec) {
    const std::string vob = dir.file("movie.vob");
    const std::string video = "-f lavfi -i testsrc=size=352x288:rate=25:duration=3 ";
    const std::string audio = "-itsoffset " + std::to_string(delayMs / 1000.0) +
                              " -f lavfi -i sine=f=440:sample_rate=48000:duration=3 ";
    shellSucceeds("ffmpeg -v error -y " + video + audio +
                  "-map 0:v -map 1:a -c:v mpeg2video -c:a " + audioCodec + " -ac 2 -f vob " +
                  quoted(vob));
    return vob;
}

class MkvCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!haveMatroskaPeers()) GTEST_SKIP() << "mkvmerge or ffmpeg missing";
    }
};

TEST_F(MkvCommandTest, TheAudioKeepsItsDelayToTheVideo) {
    for (int delay : {300, -120, 0}) {
        TempDir dir;
        const std::string vob = makeVob(dir, delay, "ac3");
        const std::string mkv = dir.file("movie.mkv");
        const CliResult run = runCliProcess({"mkv", "--no-fast-check", "-o", mkv, vob});
        ASSERT_EQ(run.status, 0) << run.err;
        const std::vector<double> video = packetTimesMs(mkv, "v:0", true);
        const std::vector<double> audio = packetTimesMs(mkv, "a:0");
        ASSERT_FALSE(video.empty());
        ASSERT_FALSE(audio.empty());
        // The source's own offset, as ffprobe reads the VOB.
        const double source = probePackets(vob, 0x80).front().pts / 90.0 -
                              probePackets(vob, 0x1E0).front().pts / 90.0;
        EXPECT_NEAR(source, delay, 40) << "ffmpeg made the delay asked for";
        EXPECT_NEAR(audio.front() - video.front(), source, 1.0) << delay;
        EXPECT_NEAR(std::min(audio.front(), video.front()), 0, 1.0) << "nothing cut away";
    }
}

TEST_F(MkvCommandTest, LpcmBecomesAWavTrackWithFfmpegsSamples) {
    for (const char* format : {"s16", "s32"}) {
        TempDir dir;
        const std::string vob = dir.file("lpcm.vob");
        ASSERT_TRUE(shellSucceeds(
            "ffmpeg -v error -y -f lavfi -i testsrc=size=352x288:rate=25:duration=2 -f lavfi -i "
            "\"aevalsrc=sin(440*2*PI*t)|0.5*sin(97*2*PI*t):s=48000:d=2\" -af aformat=sample_fmts=" +
            std::string(format) + " -c:v mpeg2video -c:a pcm_dvd -f vob " + quoted(vob)));
        const std::string mkv = dir.file("lpcm.mkv");
        const CliResult run = runCliProcess({"mkv", "-o", mkv, vob});
        ASSERT_EQ(run.status, 0) << run.err;
        const nlohmann::json id = mkvmergeIdentify(mkv);
        ASSERT_EQ(id["tracks"].size(), 2u);
        EXPECT_EQ(id["tracks"][1]["properties"]["codec_id"], "A_PCM/INT/LIT");
        const std::string codec = std::string(format) == "s16" ? "s16le" : "s24le";
        const auto decode = [&](const std::string& input, const std::string& name) {
            shellSucceeds("ffmpeg -v error -y -i " + quoted(input) + " -map 0:a -c:a pcm_" + codec +
                          " -f " + codec + " " + quoted(dir.file(name)));
            return readFileBytes(dir.file(name));
        };
        const std::vector<uint8_t> expected = decode(vob, "vob.raw");
        ASSERT_FALSE(expected.empty());
        EXPECT_TRUE(decode(mkv, "mkv.raw") == expected) << format;
    }
}

// Runs the command with PATH set to `path` for it (and its children).
CliResult runWithPath(const std::vector<std::string>& args, const std::string& path,
                      const std::string& waitFor = "", int signal = 0) {
    // A signal is sent only once its line shows; without one the run goes to its end.
    const std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", path.c_str(), 1);
    CliResult run = signal == 0 ? runCliProcess(args) : runCliAndSignal(args, waitFor, signal);
    ::setenv("PATH", saved.c_str(), 1);
    return run;
}

TEST_F(MkvCommandTest, WithoutMkvmergeTheHandOffFilesStayAndTheLogSaysHowToFinish) {
    TempDir dir;
    const std::string vob = makeVob(dir, 300, "ac3");
    const std::string mkv = dir.file("movie.mkv");
    const CliResult run = runWithPath({"mkv", "-o", mkv, vob}, dir.file("no-programs-here"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("mkvmerge was not found"), std::string::npos) << run.err;
    const std::string options = dir.file("movie.work/movie.mkvmerge.json");
    const std::string howTo =
        "To make " + mkv + ", install mkvtoolnix and run: mkvmerge @" + options;
    EXPECT_NE(std::find(run.out.begin(), run.out.end(), howTo), run.out.end());
    EXPECT_FALSE(fileExists(mkv));
    ASSERT_TRUE(shellSucceeds("mkvmerge -q @" + quoted(options)));
    const std::vector<double> video = packetTimesMs(mkv, "v:0", true);
    const std::vector<double> audio = packetTimesMs(mkv, "a:0");
    EXPECT_NEAR(audio.front() - video.front(), 300, 40);
}

TEST_F(MkvCommandTest, AMkvmergeStoppedOrFailingLeavesNoMatroskaFile) {
    struct Case {
        const char* name;
        const char* script;  // what the stand-in does after it started the Matroska file
        int signal;          // sent once "Running mkvmerge" is logged; 0: none
        int status;
        const char* line;    // on stdout, or on stderr when the command failed
        const char* logged;  // also in the log
    };
    const Case cases[] = {
        {"cancel", "echo '#GUI#progress 10%'\nexec sleep 30\n", SIGINT, 130,
         "Stopped by Cancel: no Matroska file was made.", "Running mkvmerge @"},
        {"error", "echo '#GUI#warning Odd frame'\necho '#GUI#error The disk is full.'\nexit 2\n", 0,
         1, ": The disk is full.", "mkvmerge warning: Odd frame"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string vob = makeVob(dir, 0, "ac3");
        const std::string mkv = dir.file("movie.mkv");
        // A stand-in for mkvmerge that starts the Matroska file, then goes on as the case says.
        const std::string bin = dir.file("bin");
        ::mkdir(bin.c_str(), 0755);
        std::ofstream(bin + "/mkvmerge") << "#!/bin/sh\nprintf 'half' > " << quoted(mkv) << "\n"
                                         << c.script;
        ::chmod((bin + "/mkvmerge").c_str(), 0755);
        const std::string path = bin + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "");
        const CliResult run =
            runWithPath({"mkv", "-o", mkv, vob}, path, "Running mkvmerge", c.signal);
        EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
        EXPECT_FALSE(fileExists(mkv)) << c.name << ": the half-made file is gone";
        const bool logged = std::find(run.out.begin(), run.out.end(), c.line) != run.out.end();
        EXPECT_TRUE(logged || run.err.find(c.line) != std::string::npos) << c.name;
        EXPECT_TRUE(std::any_of(run.out.begin(), run.out.end(), [&](const std::string& line) {
            return line.rfind(c.logged, 0) == 0;
        })) << c.name;
        for (const std::string& line : run.out)
            EXPECT_EQ(line.rfind("Matroska file ", 0), std::string::npos) << c.name << line;
    }
}

}  // namespace
}  // namespace morvale::testing
