// SPDX-License-Identifier: MIT
// Demux's PGS and VobSub files against ffmpeg's reading of the source itself: morvale-cli
// demux --sub-format on a DVD VOB that ffmpeg muxed with its own dvdsub encoder (with the
// title set's IFO beside it, and without), and on the sample disc (an HD DVD stream and a
// DVD-layout one). Each output shows, for ffmpeg's decoders, the source's events at the same
// times on the demux's timeline (the scan's first timestamp is zero), the same pixels, and
// the same forced events.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "sample_disc/hd_subpicture_unit.h"
#include "sample_disc/sample_disc.h"
#include "sample_disc/sample_subtitles.h"
#include "subtitles/pgs_reader.h"
#include "subtitles/subtitle_peers.h"
#include "subtitles/unit_parser.h"
#include "support/peer_tools.h"
#include "support/temp_dir.h"

namespace morvale {
namespace {

using namespace testing;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr uint64_t kSecond = 90000;

struct CliRun {
    int status = -1;
    std::string log;
};

CliRun demux(const TempDir& dir, const std::string& source, const std::string& stream,
             const std::string& format) {
    const std::string log = dir.file("log.txt");
    const int status = std::system((std::string(MORVALE_CLI_PATH) + " demux --no-fast-check -o " +
                                    quoted(dir.path()) + " --streams " + stream + " --sub-format " +
                                    format + " " + quoted(source) + " >" + quoted(log) + " 2>&1")
                                       .c_str());
    const Bytes text = readFileBytes(log);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(text.begin(), text.end())};
}

// The first video PTS ffprobe reads, in seconds: the scan's time base for these sources.
double firstVideoSeconds(const std::string& source) {
    return std::atof(shellOutput("ffprobe -v error -select_streams v:0 -show_entries "
                                 "stream=start_time -of default=nw=1:nk=1 " +
                                 quoted(source))
                         .c_str());
}

// One source and stream, and what Demux's output of it must show.
struct SourceCase {
    std::string name;
    std::string source;         // what Demux reads
    std::string peerInput;      // what ffmpeg reads: the source, or both parts
    int peerStream;             // its subtitle stream among ffmpeg's
    std::string stream;         // --streams
    std::string output;         // the file name Demux's output starts with
    std::string sourceOptions;  // ffmpeg's decoder options for the source
    int width, height;          // the video's frame size: the canvas
    std::vector<double> times;  // on the demux's timeline, seconds (tenths)
    bool forced;                // some events are forced
    std::string paletteLine;    // what the log says of the palette; empty: nothing
};

// Every output format of a case against ffmpeg's reading of the source.
void expectOutputsShowTheSource(const SourceCase& c, const std::vector<std::string>& formats) {
    // ffmpeg reads the source on its own timeline, which the demux's starts `zero` later.
    // Drawings of the source are taken at the tenth of a second nearest to the demux's time
    // plus zero, so the times keep more than 0.05 s away from the events' starts and stops.
    const double zero = firstVideoSeconds(c.peerInput);
    const std::vector<PeerEvent> source = shiftedEvents(
        sourceEvents(probeSubtitleFrames(c.peerInput, c.sourceOptions, c.peerStream)), zero * 1000);
    ASSERT_FALSE(source.empty());
    std::vector<double> sourceTimes;
    for (double t : c.times)
        sourceTimes.push_back(t + zero);
    for (const std::string& format : formats) {
        SCOPED_TRACE(c.name + " as " + format);
        const TempDir out;
        const CliRun run = demux(out, c.source, c.stream, format);
        ASSERT_EQ(run.status, 0) << run.log;
        const bool pgs = format == "pgs";
        const std::string file = out.file(c.output + (pgs ? ".sup" : ".idx"));
        EXPECT_THAT(run.log, HasSubstr("Creating " + file));
        if (c.paletteLine.empty()) {
            EXPECT_THAT(run.log, Not(HasSubstr("palette"))) << run.log;
        } else {
            EXPECT_THAT(run.log, HasSubstr(c.paletteLine)) << run.log;
        }
        const std::vector<SubtitleFrame> frames = probeSubtitleFrames(file);
        expectSameEvents(source, pgs ? pgsEvents(frames) : sourceEvents(frames), std::nullopt);
        const int tolerance = c.height > 576 ? 2 : 1;
        expectSamePixels(renderSubtitles(c.peerInput, c.width, c.height, sourceTimes,
                                         c.sourceOptions, c.peerStream),
                         renderSubtitles(file, c.width, c.height, c.times), c.times, tolerance);
        const std::string only = " -forced_subs_only 1";
        const std::vector<Bytes> forced = renderSubtitles(file, c.width, c.height, c.times, only);
        if (c.forced) {
            expectSamePixels(renderSubtitles(c.peerInput, c.width, c.height, sourceTimes,
                                             c.sourceOptions + only, c.peerStream),
                             forced, c.times, tolerance);
        } else {
            ASSERT_EQ(forced.size(), c.times.size());
            for (const Bytes& frame : forced)
                EXPECT_EQ(visiblePixels(frame), 0u);
        }
    }
}

// ---- A DVD VOB muxed by ffmpeg ----

// DVD units at 1, 3 and 5 s, the first and last forced, drawn by the sample disc's encoder
// and then decoded and encoded again by ffmpeg (dvdsub takes bitmaps only): the VOB's units
// are ffmpeg's own.
std::string ffmpegVob(const TempDir& dir, const DvdPalette& palette) {
    std::vector<TimedUnit> units;
    for (uint32_t i = 0; i < 3; ++i) {
        sample::DvdPicture p;
        p.x = 120 + 60 * static_cast<int>(i), p.y = 320, p.width = 360, p.height = 90;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x)
                p.codes.push_back(static_cast<uint8_t>(
                    y < 4 || y >= p.height - 4 ? 1 : ((x / (5 + 3 * i)) + y / 10) % 4));
        p.colours = {0, static_cast<uint8_t>(3 + i), static_cast<uint8_t>(8 + i), 14};
        p.contrasts = {0, 15, 15, 15};
        p.forced = i != 1;
        p.stopTicks = 3 * kSecond / 2;
        units.push_back({sample::dvdSubpictureUnit(p), kSecond + 2 * kSecond * i});
    }
    const std::string bitmaps = dir.file("bitmaps.ps"), vob = dir.file("VTS_01_1.VOB");
    writeFileBytes(bitmaps, subpictureSource(units).stream);
    const std::string command =
        "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=720x480:rate=30000/1001 " +
        paletteOption(palette) + " -canvas_size 720x480 -f mpeg -i " + quoted(bitmaps) +
        " -t 7 -map 0:v -map 1:s -c:v mpeg2video -c:s dvdsub " + paletteOption(palette) +
        " -f dvd " + quoted(vob);
    EXPECT_TRUE(shellSucceeds(command)) << command;
    return vob;
}

TEST(DemuxSubtitlePeers, AVobMadeByFfmpegWithAndWithoutItsIfo) {
    if (!havePeerTools()) GTEST_SKIP() << "ffmpeg missing";
    const TempDir dir;
    const DvdPalette palette = testPalette();
    const std::string vob = ffmpegVob(dir, palette);
    // ffmpeg's muxer moves the first unit to the first picture: the events are at 0, 2 and
    // 4 s on the demux's timeline.
    const std::vector<double> times = {0.5, 1.2, 1.8, 2.5, 3.2, 4.1, 5.3, 6.0};
    const std::string ifo = dir.file("VTS_01_0.IFO");
    {
        writeFileBytes(ifo, ifoWithPalette(palette));
        expectOutputsShowTheSource({"with its IFO", vob, vob, 0, "s00", "VTS_01_1.Subpicture.00",
                                    "-ifo_palette " + quoted(ifo), 720, 480, times, true, ""},
                                   {"vobsub", "pgs"});
    }
    std::remove(ifo.c_str());
    expectOutputsShowTheSource(
        {"without an IFO", vob, vob, 0, "s00", "VTS_01_1.Subpicture.00",
         paletteOption(defaultDvdPalette()), 720, 480, times, true,
         "Subpicture.00: no VTS_01_0.IFO beside the source: DVD subpictures take the default "
         "palette."},
        {"vobsub", "pgs"});
}

// A unit whose first control sequence lies beyond its end, between two good ones: both
// formats leave it out and say so, with the count.
TEST(DemuxSubtitles, AMalformedUnitIsLeftOutWithALineAndItsCount) {
    sample::DvdPicture p;
    p.x = 100, p.y = 100, p.width = 64, p.height = 16;
    p.codes.assign(64 * 16, 1);
    p.colours = {0, 1, 2, 3};
    p.contrasts = {0, 15, 15, 15};
    p.stopTicks = kSecond;
    const Bytes good = sample::dvdSubpictureUnit(p);
    Bytes bad = good;
    bad[2] = static_cast<uint8_t>((good.size() + 8) >> 8),
    bad[3] = static_cast<uint8_t>(good.size() + 8);
    const TempDir dir;
    const std::string source = dir.file("units.vob");
    writeFileBytes(
        source,
        subpictureSource({{good, kSecond}, {bad, 3 * kSecond}, {good, 5 * kSecond}}).stream);
    for (const std::string format : {"pgs", "vobsub"}) {
        SCOPED_TRACE(format);
        const TempDir out;
        const CliRun run = demux(out, source, "s00", format);
        ASSERT_EQ(run.status, 0) << run.log;
        EXPECT_THAT(run.log,
                    HasSubstr("Subpicture.00: malformed subpicture units left out: 1 (the last: "));
        size_t written = 0;
        if (format == "pgs") {
            for (const PgsDisplaySet& set :
                 readPgs(readFileBytes(out.file("units.Subpicture.00.sup"))).sets)
                written += !set.composition.empty();
        } else {
            const Bytes bytes = readFileBytes(out.file("units.Subpicture.00.idx"));
            const std::string idx(bytes.begin(), bytes.end());
            for (size_t at = idx.find("timestamp:"); at != std::string::npos;
                 at = idx.find("timestamp:", at + 1))
                ++written;
        }
        EXPECT_EQ(written, 2u);
    }
}

// ---- The sample disc ----

class SampleDiscSubtitles : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        disc_ = new TempDir;
        sample::writeSampleDisc(disc_->path(), {.synthesiseAudio = true});
    }
    static void TearDownTestSuite() {
        delete disc_;
        disc_ = nullptr;
    }
    void SetUp() override {
        if (!havePeerTools()) GTEST_SKIP() << "ffmpeg missing";
    }
    static std::string firstPart() { return disc_->file("HVDVD_TS/FEATURE_1.EVO"); }
    // ffmpeg reads the feature's two parts as one file.
    static std::string feature() {
        return concatInput(firstPart(), disc_->file("HVDVD_TS/FEATURE_2.EVO"));
    }

    inline static TempDir* disc_ = nullptr;
};

TEST_F(SampleDiscSubtitles, BothStreamsShowAsTheSourceShowsThem) {
    const std::string part = firstPart(), concat = feature();
    // ffmpeg draws the source's fade (2.5-3.0 s) at its first step throughout; its later steps
    // are compared below.
    expectOutputsShowTheSource({"HD DVD units",
                                part,
                                concat,
                                0,
                                "s00",
                                "FEATURE_1_2.Subpicture.00",
                                "",
                                1920,
                                1080,
                                {1.0, 1.8, 2.3, 2.6, 5.0, 7.0, 9.0},
                                true,
                                ""},
                               {"pgs"});
    expectOutputsShowTheSource(
        {"DVD units",
         part,
         concat,
         1,
         "s01",
         "FEATURE_1_2.Subpicture.01",
         paletteOption(defaultDvdPalette()),
         1920,
         1080,
         {1.0, 3.0, 4.3, 7.0, 9.0},
         false,
         "Subpicture.01: no title set's IFO beside the source: DVD subpictures take the default "
         "palette."},
        {"pgs", "vobsub"});
}

// The units are the generator's; the layer's parse of the fading one gives each step's
// colours, drawn for ffmpeg by the generator's encoder as units of their own.
TEST_F(SampleDiscSubtitles, TheFadeShowsEachOfItsSteps) {
    const TempDir out;
    ASSERT_EQ(demux(out, firstPart(), "s00", "pgs").status, 0);
    const Bytes unit = sample::englishSubpictureUnits(2, 3 * kSecond / 2)[1];
    const UnitParse parsed = parseSubpictureUnit({unit, 0}, defaultDvdPalette());
    ASSERT_TRUE(parsed.event && parsed.malformed.empty());
    const DisplayEvent& event = *parsed.event;
    ASSERT_EQ(event.fades.size(), 2u);
    // Each step alone for half a second from 1, 2 and 3 s; on the demux's timeline the fade
    // starts at 2.5 s, its steps at 0, 0.25 and 0.5 s after.
    std::vector<TimedUnit> steps;
    for (size_t step = 0; step <= event.fades.size(); ++step) {
        const Palette& colours = step == 0 ? event.palette : event.fades[step - 1].palette;
        sample::HdPicture p;
        p.x = event.area.x, p.y = event.area.y;
        p.width = event.area.width, p.height = event.area.height;
        p.pixels = event.pixels;
        for (size_t i = 0; i < 256; ++i) {
            p.yCrCb[3 * i] = colours[i].y, p.yCrCb[3 * i + 1] = colours[i].cr;
            p.yCrCb[3 * i + 2] = colours[i].cb;
            p.transparency[i] = static_cast<uint8_t>(255 - colours[i].alpha);
        }
        p.stopTicks = kSecond / 2;
        steps.push_back({sample::hdSubpictureUnit(p), kSecond * (1 + step)});
    }
    const std::vector<double> times = {1.2, 2.2, 3.2}, demuxTimes = {2.6, 2.9, 3.2};
    const std::string reference = out.file("steps.evo");
    writeFileBytes(reference, subpictureSource(steps).stream);
    expectSamePixels(
        renderSubtitles(reference, 1920, 1080, times),
        renderSubtitles(out.file("FEATURE_1_2.Subpicture.00.sup"), 1920, 1080, demuxTimes), times,
        2);
}

// What the disc's English stream is there to show: HD DVD units with 8-bit colours, a fade,
// a forced unit, and a unit over 64 KiB, which the second part carries over many packets.
TEST_F(SampleDiscSubtitles, TheEnglishStreamCarriesEveryKindOfHdDvdUnit) {
    bool fade = false, forced = false, large = false;
    for (const Bytes& unit : sample::englishSubpictureUnits(5, 3 * kSecond / 2)) {
        const UnitParse parsed = parseSubpictureUnit({unit, 0}, defaultDvdPalette());
        ASSERT_TRUE(parsed.event && parsed.malformed.empty()) << parsed.malformed;
        EXPECT_EQ(parsed.event->layout, SpuLayout::HdDvd);
        EXPECT_TRUE(parsed.event->eightBit);
        fade = fade || !parsed.event->fades.empty();
        forced = forced || parsed.event->forced;
        large = large || unit.size() > 65536;
    }
    EXPECT_TRUE(fade && forced && large);
    // The disc's packs hold one packet each, right after a plain 14-byte pack header.
    const Bytes part = readFileBytes(disc_->file("HVDVD_TS/FEATURE_2.EVO"));
    size_t packets = 0;
    for (size_t at = 0; at + 2048 <= part.size(); at += 2048) {
        const uint8_t* p = part.data() + at;
        packets += p[17] == 0xBD && p[23 + p[22]] == 0x20;
    }
    EXPECT_GT(packets, 34u);
}

// VobSub holds DVD units only: the HD DVD stream's units are named as left out.
TEST_F(SampleDiscSubtitles, HdDvdUnitsAsVobSubAreLeftOutWithALine) {
    const TempDir out;
    const CliRun run = demux(out, firstPart(), "s00", "vobsub");
    ASSERT_EQ(run.status, 0) << run.log;
    EXPECT_THAT(run.log, HasSubstr("Subpicture.00: HD DVD subpicture units left out: 5 ("));
    EXPECT_TRUE(probeSubtitleFrames(out.file("FEATURE_1_2.Subpicture.00.idx")).empty());
}

}  // namespace
}  // namespace morvale
