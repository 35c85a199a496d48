// SPDX-License-Identifier: MIT
// The video sequence header readers against an independent encoder and reader (the size,
// level, chroma format and scanning of ffmpeg's H.264 and MPEG-2 streams as ffprobe gives
// them), and the unit readers over headers whose fields need emulation prevention.

#include "reports/video_headers.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <ostream>

#include "support/bit_writer.h"
#include "support/peer_tools.h"
#include "support/program_stream_builder.h"
#include "support/temp_dir.h"
#include "support/vc1_sequence_header.h"

namespace morvale::testing {
namespace {

using Facts = std::map<std::string, std::string>;

// ffprobe's names for chroma_format_idc and chroma_format 1-3.
const std::map<uint32_t, std::string> kPixelFormats = {
    {1, "yuv420p"}, {2, "yuv422p"}, {3, "yuv444p"}};

Facts facts(uint32_t width, uint32_t height, uint32_t level, uint32_t chroma, bool progressive) {
    return {{"width", std::to_string(width)},
            {"height", std::to_string(height)},
            {"level", std::to_string(level)},
            {"pix_fmt", kPixelFormats.count(chroma) != 0 ? kPixelFormats.at(chroma) : "?"},
            {"progressive", progressive ? "1" : "0"}};
}

// The first sequence parameter set, or sequence header and extension, of the stream.
Facts readFacts(const Bytes& stream, bool h264) {
    std::optional<MpegVideoSequence> sequence;
    for (size_t code = nextStartCode(stream, 0); code < stream.size();
         code = nextStartCode(stream, code)) {
        const std::span<const uint8_t> rest = std::span(stream).subspan(code + 1);
        if (h264 && (stream[code] & 0x1F) == 7) {
            const H264SequenceParameters p = readH264SequenceParameters(rest);
            return facts(p.width, p.height, p.levelIdc, p.chromaFormatIdc, p.frameMbsOnly);
        }
        if (!h264 && stream[code] == 0xB3) sequence = readMpegVideoSequence(rest);
        const MpegSequenceExtension e = readMpegSequenceExtension(rest);
        if (!h264 && sequence && stream[code] == 0xB5 && e.whole()) {
            return facts(sequence->width, sequence->height, e.profileAndLevel & 0x0F,
                         e.chromaFormat, e.progressive);
        }
    }
    return {};
}

Facts probedFacts(const std::string& path) {
    Facts values;
    for (const std::string& line :
         shellLines("ffprobe -v error -show_entries stream=width,height,level,pix_fmt,field_order "
                    "-of default=nw=1 " +
                    quoted(path))) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "field_order") {
            values["progressive"] = value == "progressive" ? "1" : "0";
        } else {
            values[key] = value;
        }
    }
    return values;
}

struct VideoCase {
    const char* source;   // the lavfi test source
    const char* options;  // the encoder and its options
    friend void PrintTo(const VideoCase& c, std::ostream* os) {
        *os << c.source << " " << c.options;
    }
};

const VideoCase kVideoCases[] = {
    {"size=352x200:rate=25", "-pix_fmt yuv420p -c:v libx264 -f h264"},  // cropped to 200
    {"size=320x240:rate=25", "-pix_fmt yuv444p -c:v libx264 -f h264"},
    {"size=720x576:rate=25",
     "-pix_fmt yuv420p -c:v libx264 -flags +ildct+ilme -x264-params "
     "interlaced=1 -f h264"},
    {"size=720x480:rate=30000/1001", "-pix_fmt yuv422p -c:v mpeg2video -f mpeg2video"},
    {"size=720x576:rate=25", "-pix_fmt yuv420p -c:v mpeg2video -flags +ilme+ildct -f mpeg2video"},
};

class VideoHeaders : public ::testing::TestWithParam<VideoCase> {};

TEST_P(VideoHeaders, AgreeWithFfprobe) {
    if (!havePeerTools()) GTEST_SKIP() << "ffmpeg is not installed";
    TempDir dir;
    const std::string path = dir.file("video");
    if (!shellSucceeds(
            "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=" + std::string(GetParam().source) +
            " -frames:v 3 " + GetParam().options + " " + quoted(path))) {
        GTEST_SKIP() << "ffmpeg has no such encoder";
    }
    const bool h264 = std::string(GetParam().options).ends_with("h264");
    const Facts probed = probedFacts(path);
    ASSERT_EQ(probed.size(), 5u);
    EXPECT_EQ(readFacts(readFileBytes(path), h264), probed);
}

INSTANTIATE_TEST_SUITE_P(Ffmpeg, VideoHeaders, ::testing::ValuesIn(kVideoCases));

// Emulation prevention as an encoder puts it in: 03 after two zero bytes that a byte of
// 00-03 follows.
Bytes escaped(const Bytes& payload) {
    Bytes out;
    int zeros = 0;
    for (uint8_t b : payload) {
        if (zeros >= 2 && b <= 3) {
            out.push_back(3);
            zeros = 0;
        }
        out.push_back(b);
        zeros = b == 0 ? zeros + 1 : 0;
    }
    return out;
}

// A baseline parameter set of level_idc 0 and seq_parameter_set_id 63 (zero bytes that need
// emulation prevention), 352x288, 25 frames per second.
Bytes h264Payload() {
    BitWriter w;
    w.bits(66, 8).bits(0, 8).bits(0, 8).expGolomb(63).expGolomb(0).expGolomb(2).expGolomb(1);
    w.flag(false).expGolomb(21).expGolomb(17).flag(true).flag(true).flag(false);
    w.flag(true).flag(false).flag(false).flag(false).flag(false);  // VUI up to timing_info
    w.flag(true).bits(1, 32).bits(50, 32).flag(true).flag(true).alignWithZeros();
    return w.data();
}

// Coded size 2x2: 24 zero bits.
Bytes vc1Payload() {
    const Bytes header = sequenceHeader(
        {.maxCodedWidth = 0, .maxCodedHeight = 0, .frameRateNr = 2, .frameRateDr = 1});
    return Bytes(header.begin() + 4, header.end());
}

struct UnitCase {
    const char* name;
    Bytes payload;
    std::function<std::vector<uint32_t>(std::span<const uint8_t>, bool& whole, bool& cut)> read;
    std::vector<uint32_t> expected;  // sizes and the frame period
};

template <typename Header>
std::vector<uint32_t> outcome(const Header& h, std::vector<uint32_t> fields, bool& whole,
                              bool& cut) {
    whole = h.whole();
    cut = h.cut;
    fields.push_back(h.framePeriod.value_or(FramePeriod{}).numerator);
    fields.push_back(h.framePeriod.value_or(FramePeriod{}).denominator);
    return fields;
}

TEST(UnitHeaders, LoseTheirEmulationPreventionAndEndAtTheNextStartCode) {
    const UnitCase cases[] = {
        {"H.264",
         h264Payload(),
         [](std::span<const uint8_t> b, bool& whole, bool& cut) {
             const H264SequenceParameters p = readH264SequenceParameters(b);
             return outcome(p, {p.width, p.height, p.levelIdc}, whole, cut);
         },
         {352, 288, 0, 2, 50}},
        {"VC-1",
         vc1Payload(),
         [](std::span<const uint8_t> b, bool& whole, bool& cut) {
             const Vc1SequenceHeader h = readVc1SequenceHeader(b);
             return outcome(h, {h.codedWidth, h.codedHeight, h.displayWidth.value_or(0)}, whole,
                            cut);
         },
         {2, 2, 1920, 1000, 25000}},
    };
    for (const UnitCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes unit = escaped(c.payload);
        ASSERT_GT(unit.size(), c.payload.size());
        bool whole = false, cut = false;
        EXPECT_EQ(c.read(concat({unit, {0x00, 0x00, 0x01, 0x0D, 0x3B}}), whole, cut), c.expected);
        EXPECT_TRUE(whole);
        // Unescaped, the fields' zero bytes are a start code prefix that ends the unit.
        c.read(c.payload, whole, cut);
        EXPECT_FALSE(whole || cut);
        // Cut short anywhere, even after an emulation prevention byte's zeros, it says so.
        for (size_t n = 0; n <= unit.size(); ++n) {
            const auto read =
                c.read(Bytes(unit.begin(), unit.begin() + static_cast<long>(n)), whole, cut);
            EXPECT_TRUE(cut || whole) << n;
            if (whole) {
                EXPECT_EQ(read, c.expected) << n;
            }
            EXPECT_TRUE(cut || n > unit.size() / 2) << n;
        }
    }
}

}  // namespace
}  // namespace morvale::testing
