// SPDX-License-Identifier: MIT
// Streams written by an independent encoder (ffmpeg) and described by an independent reader
// (ffprobe): the reports must agree with the reader on every field both show.

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>

#include "support/engine_ledger.h"
#include "report_harness.h"
#include "reports/reports.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

bool peerToolsAvailable() {
    static const bool available = std::system("ffmpeg -version >/dev/null 2>&1") == 0 &&
                                  std::system("ffprobe -version >/dev/null 2>&1") == 0;
    return available;
}

class PeerStreamsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!peerToolsAvailable()) GTEST_SKIP() << "ffmpeg/ffprobe are not installed";
    }

    // Runs ffmpeg with the given input and output options and returns the file it wrote.
    std::vector<uint8_t> encode(const std::string& options, const std::string& name) {
        const std::string path = dir_.file(name);
        const std::string command =
            "ffmpeg -nostdin -v error -y " + options + " '" + path + "' 2>/dev/null";
        if (std::system(command.c_str()) != 0) return {};
        return readFileBytes(path);
    }

    // key=value pairs of ffprobe's description of the first stream or packet.
    std::map<std::string, std::string> probe(const std::string& name, const std::string& what) {
        const std::string out = dir_.file(name + ".probe");
        const std::string command = "ffprobe -v error " + what + " -of default=nw=1 '" +
                                    dir_.file(name) + "' > '" + out + "' 2>/dev/null";
        std::map<std::string, std::string> values;
        if (std::system(command.c_str()) != 0) return values;
        const auto bytes = readFileBytes(out);
        std::istringstream text(std::string(bytes.begin(), bytes.end()));
        for (std::string line; std::getline(text, line);) {
            const auto eq = line.find('=');
            if (eq != std::string::npos) values.emplace(line.substr(0, eq), line.substr(eq + 1));
        }
        return values;
    }

    // The first bytes of an elementary stream, as much as one block holds.
    static std::vector<uint8_t> head(std::vector<uint8_t> bytes) {
        if (bytes.size() > kBlockSize) bytes.resize(kBlockSize);
        return bytes;
    }

    Lines ac3Lines(const std::vector<uint8_t>& stream) {
        return runReport(
            [](std::span<const uint8_t> piece, MessageLog& log) { ReportAc3(piece, 2, log); },
            head(stream));
    }

    TempDir dir_;
};

const std::string kSine = "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=0.2 ";

TEST_F(PeerStreamsTest, EnhancedAc3FromTheEncoder) {
    struct Case {
        const char* options;
        const char* mode;
        const char* lfe;
    };
    for (const Case& c : {Case{"-ac 6 -b:a 640k", "3/2", "1"}, Case{"-ac 2 -b:a 256k", "2/0", "0"},
                          Case{"-ac 1 -b:a 96k", "1/0", "0"}}) {
        SCOPED_TRACE(c.options);
        const auto stream = encode(kSine + c.options + " -c:a eac3 -f eac3", "audio.eac3");
        ASSERT_FALSE(stream.empty());
        auto info = probe("audio.eac3", "-show_entries stream=sample_rate,bit_rate");
        auto packet = probe("audio.eac3", "-read_intervals %+#1 -show_entries packet=size");
        ASSERT_EQ(
            ac3Lines(stream),
            (Lines{"   Stream 2 is Dolby Digital Plus",
                   "   frame size = " + packet["size"] + ", number of blocks per frame = 6",
                   "   bitrate = " + info["bit_rate"] + ", sampling rate = " + info["sample_rate"],
                   std::string("   mode = ") + c.mode + ", bsid = 16, lfe on =" + c.lfe}));
    }
}

TEST_F(PeerStreamsTest, Ac3FromTheEncoder) {
    for (const char* options : {"-ac 6 -b:a 448k", "-ac 2 -ar 44100 -b:a 192k"}) {
        SCOPED_TRACE(options);
        const auto stream = encode("-f lavfi -i sine=frequency=440:duration=0.2 " +
                                       std::string(options) + " -c:a ac3 -f ac3",
                                   "audio.ac3");
        ASSERT_FALSE(stream.empty());
        auto info = probe("audio.ac3", "-show_entries stream=sample_rate,bit_rate,channels");
        const std::string mode = info["channels"] == "6" ? "3/2" : "2/0";
        // A/52 encoders write bsid 8 and bsmod 0 (complete main).
        EXPECT_EQ(ac3Lines(stream), (Lines{"   Stream 2 is Dolby Digital",
                                           "   bitrate = " + info["bit_rate"] +
                                               ", sampling rate = " + info["sample_rate"],
                                           "   mode = " + mode + ", bsid = 8, bsmod =0"}));
    }
}

TEST_F(PeerStreamsTest, Mpeg2VideoFromTheEncoder) {
    struct Case {
        const char* options;
        const char* rateLine;
        const char* bitRate;
    };
    for (const Case& c : {
             Case{"testsrc=size=720x576:rate=25:duration=0.4 -aspect 16:9 -b:v 8M -maxrate 8M",
                  "   Frame rate = 25", "8000000"},
             Case{"testsrc=size=720x480:rate=30000/1001:duration=0.4 -aspect 4:3 "
                  "-flags +ilme+ildct -b:v 6M -maxrate 6M",
                  "   Frame rate = 29.97", "6000000"},
         }) {
        SCOPED_TRACE(c.options);
        const auto stream = encode(std::string("-f lavfi -i ") + c.options +
                                       " -bufsize 1835k -c:v mpeg2video -f mpeg2video",
                                   "video.m2v");
        ASSERT_FALSE(stream.empty());
        auto info = probe("video.m2v",
                          "-show_entries stream=width,height,display_aspect_ratio,field_order");
        const Lines lines =
            runReport([](std::span<const uint8_t> piece,
                         MessageLog& log) { ReportMpeg2Video(piece, 0x0001E3C5, log); },
                      head(stream));
        EXPECT_EQ(lines,
                  (Lines{"   Sequence Header found", "   0 frames before first Sequence Header",
                         "   size = " + info["width"] + "x" + info["height"],
                         "   Aspect ratio = " + info["display_aspect_ratio"], c.rateLine,
                         std::string("  Sequence header bitrate = ") + c.bitRate + " bps",
                         std::string("   Progressive Sequence = ") +
                             (info["field_order"] == "progressive" ? "1" : "0"),
                         "   First Video PTS = 0001E3C5"}));
    }
}

TEST_F(PeerStreamsTest, H264FromTheEncoder) {
    struct Case {
        const char* profile;
        const char* level;
        const char* levelIdc;  // as the reader shows it: level 1b is 11
        const char* levelLine;
    };
    for (const Case& c :
         {Case{"high", "4.1", "41", "   Level = 41"}, Case{"main", "3", "30", "   Level = 30"},
          Case{"baseline", "1b", "11", "   Level = 1b"}}) {
        SCOPED_TRACE(c.profile);
        const auto stream = encode(
            std::string("-f lavfi -i testsrc=size=320x240:rate=25:duration=0.4 -pix_fmt yuv420p "
                        "-c:v libx264 -x264-params aud=1 -profile:v ") +
                c.profile + " -level " + c.level + " -f h264",
            "video.264");
        if (stream.empty()) GTEST_SKIP() << "ffmpeg has no H.264 encoder";
        auto info = probe("video.264", "-show_entries stream=profile,level");
        EXPECT_EQ(info["level"], c.levelIdc);
        std::string profile = info["profile"];
        if (profile.starts_with("Constrained ")) profile.erase(0, 12);
        const Lines lines = runReport(
            [](std::span<const uint8_t> piece, MessageLog& log) { ReportH264(piece, log); },
            head(stream));
        EXPECT_EQ(lines, (Lines{"   0 frames before first I-frame", "   " + profile + " Profile",
                                c.levelLine}));
    }
}

}  // namespace
}  // namespace morvale::testing
