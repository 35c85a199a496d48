// SPDX-License-Identifier: MIT
// The sample disc handed to mkvmerge by one morvale-cli command, checked with mkvmerge -J,
// mkvextract and ffprobe: the playlist's title, names, languages and chapters, and every
// stream at its own offset in each part of the feature.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "generated_disc.h"
#include "platform/file.h"
#include "support/matroska_peers.h"
#include "support/peer_tools.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

struct CliRun {
    int status;
    std::string log;
};

// The command's stdout, and its stderr too unless it is to be left out.
CliRun runCli(const TempDir& dir, const std::string& arguments, bool withStderr = true) {
    const int status = runStatus(MORVALE_CLI_PATH " " + arguments + " >" + dir.file("log.txt") +
                                 (withStderr ? " 2>&1" : " 2>/dev/null"));
    return {status, Disc::readText(dir.file("log.txt"))};
}

// The presentation time (ms) of a stream's first packet in a part, and of its earliest.
double firstPacketMs(const std::string& part, uint32_t id) {
    double earliest = 1e18;
    for (const ProbedPacket& packet : probePackets(part, id))
        if (packet.pts >= 0) earliest = std::min(earliest, packet.pts / 90.0);
    return earliest;
}

// Where the second part's frames begin in a track: after the one gap in it.
size_t secondPartStart(const std::vector<double>& times, double frameMs) {
    for (size_t i = 1; i < times.size(); ++i)
        if (times[i] - times[i - 1] > frameMs * 1.5) return i;
    return times.size();
}

class SampleDiscMkvTest : public DiscSuite {
  protected:
    void SetUp() override {
        if (!haveMatroskaPeers()) GTEST_SKIP() << "mkvmerge or ffmpeg missing";
        DiscSuite::SetUp();
    }
};

TEST_F(SampleDiscMkvTest, OneCommandMakesTheFeatureWithTheTitlesNamesChaptersAndSync) {
    TempDir out;
    const CliRun run =
        runCli(out, "mkv --no-fast-check -o " + quoted(out.path()) + " " + quoted(disc().part(1)));
    ASSERT_EQ(run.status, 0) << run.log;
    const std::string mkv = out.file("FEATURE_1_2.mkv");
    EXPECT_NE(run.log.find("Matroska file " + mkv), std::string::npos) << run.log;
    EXPECT_FALSE(fileExists(out.file("FEATURE_1_2.work"))) << "the work folder goes";

    const nlohmann::json id = mkvmergeIdentify(mkv);
    EXPECT_EQ(id["container"]["properties"]["title"], "Sample Feature");
    struct Track {
        const char *type, *name, *language;
        bool isDefault;
    };
    const Track tracks[] = {{"video", "Feature", "und", true},
                            {"audio", "English", "en", true},
                            {"audio", "Deutsch", "de", false},
                            {"audio", "Commentary", "en", false},
                            {"subtitles", "English", "en", false},
                            {"subtitles", "Deutsch", "de", false}};
    ASSERT_EQ(id["tracks"].size(), std::size(tracks)) << id.dump(1);
    for (size_t i = 0; i < std::size(tracks); ++i) {
        const nlohmann::json& track = id["tracks"][i];
        EXPECT_EQ(track["type"], tracks[i].type) << i;
        EXPECT_EQ(track["properties"]["track_name"], tracks[i].name) << i;
        EXPECT_EQ(track["properties"]["language_ietf"], tracks[i].language) << i;
        EXPECT_EQ(track["properties"]["default_track"], tracks[i].isDefault) << i;
    }

    // Chapters at their playlist times (24 frames a second in the title's time base),
    // within one video frame.
    const double frameMs = 1001.0 / 24;
    const std::vector<std::string> chapters =
        shellLines("mkvextract " + quoted(mkv) + " chapters -s -");
    const std::pair<const char*, double> expected[] = {{"Opening", 0},
                                                       {"Tones", 72 * 1000.0 / 24},
                                                       {"Second part", 144 * 1000.0 / 24},
                                                       {"Closing", 192 * 1000.0 / 24}};
    ASSERT_EQ(chapters.size(), 2 * std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const std::string& time = chapters[2 * i].substr(chapters[2 * i].find('=') + 1);
        const double ms = (std::stod(time.substr(0, 2)) * 3600 + std::stod(time.substr(3, 2)) * 60 +
                           std::stod(time.substr(6))) *
                          1000;
        EXPECT_NEAR(ms, expected[i].second, frameMs) << expected[i].first;
        EXPECT_EQ(chapters[2 * i + 1].substr(chapters[2 * i + 1].find('=') + 1), expected[i].first);
    }

    // The feature lasts as long as its source.
    const double sourceSeconds =
        std::stod(shellOutput("ffprobe -v error -show_entries format=duration -of csv=p=0 " +
                              quoted(concatInput(disc().part(1), disc().part(2)))));
    EXPECT_NEAR(double(id["container"]["properties"]["duration"]) / 1e6, sourceSeconds * 1000,
                frameMs);

    // Every audio track starts where its timestamps put it against the video, in the
    // second part as in the first.
    const std::vector<double> video = packetTimesMs(mkv, "v:0", true);
    ASSERT_EQ(video.size(), 240u);
    // Its blocks at the source's presentation times, B pictures included.
    const std::vector<ProbedPacket> pictures = probePackets(disc().part(1), 0xFD55);
    int64_t start = INT64_MAX;
    for (const ProbedPacket& picture : pictures)
        start = picture.pts >= 0 ? std::min(start, picture.pts) : start;
    for (const ProbedPacket& picture : pictures) {
        if (picture.pts < 0) continue;
        const double wanted = video[0] + (picture.pts - start) / 90.0;
        EXPECT_TRUE(std::any_of(video.begin(), video.end(),
                                [&](double t) { return std::abs(t - wanted) <= 1.0; }))
            << "no block at the source's " << wanted << " ms";
    }
    const uint32_t audioIds[] = {0xC0, 0xC1, 0x82};
    for (size_t a = 0; a < std::size(audioIds); ++a) {
        const std::vector<double> audio = packetTimesMs(mkv, "a:" + std::to_string(a));
        const size_t second = secondPartStart(audio, 32);
        ASSERT_LT(second, audio.size()) << a;
        for (int part : {1, 2}) {
            const double sourceOffset = firstPacketMs(disc().part(part), audioIds[a]) -
                                        firstPacketMs(disc().part(part), 0xFD55);
            const double mkvOffset = part == 1 ? audio[0] - video[0] : audio[second] - video[144];
            EXPECT_NEAR(mkvOffset, sourceOffset, 1.0) << "audio " << a << " part " << part;
        }
    }
}

// The disc's titles as a user picks one: listed with their clips' EVOs, and one of them made
// by its number into a file named after it, with the streams of all its clips.
TEST_F(SampleDiscMkvTest, TitlesListsTheDiscAndMkvMakesATitleByItsNumber) {
    TempDir out;
    const CliRun titles = runCli(out, "titles " + quoted(disc().root()), false);
    ASSERT_EQ(titles.status, 0) << titles.log;
    EXPECT_NE(titles.log.find("Sample Feature"), std::string::npos) << titles.log;
    EXPECT_NE(titles.log.find("FEATURE_2.EVO"), std::string::npos) << titles.log;
    const CliRun json = runCli(out, "titles --json " + quoted(disc().root()), false);
    ASSERT_EQ(json.status, 0);
    EXPECT_TRUE(validatesAgainstSchema(json.log, MORVALE_SCHEMA_PATH) || !haveSchemaValidator())
        << json.log;

    const CliRun run = runCli(out, "mkv --title 1 -o " + quoted(out.path()) + " " + quoted(disc().root()));
    ASSERT_EQ(run.status, 0) << run.log;
    const nlohmann::json id = mkvmergeIdentify(out.file("Sample Feature.mkv"));
    EXPECT_EQ(id["tracks"].size(), 6u) << id.dump(1);
    EXPECT_EQ(id["chapters"][0]["num_entries"], 4);
    EXPECT_EQ(packetTimesMs(out.file("Sample Feature.mkv"), "v:0").size(), 240u);
    const CliRun missing = runCli(out, "mkv --title 9 " + quoted(disc().root()));
    EXPECT_EQ(missing.status, 2) << missing.log;
}

TEST_F(SampleDiscMkvTest, APlaylistThatIsNotXmlGivesALineAndAFileWithoutChapters) {
    TempDir out;
    const std::string playlist = out.file("broken.xpl");
    const std::string text = Disc::readText(disc().playlist());
    std::ofstream(playlist) << text.substr(0, text.find("<ChapterList>") + 20);
    const CliRun run = runCli(out, "mkv -o " + quoted(out.file("feature.mkv")) + " --playlist " +
                                       quoted(playlist) + " " + quoted(disc().part(1)));
    ASSERT_EQ(run.status, 0) << run.log;
    EXPECT_NE(run.log.find("broken.xpl is not well-formed XML at line "), std::string::npos)
        << run.log;
    const nlohmann::json id = mkvmergeIdentify(out.file("feature.mkv"));
    EXPECT_TRUE(id["chapters"].empty()) << id["chapters"].dump();
    EXPECT_EQ(id["tracks"].size(), 6u);
    EXPECT_FALSE(id["tracks"][1]["properties"].contains("track_name"));
}

TEST_F(SampleDiscMkvTest, ScanAndPlaylistJsonValidateAndChapterFilesFeedMkvmerge) {
    if (!haveSchemaValidator()) GTEST_SKIP() << "python3-jsonschema missing";
    TempDir out;
    const CliRun scan = runCli(out, "scan --json --no-fast-check " + quoted(disc().part(1)), false);
    ASSERT_EQ(scan.status, 0);
    EXPECT_TRUE(validatesAgainstSchema(scan.log, MORVALE_SCHEMA_PATH)) << scan.log;
    const nlohmann::json description = nlohmann::json::parse(scan.log);
    EXPECT_EQ(description["title"]["name"], "Sample Feature");
    const nlohmann::json& german = description["streams"][2];
    EXPECT_EQ(german["language"], "de");
    const double late = firstPacketMs(disc().part(2), 0xC1) - firstPacketMs(disc().part(2), 0xFD55);
    EXPECT_NEAR(double(german["parts"][1]["delay_ms"]), late, 0.5);

    const CliRun xpl = runCli(
        out, "xpl --json --source " + quoted(disc().part(1)) + " " + quoted(disc().playlist()),
        false);
    ASSERT_EQ(xpl.status, 0);
    EXPECT_TRUE(validatesAgainstSchema(xpl.log, MORVALE_SCHEMA_PATH)) << xpl.log;
    EXPECT_EQ(nlohmann::json::parse(xpl.log)["title"]["tracks"].size(), 6u);

    makeAc3Audio(out.file("a.ac3"), 20);
    for (const char* name : {"chapters.xml", "chapters.txt"}) {
        const CliRun chapters =
            runCli(out, "xpl --chapters " + quoted(out.file(name)) + " --source " +
                            quoted(disc().part(2)) + " " + quoted(disc().playlist()));
        ASSERT_EQ(chapters.status, 0) << chapters.log;
        ASSERT_TRUE(shellSucceeds("mkvmerge -q -o " + quoted(out.file("c.mkv")) + " --chapters " +
                                  quoted(out.file(name)) + " " + quoted(out.file("a.ac3"))))
            << name;
        EXPECT_EQ(mkvmergeIdentify(out.file("c.mkv"))["chapters"][0]["num_entries"], 4) << name;
    }
}

}  // namespace
}  // namespace morvale::testing
