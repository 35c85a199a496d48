// SPDX-License-Identifier: MIT
#include "export/audio_duration.h"

#include <gtest/gtest.h>

#include "support/peer_tools.h"
#include "support/temp_dir.h"

namespace morvale {
namespace {

using testing::quoted;

struct DurationCase {
    const char* encoder;
    int rate;
    const char* format;
    AudioCoding coding;
};

void PrintTo(const DurationCase& c, std::ostream* out) {
    *out << c.encoder << " " << c.rate;
}

class AudioDurationTest : public ::testing::TestWithParam<DurationCase> {};

// ffprobe's packet durations added up, in milliseconds.
double ffprobeDurationMs(const std::string& path) {
    double seconds = 0;
    for (const std::string& line : testing::shellLines(
             "ffprobe -v error -show_entries packet=duration_time -of csv=p=0 " + quoted(path))) {
        if (!line.empty() && line != "N/A") seconds += std::stod(line);
    }
    return seconds * 1000;
}

TEST_P(AudioDurationTest, CountsWhatFfprobesPacketsLastInPiecesAndAfterNoise) {
    if (!testing::havePeerTools()) GTEST_SKIP() << "ffmpeg missing";
    const DurationCase& c = GetParam();
    testing::TempDir dir;
    const std::string path = dir.file("audio");
    ASSERT_TRUE(testing::shellSucceeds(
        "ffmpeg -v error -y -f lavfi -i sine=f=440:sample_rate=" + std::to_string(c.rate) +
        " -ac 2 -t 1.3 -strict -2 -c:a " + c.encoder + " -f " + c.format + " " + quoted(path)));
    const double expected = ffprobeDurationMs(path);
    ASSERT_GT(expected, 1000);

    const std::optional<int64_t> whole = audioFileDurationTicks(path, c.coding);
    ASSERT_TRUE(whole);
    EXPECT_NEAR(double(*whole) / 90, expected, 1.0);

    std::vector<uint8_t> bytes = testing::readFileBytes(path);
    bytes.insert(bytes.begin(), {0x0B, 0x01, 0x7F, 0x00, 0x64, 0x58});  // no unit starts here
    for (size_t piece : {size_t(1), size_t(7), size_t(4093)}) {
        AudioUnitCounter counter(c.coding);
        for (size_t at = 0; at < bytes.size(); at += piece)
            counter.feed(std::span(bytes).subspan(at, std::min(piece, bytes.size() - at)));
        EXPECT_EQ(counter.durationTicks(), whole) << piece;
    }
}

const DurationCase kDurationCases[] = {
    {"ac3", 48000, "ac3", AudioCoding::DolbyDigital},
    {"ac3", 44100, "ac3", AudioCoding::DolbyDigital},
    {"ac3", 32000, "ac3", AudioCoding::DolbyDigital},
    {"eac3", 48000, "eac3", AudioCoding::DolbyDigitalPlus},
    {"dca", 48000, "dts", AudioCoding::Dts},
    {"truehd", 48000, "truehd", AudioCoding::TrueHd},
    {"truehd", 96000, "truehd", AudioCoding::TrueHd},
};
INSTANTIATE_TEST_SUITE_P(Ffmpeg, AudioDurationTest, ::testing::ValuesIn(kDurationCases),
                         [](const auto& info) {
                             return std::string(info.param.encoder) +
                                    std::to_string(info.param.rate / 1000) + "k";
                         });

}  // namespace
}  // namespace morvale
