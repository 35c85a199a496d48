// SPDX-License-Identifier: MIT
// The audio frame readers against an independent encoder and reader: every frame of a stream
// from ffmpeg has the size ffprobe gives its packet, and the first one ffprobe's rate,
// channels and bit rate; a span that holds part of a header says it is cut.

#include "reports/audio_headers.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>

#include "support/peer_tools.h"
#include "support/program_stream_builder.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

struct Facts {
    AudioFrameHeader frame;
    int32_t bitRate = -1;  // Dolby only
};
Facts dolby(std::span<const uint8_t> bytes) {
    const DolbyAudioHeader h = readDolbyAudioHeader(bytes);
    return {h, h.bitRate};
}
Facts dts(std::span<const uint8_t> bytes) {
    return {readDtsFrameHeader(bytes)};
}
Facts trueHd(std::span<const uint8_t> bytes) {
    return {readTrueHdUnitHeader(bytes)};
}

struct AudioCase {
    const char* file;     // its extension names ffmpeg's format
    const char* options;  // after a 48 kHz sine
    Facts (*read)(std::span<const uint8_t>);
    bool syncWord;
    friend void PrintTo(const AudioCase& c, std::ostream* os) { *os << c.file << " " << c.options; }
};

const AudioCase kAudioCases[] = {
    {"a.ac3", "-ac 6 -c:a ac3 -b:a 448k", dolby, true},
    {"a.ac3", "-ac 2 -ar 44100 -c:a ac3 -b:a 192k", dolby, true},  // frames of two sizes
    {"a.ac3", "-ac 1 -ar 32000 -c:a ac3 -b:a 96k", dolby, true},
    {"a.eac3", "-ac 6 -c:a eac3 -b:a 640k", dolby, true},
    {"a.eac3", "-ac 2 -ar 44100 -c:a eac3", dolby, true},
    {"a.dts", "-ac 6 -c:a dca", dts, true},
    {"a.dts", "-ac 1 -c:a dca", dts, true},
    {"a.thd", "-ac 6 -c:a truehd", trueHd, false},
    {"a.thd", "-ac 2 -c:a truehd", trueHd, false},
};

std::map<std::string, std::string> probedStream(const std::string& path) {
    std::map<std::string, std::string> values;
    for (const std::string& line :
         shellLines("ffprobe -v error -show_entries stream=sample_rate,channels,bit_rate -of "
                    "default=nw=1 " +
                    quoted(path))) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

class AudioHeaders : public ::testing::TestWithParam<AudioCase> {};

TEST_P(AudioHeaders, AgreeWithFfprobeOnEveryFrame) {
    if (!havePeerTools()) GTEST_SKIP() << "ffmpeg is not installed";
    const AudioCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.file(c.file);
    ASSERT_TRUE(
        shellSucceeds("ffmpeg -nostdin -v error -y -f lavfi -i sine=f=440:sample_rate=48000 "
                      "-t 0.5 -strict -2 " +
                      std::string(c.options) + " " + quoted(path)));
    const Bytes stream = readFileBytes(path);
    Lines sizes;
    Facts first;
    for (size_t at = 0; at < stream.size();) {
        const Facts f = c.read(std::span(stream).subspan(at));
        ASSERT_TRUE(f.frame.whole() && f.frame.frameBytes > 0) << "at " << at;
        if (sizes.empty()) first = f;
        sizes.push_back(std::to_string(f.frame.frameBytes));
        at += f.frame.frameBytes;
    }
    EXPECT_EQ(sizes,
              shellLines("ffprobe -v error -show_entries packet=size -of csv=p=0 " + quoted(path)));
    auto probed = probedStream(path);
    EXPECT_EQ(std::to_string(first.frame.sampleRate), probed["sample_rate"]);
    EXPECT_EQ(std::to_string(first.frame.channels), probed["channels"]);
    if (first.bitRate >= 0) {
        EXPECT_EQ(std::to_string(first.bitRate), probed["bit_rate"]);
    }

    // Each prefix of the first header is cut until it gives the whole header.
    bool whole = false;
    for (size_t n = 0; n <= 16; ++n) {
        const Bytes prefix(stream.begin(), stream.begin() + static_cast<long>(n));
        const Facts f = c.read(prefix);
        EXPECT_EQ(f.frame.cut, !f.frame.whole()) << n;
        EXPECT_TRUE(f.frame.whole() || !whole) << n;
        whole = f.frame.whole();
        if (whole) {
            EXPECT_EQ(f.frame.frameBytes, first.frame.frameBytes) << n;
        }
    }
    EXPECT_TRUE(whole);
    // Without its sync word a span holds no frame, and says so.
    const Bytes shifted(stream.begin() + 1, stream.begin() + 64);
    if (c.syncWord) {
        EXPECT_FALSE(c.read(shifted).frame.whole() || c.read(shifted).frame.cut);
    }
}

INSTANTIATE_TEST_SUITE_P(Ffmpeg, AudioHeaders, ::testing::ValuesIn(kAudioCases));

}  // namespace
}  // namespace morvale::testing
