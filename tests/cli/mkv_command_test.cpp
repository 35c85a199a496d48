// SPDX-License-Identifier: MIT
// morvale-cli mkv on DVD VOBs made by ffmpeg, checked with mkvmerge -J and ffprobe: audio
// delays kept, LPCM as WAV with ffmpeg's samples, the hand-off without mkvmerge, and a
// Cancel while mkvmerge runs.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
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

// A DVD-style VOB with B pictures and four audio streams, two of which share a slot (AC-3
// 0x80 and LPCM 0xA0 both take the first audio slot) and one MPEG audio stream (PES 0xC0),
// each starting at its own offset: every stream becomes a track, the video's blocks carry
// the source's presentation times, each audio track keeps its offset to the video.
TEST_F(MkvCommandTest, EveryStreamReachesTheFileAtItsPresentationTimes) {
    TempDir dir;
    const std::string vob = dir.file("all.vob");
    ASSERT_TRUE(shellSucceeds(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=352x288:rate=25:duration=3 "
        "-itsoffset 0.2 -f lavfi -i sine=f=440:sample_rate=48000:duration=3 "
        "-itsoffset 0.1 -f lavfi -i sine=f=300:sample_rate=48000:duration=3 "
        "-itsoffset 0.05 -f lavfi -i sine=f=200:sample_rate=48000:duration=3 "
        "-map 0:v -map 1:a -map 2:a -map 3:a -c:v mpeg2video -bf 2 -g 12 "
        "-c:a:0 ac3 -c:a:1 pcm_dvd -c:a:2 mp2 -ac 2 -f vob " + quoted(vob)));
    const std::string mkv = dir.file("all.mkv");
    const CliResult run = runCliProcess({"mkv", "--no-fast-check", "-o", mkv, vob});
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json id = mkvmergeIdentify(mkv);
    std::vector<std::string> codecs;
    for (const nlohmann::json& track : id["tracks"])
        codecs.push_back(track["properties"]["codec_id"]);
    EXPECT_EQ(codecs, (std::vector<std::string>{"V_MPEG2", "A_AC3", "A_PCM/INT/LIT", "A_MPEG/L2"}));

    std::vector<int64_t> sourceVideo;
    for (const ProbedPacket& packet : probePackets(vob, 0x1E0)) {
        if (packet.pts >= 0) sourceVideo.push_back(packet.pts);
    }
    ASSERT_FALSE(sourceVideo.empty());
    const int64_t sourceStart = *std::min_element(sourceVideo.begin(), sourceVideo.end());
    const std::vector<double> video = packetTimesMs(mkv, "v:0", true);
    ASSERT_EQ(video.size(), 75u);
    for (int64_t pts : sourceVideo) {
        const double wanted = video.front() + (pts - sourceStart) / 90.0;
        const bool met = std::any_of(video.begin(), video.end(),
                                     [&](double t) { return std::abs(t - wanted) <= 1.0; });
        EXPECT_TRUE(met) << "no block at the source's " << wanted << " ms";
    }
    const uint32_t audioIds[] = {0x80, 0xA0, 0x1C0};
    for (size_t a = 0; a < std::size(audioIds); ++a) {
        const std::vector<ProbedPacket> packets = probePackets(vob, audioIds[a]);
        ASSERT_FALSE(packets.empty()) << a;
        const double offset = (packets.front().pts - sourceStart) / 90.0;
        const std::vector<double> audio = packetTimesMs(mkv, "a:" + std::to_string(a));
        ASSERT_FALSE(audio.empty()) << a;
        EXPECT_NEAR(audio.front() - video.front(), offset, 1.5) << codecs[a + 1];
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
    const std::string options = dir.file("movie.work/mkvmerge.json");
    const std::string howTo =
        "To make " + mkv + ", install mkvtoolnix and run: mkvmerge @" + options;
    EXPECT_NE(std::find(run.out.begin(), run.out.end(), howTo), run.out.end());
    EXPECT_FALSE(fileExists(mkv));
    ASSERT_TRUE(shellSucceeds("mkvmerge -q @" + quoted(options)));
    const std::vector<double> video = packetTimesMs(mkv, "v:0", true);
    const std::vector<double> audio = packetTimesMs(mkv, "a:0");
    EXPECT_NEAR(audio.front() - video.front(), 300, 40);
}

// A stand-in for mkvmerge on PATH: it finds the file it is to write in the options file it is
// given (the argument after "--output"), as mkvmerge does, then runs `body` with it in $out.
std::string fakeMkvmerge(const TempDir& dir, const std::string& body) {
    const std::string bin = dir.file("bin");
    ::mkdir(bin.c_str(), 0755);
    std::ofstream(bin + "/mkvmerge")
        << "#!/bin/sh\nopts=${2#@}\n"
        << "out=$(grep -A1 '\"--output\"' \"$opts\" | tail -n 1 | sed 's/^ *\"//; s/\",*$//')\n"
        << body;
    ::chmod((bin + "/mkvmerge").c_str(), 0755);
    return bin + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "");
}

std::string fileText(const std::string& path) {
    const std::vector<uint8_t> bytes = readFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// However mkvmerge ends, whatever stands at the output path, the user's files stay as they
// were unless the run made its Matroska file and was allowed to put it there; the work
// folder goes (Cancel and failures included).
TEST_F(MkvCommandTest, TheOutputIsWholeOrAbsentAndNoUserFileIsLost) {
    constexpr const char* kMade = "printf '\\032\\105\\337\\243made' > \"$out\"\n";
    enum class Before { Nothing, Precious, TheSource, StaleWork };
    struct Case {
        const char* name;
        const char* body;  // the stand-in's script
        Before before;     // what stands where the run writes
        std::vector<std::string> extra;  // options
        int signal;        // sent once "Running mkvmerge" is logged; 0: none
        int status;
        const char* line;    // on stdout or stderr
        const char* after;   // the output's content afterwards; nullptr: no file
    };
    const Case cases[] = {
        {"cancel", "printf half > \"$out\"\necho '#GUI#progress 10%'\nexec sleep 30\n",
         Before::Precious, {"--overwrite"}, SIGINT, 130,
         "Stopped by Cancel: no Matroska file was made.", "precious"},
        {"error", "printf half > \"$out\"\necho '#GUI#warning Odd frame'\n"
                  "echo '#GUI#error The disk is full.'\nexit 2\n",
         Before::Precious, {"--overwrite"}, 0, 1, ": The disk is full.", "precious"},
        {"ends well, writes nothing", "exit 0\n", Before::Nothing, {}, 0, 1,
         "it ended well but wrote no Matroska file", nullptr},
        {"killed", "kill -9 $$\n", Before::Nothing, {}, 0, 1, "signal 9", nullptr},
        {"made, replacing", kMade, Before::Precious, {"--overwrite"}, 0, 0, "Matroska file ",
         "\x1A\x45\xDF\xA3made"},
        {"made, not asked to replace", kMade, Before::Precious, {}, 0, 1,
         "It exists; --overwrite replaces it.", "precious"},
        {"output is the source", kMade, Before::TheSource, {"--overwrite"}, 0, 1,
         "It is one of the files being read.", "source"},
        {"left by a killed run", kMade, Before::StaleWork, {}, 0, 0,
         "Removed what a stopped run had left in ", "\x1A\x45\xDF\xA3made"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string source = makeVob(dir, 0, "ac3");
        std::string vob = source;
        const std::string mkv = dir.file("movie.mkv");
        if (c.before == Before::Precious) std::ofstream(mkv) << "precious";
        if (c.before == Before::TheSource) {
            vob = mkv;
            ASSERT_EQ(::rename(source.c_str(), mkv.c_str()), 0);
        }
        if (c.before == Before::StaleWork) {  // a run killed while its mkvmerge ran
            runWithPath({"mkv", "-o", mkv, vob}, fakeMkvmerge(dir, "kill -9 $PPID\n"));
            ASSERT_TRUE(fileExists(dir.file("movie.work/.morvale-work")));
            for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
                // Its hidden staged file stays, named as whose it is.
                if (entry.path().filename().string().find(".morvale-") != std::string::npos)
                    std::filesystem::remove(entry.path());
            }
        }
        const std::vector<uint8_t> sourceBytes = readFileBytes(vob);
        std::vector<std::string> args = {"mkv", "-o", mkv};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        args.push_back(vob);
        const CliResult run = runWithPath(args, fakeMkvmerge(dir, c.body), "Running mkvmerge", c.signal);
        EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
        const bool said = std::any_of(run.out.begin(), run.out.end(), [&](const std::string& line) {
            return line.find(c.line) != std::string::npos;
        });
        EXPECT_TRUE(said || run.err.find(c.line) != std::string::npos) << c.name << ": " << run.err;
        if (c.before == Before::TheSource) {
            EXPECT_TRUE(readFileBytes(mkv) == sourceBytes) << c.name;
        } else if (c.after == nullptr) {
            EXPECT_FALSE(fileExists(mkv)) << c.name;
        } else {
            EXPECT_EQ(fileText(mkv), c.after) << c.name;
        }
        EXPECT_FALSE(fileExists(dir.file("movie.work/.morvale-work"))) << c.name << ": work folder";
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            EXPECT_EQ(name.find(".morvale-"), std::string::npos) << c.name << ": " << name;
        }
    }
}

}  // namespace
}  // namespace morvale::testing
