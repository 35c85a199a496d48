// SPDX-License-Identifier: MIT
#include "export/mkvmerge_options.h"

#include "export/audio_duration.h"
#include "export/mkv_timeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "support/matroska_peers.h"
#include "support/temp_dir.h"

namespace morvale {
namespace {

using testing::TempDir;

constexpr int64_t kVideoFrameTicks = 3600;  // 25 fps
constexpr int64_t kAudioFrameTicks = 2880;  // AC-3: 1,536 samples at 48 kHz

struct PartTiming {
    uint32_t videoPts;
    int videoFrames;
    int64_t audioOffsetTicks;  // audio's first PTS minus the part's first video PTS
    int audioFrames;
};

struct JoinCase {
    const char* name;
    PartTiming parts[2];
};

// Two parts as discs hold them: the audio of a part rarely ends with its video.
const JoinCase kJoinCases[] = {
    {"AudioRunsPastTheFirstPartSecondStartsAFrameLate",
     {{90000, 50, 9000, 60}, {90000 + 180000, 75, 3600, 80}}},
    {"AudioEndsEarlyInTheFirstPart", {{90000, 50, 9000, 40}, {90000 + 180000, 75, 1800, 80}}},
    {"AudioBeforeVideoAndTheSecondPartRestartsItsClock",
     {{900000, 50, -10800, 70}, {0x1000, 75, 4500, 60}}},
    {"SecondPartAudioStartsBeforeItsVideo", {{90000, 50, 0, 63}, {90000 + 180000, 75, -900, 90}}},
};

std::string writeOptions(const TempDir& dir, const MkvJob& job) {
    const std::string path = dir.file("options.json");
    std::ofstream(path) << mkvmergeOptionsFile(mkvmergeArguments(job));
    return path;
}

void PrintTo(const JoinCase& c, std::ostream* out) {
    *out << c.name;
}

class JoinTest : public ::testing::TestWithParam<JoinCase> {};

// Two parts through the timeline and the audio placement into mkvmerge: every part's audio
// keeps its offset to that part's video, the second part's video follows the first's, and
// no audio frame starts before the one before it has ended (the join never overlaps).
TEST_P(JoinTest, EachPartsAudioKeepsItsOffsetAndTheJoinNeverOverlaps) {
    if (!testing::haveMatroskaPeers()) GTEST_SKIP() << "mkvmerge or ffmpeg missing";
    const JoinCase& c = GetParam();
    TempDir dir;
    std::vector<TimelinePart> parts;
    std::vector<AudioPartFile> audioParts;
    std::vector<std::string> audioFiles;
    std::string videoBytes;
    for (int p = 0; p < 2; ++p) {
        const PartTiming& part = c.parts[p];
        const std::string v = dir.file("v" + std::to_string(p) + ".m2v");
        audioFiles.push_back(dir.file("a" + std::to_string(p) + ".ac3"));
        testing::makeMpeg2Video(v, part.videoFrames);
        testing::makeAc3Audio(audioFiles.back(), part.audioFrames);
        std::ifstream in(v, std::ios::binary);
        videoBytes.append(std::istreambuf_iterator<char>(in), {});
        const auto audioPts = static_cast<uint32_t>(part.videoPts + part.audioOffsetTicks);
        parts.push_back({part.videoPts, part.videoFrames * kVideoFrameTicks,
                         part.audioOffsetTicks < 0 ? audioPts : part.videoPts});
        audioParts.push_back({true, audioPts, part.audioFrames * kAudioFrameTicks});
    }
    const Timeline timeline(parts);
    const AudioPlacement placement = placeAudio(timeline, audioParts, [&](size_t p, int64_t max) {
        return trimAudioFile(audioFiles[p], AudioCoding::DolbyDigital, max);
    });
    std::vector<int64_t> pictures;
    for (size_t p = 0; p < 2; ++p) {
        for (int k = 0; k < c.parts[p].videoFrames; ++k)
            pictures.push_back(timeline.placeOf(p, c.parts[p].videoPts + k * kVideoFrameTicks));
    }
    std::ofstream(dir.file("v.m2v"), std::ios::binary) << videoBytes;
    std::ofstream(dir.file("v.txt")) << timestampFileText(pictures);
    MkvJob job;
    job.output = dir.file("feature.mkv");
    MkvTrackInput video{MkvTrackType::Video, "", "und", true, false, dir.file("v.txt"),
                        {{dir.file("v.m2v"), 0}}};
    MkvTrackInput audio{MkvTrackType::Audio, "", "und", true, false, "", {}};
    for (size_t p = 0; p < 2; ++p)
        audio.files.push_back({audioFiles[p], placement.parts[p].syncMs});
    job.tracks = {video, audio};
    const auto run = testing::runMkvmerge(writeOptions(dir, job));
    ASSERT_EQ(run.status, 0) << run.output;

    const std::vector<double> v = testing::packetTimesMs(job.output, "v:0", true);
    const std::vector<double> a = testing::packetTimesMs(job.output, "a:0");
    const size_t firstVideo = size_t(c.parts[0].videoFrames);
    ASSERT_EQ(v.size(), firstVideo + size_t(c.parts[1].videoFrames));
    const size_t cut = size_t(placement.leftOutTicks / kAudioFrameTicks);
    ASSERT_EQ(a.size(), size_t(c.parts[0].audioFrames + c.parts[1].audioFrames) - cut);
    EXPECT_NEAR(a[0] - v[0], c.parts[0].audioOffsetTicks / 90.0, 1.0);
    EXPECT_NEAR(std::min(a[0], v[0]), 0.0, 1.0);
    EXPECT_NEAR(v[firstVideo] - v[0], c.parts[0].videoFrames * 40.0, 1.0);
    const size_t secondAudio = size_t(c.parts[0].audioFrames) - cut;
    EXPECT_NEAR(a[secondAudio] - v[firstVideo], c.parts[1].audioOffsetTicks / 90.0, 1.0);
    for (size_t k = 1; k < a.size(); ++k)
        ASSERT_GE(a[k] - a[k - 1], kAudioFrameTicks / 90.0 - 1.0) << "frame " << k;
}

INSTANTIATE_TEST_SUITE_P(Parts, JoinTest, ::testing::ValuesIn(kJoinCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MkvmergeOptionsTest, TitleNamesLanguagesAndDefaultFlagsReachTheMatroskaFile) {
    if (!testing::haveMatroskaPeers()) GTEST_SKIP() << "mkvmerge or ffmpeg missing";
    TempDir dir;
    testing::makeMpeg2Video(dir.file("v.m2v"), 10);
    testing::makeAc3Audio(dir.file("a.ac3"), 10);
    struct Expected {
        std::string name, language;
        bool isDefault;
    };
    const Expected expected[] = {
        {"Feature", "und", true}, {"English", "en", true}, {"Deutsch \xC3\xA4 & <x>", "de", false}};
    MkvJob job;
    job.output = dir.file("out.mkv");
    job.title = "Sample Feature \"1\"";
    job.tracks = {
        {MkvTrackType::Video, expected[0].name, expected[0].language, true, false, "", {{dir.file("v.m2v"), 0}}},
        {MkvTrackType::Audio, expected[1].name, expected[1].language, true, false, "", {{dir.file("a.ac3"), 0}}},
        {MkvTrackType::Audio, expected[2].name, expected[2].language, false, false, "", {{dir.file("a.ac3"), 0}}}};
    const auto run = testing::runMkvmerge(writeOptions(dir, job));
    ASSERT_EQ(run.status, 0) << run.output;

    const nlohmann::json id = testing::mkvmergeIdentify(job.output);
    EXPECT_EQ(id["container"]["properties"]["title"], job.title);
    ASSERT_EQ(id["tracks"].size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const nlohmann::json& properties = id["tracks"][i]["properties"];
        EXPECT_EQ(properties["track_name"], expected[i].name) << i;
        EXPECT_EQ(properties["language_ietf"], expected[i].language) << i;
        EXPECT_EQ(properties["default_track"], expected[i].isDefault) << i;
    }
}

}  // namespace
}  // namespace morvale
