// SPDX-License-Identifier: MIT
// HD DVD units become a .sup and DVD units an .idx/.sub that ffmpeg reads as it reads the
// source program stream: the same events at the same times (within 1 ms), the same pixels
// after ffmpeg's own colour conversion (within 1 per channel), forced events where the source
// has them; and mkvmerge takes both files without a warning.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "sample_disc/hd_subpicture_unit.h"
#include "subtitles/colour_matrix.h"
#include "subtitles/pgs_reader.h"
#include "subtitles/stream_conversion.h"
#include "subtitles/subtitle_peers.h"
#include "support/matroska_peers.h"
#include "support/peer_tools.h"
#include "support/temp_dir.h"

namespace morvale {
namespace {

using namespace testing;
using sample::DvdPicture;
using sample::HdPicture;

constexpr uint64_t kSecond = 90000;

// ---- Pictures ----

// Indices varying pixel by pixel (noise, which codes to a unit far over 64 KiB) or in
// stripes of runs of every length, with clear lines (coded as "to the end of the line") and
// long runs of one colour.
std::vector<uint8_t> picture(int width, int height, uint32_t seed, bool noise, int colours) {
    sample::Xorshift random(seed);
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int index = ((x / (1 + y % 37)) + y / 8) % colours;
            if (noise) {
                index = static_cast<int>(random.next() % colours);
            } else if (y % 9 == 0) {
                index = 0;
            } else if (y % 9 == 4 && x < 150) {
                index = 1 + y / 9 % (colours - 1);
            }
            pixels[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(index);
        }
    }
    return pixels;
}

HdPicture hdPicture(int x, int y, int width, int height, uint32_t seed, bool noise) {
    HdPicture p;
    p.x = x, p.y = y, p.width = width, p.height = height;
    p.pixels = picture(width, height, seed, noise, 256);
    sample::Xorshift random(seed * 7 + 1);
    for (size_t i = 0; i < 256; ++i) {
        // Colours an authoring tool makes: from R'G'B', so inside the gamut.
        const Rgb rgb{static_cast<uint8_t>(random.next()), static_cast<uint8_t>(random.next()),
                      static_cast<uint8_t>(random.next())};
        const PaletteEntry c = yCrCbOf(rgb, ColourMatrix::Bt601);
        p.yCrCb[3 * i] = c.y;
        p.yCrCb[3 * i + 1] = c.cr;
        p.yCrCb[3 * i + 2] = c.cb;
        p.transparency[i] = i % 5 == 0 ? 255 : static_cast<uint8_t>(random.next() % 3 * 60);
    }
    return p;
}

DvdPicture dvdPicture(int x, int y, uint32_t seed, bool forced, std::optional<uint64_t> stop) {
    DvdPicture p;
    p.x = x, p.y = y, p.width = 300, p.height = 80;
    p.codes = picture(300, 80, seed, false, 4);
    p.colours = {static_cast<uint8_t>(seed % 16), 5, 9, 14};
    p.contrasts = {0, 15, 8, 15};
    p.forced = forced;
    p.stopTicks = stop;
    return p;
}

// ---- Conversions ----

struct Converted {
    Bytes sup;
    PgsCounts counts;
};

Converted toPgs(const SubpictureSource& source, int width, int height, int64_t end,
                const DvdPalette& palette = defaultDvdPalette()) {
    MemorySink sink;
    PgsConversion conversion(sink, {width, height, 0, ColourMatrix::Bt601}, palette);
    for (const PayloadPiece& piece : source.pieces)
        conversion.feed(piece.bytes, piece.firstOfPacket, piece.pts);
    conversion.finish(end);
    EXPECT_EQ(conversion.assembly().dropped(), 0u);
    EXPECT_EQ(conversion.malformed().count, 0u) << conversion.malformed().lastReason;
    return {sink.bytes(), conversion.written()};
}

// mkvmerge reads the file without a warning and muxes it as one track of the codec.
void expectMkvmergeTakes(const std::string& path, const std::string& codecId, const TempDir& dir) {
    const nlohmann::json info = mkvmergeIdentify(path);
    ASSERT_TRUE(info.contains("tracks")) << info.dump();
    EXPECT_EQ(info["tracks"].size(), 1u);
    EXPECT_TRUE(info["warnings"].empty()) << info["warnings"].dump();
    const std::string mkv = dir.file("out.mkv");
    ASSERT_TRUE(mkvmergeMuxesCleanly(path, mkv));
    const nlohmann::json muxed = mkvmergeIdentify(mkv);
    ASSERT_EQ(muxed["tracks"].size(), 1u);
    EXPECT_EQ(muxed["tracks"][0]["properties"]["codec_id"], codecId);
}

// ---- HD DVD to PGS ----

struct HdCase {
    const char* name;
    int width, height;
    std::function<std::vector<TimedUnit>()> units;
    // Where to compare the drawings: not during a unit without a stop, which ffmpeg draws for
    // no time (its events and their times are compared all the same).
    std::vector<double> times;
    bool forced;  // compare the forced-only drawing too
};

std::vector<TimedUnit> largeUnits() {
    std::vector<TimedUnit> units;
    for (uint32_t i = 0; i < 3; ++i) {
        HdPicture p = hdPicture(100 + 500 * static_cast<int>(i), 700, 320, 240, i + 1, true);
        p.stopTicks = 3 * kSecond / 2;
        units.push_back({sample::hdSubpictureUnit(p), kSecond + 2 * kSecond * i});
    }
    return units;
}

std::vector<TimedUnit> forcedUnits() {
    std::vector<TimedUnit> units;
    const bool forced[] = {true, false, true};
    for (uint32_t i = 0; i < 3; ++i) {
        HdPicture p = hdPicture(200, 500 + 40 * static_cast<int>(i), 400, 90, i + 11, false);
        p.forced = forced[i];
        if (i != 1) p.stopTicks = kSecond;  // the second one lasts until the third
        units.push_back({sample::hdSubpictureUnit(p), kSecond + 2 * kSecond * i});
    }
    return units;
}

TEST(SubtitlePeers, HdDvdUnitsBecomePgsThatFfmpegShowsAsTheSource) {
    if (!havePeerTools() || !haveMatroskaPeers()) GTEST_SKIP() << "ffmpeg or mkvmerge missing";
    const std::vector<HdCase> cases = {
        {"units over 64 KiB", 1920, 1080, largeUnits, {1.5, 2.8, 3.5, 5.5, 6.8}, false},
        {"forced and unforced", 1280, 720, forcedUnits, {1.5, 2.5, 5.5, 6.5}, true},
    };
    for (const HdCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TempDir dir;
        const std::vector<TimedUnit> units = c.units();
        if (std::string(c.name) == "units over 64 KiB") {
            for (const TimedUnit& unit : units)
                ASSERT_GT(unit.bytes.size(), 65536u);
        }
        const SubpictureSource source = subpictureSource(units);
        const std::string evo = dir.file("source.evo"), sup = dir.file("out.sup");
        writeFileBytes(evo, source.stream);
        const int64_t end = static_cast<int64_t>(units.back().pts + 2 * kSecond);
        const Converted out = toPgs(source, c.width, c.height, end);
        writeFileBytes(sup, out.sup);
        ASSERT_EQ(out.counts.events, units.size());
        EXPECT_EQ(readPgs(out.sup).sets.size(), out.counts.displaySets);

        expectSameEvents(sourceEvents(probeSubtitleFrames(evo)),
                         pgsEvents(probeSubtitleFrames(sup)), end / 90.0);
        const int tolerance = c.height > 576 ? 2 : 1;
        expectSamePixels(renderSubtitles(evo, c.width, c.height, c.times),
                         renderSubtitles(sup, c.width, c.height, c.times), c.times, tolerance);
        if (c.forced) {
            const std::string only = "-forced_subs_only 1";
            expectSamePixels(renderSubtitles(evo, c.width, c.height, c.times, only),
                             renderSubtitles(sup, c.width, c.height, c.times, only), c.times,
                             tolerance);
        }
        expectMkvmergeTakes(sup, "S_HDMV/PGS", dir);
    }
}

// A fade: one unit whose later sequences lower the transparency. Each step must look as a
// unit of that step's colours alone looks to ffmpeg.
TEST(SubtitlePeers, FadesBecomePaletteUpdatesShownAsEachStep) {
    if (!havePeerTools()) GTEST_SKIP() << "ffmpeg missing";
    const int width = 1280, height = 720;
    HdPicture fade = hdPicture(200, 500, 400, 90, 21, false);
    std::vector<std::array<uint8_t, 256>> steps(3, fade.transparency);
    for (size_t step = 0; step < steps.size(); ++step)
        for (size_t i = 0; i < 256; ++i)
            steps[step][i] = i % 5 == 0 ? 255 : static_cast<uint8_t>(180 - 90 * step);
    fade.transparency = steps[0];
    fade.fades = {{kSecond / 2, steps[1]}, {kSecond, steps[2]}};
    fade.stopTicks = 2 * kSecond;
    std::vector<TimedUnit> alone;
    for (size_t step = 0; step < steps.size(); ++step) {
        HdPicture p = fade;
        p.fades.clear();
        p.transparency = steps[step];
        p.stopTicks = step == 2 ? kSecond + 1 : kSecond / 2;
        alone.push_back({sample::hdSubpictureUnit(p), kSecond + step * kSecond / 2});
    }
    const TempDir dir;
    const std::string evo = dir.file("fade.evo"), sup = dir.file("fade.sup");
    const std::string reference = dir.file("steps.evo");
    const SubpictureSource source = subpictureSource({{sample::hdSubpictureUnit(fade), kSecond}});
    const Converted out = toPgs(source, width, height, 4 * kSecond);
    writeFileBytes(evo, source.stream);
    writeFileBytes(sup, out.sup);
    writeFileBytes(reference, subpictureSource(alone).stream);
    EXPECT_EQ(out.counts.paletteUpdates, 2u);
    EXPECT_EQ(readPgs(out.sup).sets.size(), out.counts.displaySets);
    expectSameEvents(sourceEvents(probeSubtitleFrames(evo)), pgsEvents(probeSubtitleFrames(sup)),
                     std::nullopt);
    const std::vector<double> times = {1.2, 1.7, 2.5, 3.5};
    expectSamePixels(renderSubtitles(reference, width, height, times),
                     renderSubtitles(sup, width, height, times), times, 2);
}

// ---- DVD to VobSub ----

TEST(SubtitlePeers, DvdUnitsBecomeVobSubThatFfmpegShowsAsTheSource) {
    if (!havePeerTools() || !haveMatroskaPeers()) GTEST_SKIP() << "ffmpeg or mkvmerge missing";
    const int width = 720, height = 480;
    std::vector<TimedUnit> units;
    const bool forced[] = {true, false, true};
    for (uint32_t i = 0; i < 3; ++i) {
        std::optional<uint64_t> stop;
        if (i != 1) stop = kSecond;
        units.push_back({sample::dvdSubpictureUnit(dvdPicture(100 + 50 * static_cast<int>(i), 300,
                                                              i + 3, forced[i], stop)),
                         kSecond + 2 * kSecond * i});
    }
    const SubpictureSource source = subpictureSource(units);
    for (bool withIfo : {true, false}) {
        SCOPED_TRACE(withIfo ? "IFO palette" : "default palette");
        const TempDir dir;
        const std::string vob = dir.file("VTS_01_1.VOB"), ifo = dir.file("VTS_01_0.IFO");
        writeFileBytes(vob, source.stream);
        const Bytes ifoBytes = ifoWithPalette(testPalette());
        writeFileBytes(ifo, ifoBytes);
        const DvdPaletteChoice choice =
            withIfo ? chooseDvdPalette(std::span<const uint8_t>(ifoBytes)) : chooseDvdPalette({});
        EXPECT_EQ(choice.fromIfo, withIfo);
        const std::string sourceOptions =
            withIfo ? "-ifo_palette " + quoted(ifo) : paletteOption(defaultDvdPalette());

        MemorySink sub, idx;
        VobSubConversion conversion(sub, idx, {width, height, choice.palette, "de", 0});
        for (const PayloadPiece& piece : source.pieces)
            conversion.feed(piece.bytes, piece.firstOfPacket, piece.pts);
        conversion.finish();
        EXPECT_EQ(conversion.written().units, units.size());
        writeFileBytes(dir.file("out.sub"), sub.bytes());
        writeFileBytes(dir.file("out.idx"), idx.bytes());

        const std::string idxPath = dir.file("out.idx");
        expectSameEvents(sourceEvents(probeSubtitleFrames(vob, sourceOptions)),
                         sourceEvents(probeSubtitleFrames(idxPath)), std::nullopt);
        const std::vector<double> times = {1.5, 2.5, 5.5, 6.5};
        expectSamePixels(renderSubtitles(vob, width, height, times, sourceOptions),
                         renderSubtitles(idxPath, width, height, times), times);
        expectSamePixels(
            renderSubtitles(vob, width, height, times, sourceOptions + " -forced_subs_only 1"),
            renderSubtitles(idxPath, width, height, times, "-forced_subs_only 1"), times);
        expectMkvmergeTakes(idxPath, "S_VOBSUB", dir);

        // The same units parsed and drawn as PGS (a standard-definition canvas: BT.601 both).
        const std::string sup = dir.file("out.sup");
        const int64_t end = static_cast<int64_t>(units.back().pts + 2 * kSecond);
        writeFileBytes(sup, toPgs(source, width, height, end, choice.palette).sup);
        expectSameEvents(sourceEvents(probeSubtitleFrames(vob, sourceOptions)),
                         pgsEvents(probeSubtitleFrames(sup)), end / 90.0);
        expectSamePixels(renderSubtitles(vob, width, height, times, sourceOptions),
                         renderSubtitles(sup, width, height, times), times);
    }
}

}  // namespace
}  // namespace morvale
