// SPDX-License-Identifier: MIT
// The bundled sample disc as the program and its peers read it: the generator's files, a
// scan and a demux by the engine, the playlist reader, ffprobe and ffmpeg's decoders.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "support/plain_form.h"
#include "controls/command_buttons.h"
#include "commands/read_xpl.h"
#include "commands/selection.h"
#include "controls/source_fields.h"
#include "controls/stream_boxes.h"
#include "engine/demux_run.h"
#include "generated_disc.h"
#include "sample_disc/dolby_audio.h"
#include "sample_disc/sample_disc.h"
#include "sample_disc/sample_subtitles.h"
#include "sample_disc/vc1_stream.h"
#include "support/peer_tools.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// What the packs of one part carry, read field by field as a check independent of the
// engine: every pack holds its first packet right after a plain 14-byte pack header.
struct PackWalk {
    std::map<int, std::vector<uint64_t>> pts;  // by stream key: 0x55, sub-stream id, 0xBF
    std::vector<uint64_t> scr;
    int packs = 0;
    bool plainHeaders = true;

    explicit PackWalk(const Bytes& file) {
        for (size_t at = 0; at + kPackSize <= file.size(); at += kPackSize) {
            const uint8_t* p = file.data() + at;
            ++packs;
            plainHeaders = plainHeaders && p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == 0xBA &&
                           (p[13] & 0x07) == 0 && p[14] == 0 && p[15] == 0 && p[16] == 1;
            scr.push_back((uint64_t{p[4] & 0x38u} << 27) | (uint64_t{p[4] & 0x03u} << 28) |
                          (uint64_t{p[5]} << 20) | (uint64_t{p[6] & 0xF8u} << 12) |
                          (uint64_t{p[6] & 0x03u} << 13) | (uint64_t{p[7]} << 5) | (p[8] >> 3));
            const uint8_t id = p[17];
            if (id == 0xBB) {
                pts[0xBF].push_back(0);  // a navigation pack
                continue;
            }
            const uint8_t headerLength = p[22];
            const int key = id == 0xFD   ? p[22 + headerLength]
                            : id == 0xBD ? p[23 + headerLength]
                                         : id;
            if (p[21] & 0x80) {
                const uint8_t* t = p + 23;
                pts[key].push_back((uint64_t{t[0] & 0x0Eu} << 29) | (uint64_t{t[1]} << 22) |
                                   (uint64_t{t[2] & 0xFEu} << 14) | (uint64_t{t[3]} << 7) |
                                   (t[4] >> 1));
            } else {
                pts[key];
            }
        }
    }
};

const Bytes kPadding = {0x00, 0x00, 0x01, 0xBE};

// One disc written for the tests that only read it.
class SampleDiscTest : public DiscSuite {};

TEST_F(SampleDiscTest, WritesTwoPartsAndThePlaylistInWholePacks) {
    const Disc& disc = this->disc();
    EXPECT_THAT(disc.report, ::testing::HasSubstr("HVDVD_TS/FEATURE_1.EVO"));
    uint64_t total = 0;
    for (int n = 1; n <= 2; ++n) {
        const Bytes evo = readFileBytes(disc.part(n));
        total += evo.size();
        // Large enough for the "It contains" line, in whole packs, each with its packet at
        // offset 14 (what the rebuild relies on), and led by a navigation pack: pack header,
        // system header (1 video, 3 audio), PCI and DSI.
        EXPECT_GE(evo.size(), 262144u);
        EXPECT_EQ(evo.size() % kPackSize, 0u);
        const PackWalk walk(evo);
        EXPECT_TRUE(walk.plainHeaders);
        EXPECT_EQ(Bytes(evo.begin() + 14, evo.begin() + 18), (Bytes{0, 0, 1, 0xBB}));
        EXPECT_EQ(evo[23] >> 2, 3);
        EXPECT_EQ(evo[24] & 0x1F, 1);
        EXPECT_EQ(Bytes(evo.begin() + 38, evo.begin() + 45),
                  (Bytes{0, 0, 1, 0xBF, 0x03, 0xD4, 0x00}));
        EXPECT_EQ(Bytes(evo.begin() + 1024, evo.begin() + 1031),
                  (Bytes{0, 0, 1, 0xBF, 0x03, 0xFA, 0x01}));
        // One navigation pack per GOP of twelve frames, and padding packets in the packs
        // that the end of a frame leaves partly empty.
        EXPECT_EQ(walk.pts.at(0xBF).size(), n == 1 ? 12u : 8u);
        EXPECT_NE(std::search(evo.begin(), evo.end(), kPadding.begin(), kPadding.end()), evo.end());
    }
    EXPECT_GT(total, 2u << 20);
    EXPECT_LT(total, 8u << 20);
    const std::string xpl = Disc::readText(disc.playlist());
    EXPECT_THAT(xpl, ::testing::HasSubstr("src=\"file:///dvddisc/HVDVD_TS/FEATURE_1.MAP\""));
}

std::string hex8(uint64_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
    return text;
}

// The scan of the first part with every option ticked, as Read EVO runs it: the system
// header line, each stream with its slot, the VC-1 and Dolby Digital Plus reports.
TEST_F(SampleDiscTest, ScanAnnouncesEveryStreamAndReportsItsHeaders) {
    DemuxRun scan;
    scan.host.countFramesOption = true;
    scan.host.detailsOption = true;
    scan.state.minFirstPts = 0xFFFFFFFF;
    scan.runFile(disc().part(1), EngineMode::Scan);
    const Lines ddPlus = {"   bitrate = 384000, sampling rate = 48000",
                          "   mode = 3/2, bsid = 16, lfe on =1"};
    EXPECT_THAT(
        scan.host.lines,
        ElementsAre("It contains 1 video stream and 3 audio streams.", "VC-1 video stream 0 found!",
                    "   First PTS = 00015F90", "   Sequence Header found",
                    "   0 frames before first I-frame", "   Advanced Profile", "   Level = 3",
                    "   Chroma Format = 4:2:0", "   Size = 1920x1080", "   Pulldown = 0",
                    "   Interlace = 0", "   Display Horizontal size = 1920",
                    "   Display Vertical size = 1080", "   Aspect ratio = 1:1 (square samples)",
                    "   Frame Rate = 23.976023976024 (24000/1001)",
                    "Dolby Digital Plus audio stream 0 found!", "   First PTS = 00015F90",
                    "   Stream 0 is Dolby Digital Plus",
                    "   frame size = 1536, number of blocks per frame = 6", ddPlus[0], ddPlus[1],
                    "Dolby Digital Plus audio stream 1 found!", "   First PTS = 00015F90",
                    "   Stream 1 is Dolby Digital Plus",
                    "   frame size = 1536, number of blocks per frame = 6", ddPlus[0], ddPlus[1],
                    "Dolby Digital audio stream 2 found!", "   First PTS = 00015F90",
                    "Subpicture stream 0 found!", "   First PTS = 00020F58",
                    "Subpicture stream 1 found!", "   First PTS = 00020F58"));
    EXPECT_EQ(scan.state.frameCounts[0], 144);
    EXPECT_EQ(scan.state.minFirstPts, sample::kFirstPts);

    // The second part: the same streams, its own first timestamps.
    scan.host.lines.clear();
    scan.runFile(disc().part(2), EngineMode::Scan);
    const Lines& lines = scan.host.lines;
    EXPECT_EQ(scan.state.frameCounts[0], 144 + 96);
    for (const char* found :
         {"VC-1 video stream 0 found!", "Dolby Digital Plus audio stream 0 found!",
          "Dolby Digital Plus audio stream 1 found!", "Dolby Digital audio stream 2 found!",
          "Subpicture stream 0 found!", "Subpicture stream 1 found!"}) {
        EXPECT_EQ(std::count(lines.begin(), lines.end(), found), 1) << found;
    }
    const auto firstPtsAfter = [&lines](const std::string& announcement) {
        const auto at = std::find(lines.begin(), lines.end(), announcement);
        return at != lines.end() && at + 1 != lines.end() ? *(at + 1) : std::string();
    };
    EXPECT_EQ(firstPtsAfter("VC-1 video stream 0 found!"),
              "   First PTS = " + hex8(sample::kFirstPts + sample::frameTime(144)));
    EXPECT_EQ(firstPtsAfter("Dolby Digital audio stream 2 found!"),
              "   First PTS = " + hex8(sample::kFirstPts + 188 * sample::kSyncframeTicks +
                                       sample::kSecondPartAudioDelay));
    EXPECT_EQ(firstPtsAfter("Subpicture stream 1 found!"),
              "   First PTS = " + hex8(sample::kFirstPts + (13 * sample::kClock) / 2));
}

// A demux of both parts, as Demux writes them: the VC-1 stream exactly as synthesised, the
// audio in whole syncframes that run on from part to part, subpicture records on the
// scan's time base.
TEST_F(SampleDiscTest, DemuxOfBothPartsGivesTheElementaryStreams) {
    Bytes video, audio[3], subpictures;
    for (int part = 1; part <= 2; ++part) {
        DemuxRun demux(sample::kFirstPts);
        demux.host.tickAll();
        demux.runFile(disc().part(part));
        const Bytes v = demux.video(0), s = demux.subpicture(1);
        video.insert(video.end(), v.begin(), v.end());
        for (int slot = 0; slot < 3; ++slot) {
            const Bytes a = demux.audio(slot);
            audio[slot].insert(audio[slot].end(), a.begin(), a.end());
        }
        subpictures.insert(subpictures.end(), s.begin(), s.end());
    }

    Bytes synthesised;
    for (const sample::Vc1Frame& frame : sample::vc1Frames(20, sample::kFirstPts))
        synthesised.insert(synthesised.end(), frame.unit.bytes.begin(), frame.unit.bytes.end());
    EXPECT_TRUE(video == synthesised) << video.size() << " bytes against " << synthesised.size();

    const size_t frameBytes[3] = {1536, 1536, 768};
    for (int slot = 0; slot < 3; ++slot) {
        const std::vector<Bytes> frames = sample::splitSyncframes(audio[slot]);
        EXPECT_EQ(frames.size(), 313u) << "slot " << slot;
        EXPECT_EQ(audio[slot].size(), 313 * frameBytes[slot]) << "slot " << slot;
    }

    // Five units of 0x21 at 0.5, 2.5 ... 8.5 s: one record each, times relative to the
    // first timestamp of the scan.
    const Bytes unit = sample::deutschSubpictureUnit(3 * sample::kClock / 2);
    Bytes records;
    for (uint32_t k = 0; k < 5; ++k) {
        const uint32_t time = sample::kClock / 2 + k * 2 * sample::kClock;
        records.insert(records.end(),
                       {'S', 'P', static_cast<uint8_t>(time), static_cast<uint8_t>(time >> 8),
                        static_cast<uint8_t>(time >> 16), 0, 0, 0, 0, 0});
        records.insert(records.end(), unit.begin(), unit.end());
    }
    EXPECT_EQ(subpictures, records);
}

// The second part goes on where the first stops: the next video frame, the next audio
// syncframe one video frame late, later subpictures, a system clock that keeps rising.
TEST_F(SampleDiscTest, SecondPartContinuesTheFirstInTime) {
    const PackWalk first(readFileBytes(disc().part(1)));
    const PackWalk second(readFileBytes(disc().part(2)));
    const auto& video1 = first.pts.at(0x55);
    const auto& video2 = second.pts.at(0x55);
    EXPECT_EQ(*std::max_element(video1.begin(), video1.end()),
              sample::kFirstPts + sample::frameTime(143));
    EXPECT_EQ(*std::min_element(video2.begin(), video2.end()),
              sample::kFirstPts + sample::frameTime(144));

    DemuxRun demux;
    demux.host.audioTicks[0] = true;
    demux.runFile(disc().part(1));
    const uint64_t firstPartFrames = sample::splitSyncframes(demux.audio(0)).size();
    EXPECT_GT(firstPartFrames, 0u);
    for (int id : {0xC0, 0xC1, 0x82}) {
        const auto& audio1 = first.pts.at(id);
        const auto& audio2 = second.pts.at(id);
        EXPECT_TRUE(std::is_sorted(audio1.begin(), audio1.end()));
        EXPECT_TRUE(std::is_sorted(audio2.begin(), audio2.end()));
        EXPECT_EQ(audio1.front(), sample::kFirstPts);
        EXPECT_EQ(audio2.front(), sample::kFirstPts + firstPartFrames * sample::kSyncframeTicks +
                                      sample::kSecondPartAudioDelay)
            << "sub-stream " << id;
    }
    for (int id : {0x20, 0x21}) {
        EXPECT_EQ(first.pts.at(id).size(), 3u);
        EXPECT_EQ(second.pts.at(id).size(), 2u);
        EXPECT_LT(first.pts.at(id).back(), second.pts.at(id).front());
    }
    EXPECT_TRUE(std::is_sorted(first.scr.begin(), first.scr.end()));
    EXPECT_TRUE(std::is_sorted(second.scr.begin(), second.scr.end()));
    EXPECT_LT(first.scr.back(), second.scr.front());
    EXPECT_LE(first.scr.front(), sample::kFirstPts);
}

// Read XPL on the first part: the title that plays it, with every track and chapter, and
// the stream boxes named as the playlist names them.
TEST_F(SampleDiscTest, PlaylistShowsTheTitleOfTheFeature) {
    Session session;
    PlainForm form;
    ASSERT_EQ(dropFile(form, session, disc().part(1)), DropKind::Source);
    ASSERT_EQ(form.text(Edit::XplFile), disc().playlist());
    bReadXPLClick(session, form);
    EXPECT_TRUE(form.errors().empty());
    EXPECT_THAT(xplTreeLines(form.xplTree()),
                ElementsAre("Info", "  Title: Morvale Sample Disc", "  Name: Sample Feature",
                            "  Duration: 00:00:10:00", "Video", "  VC-1.stream.0", "Audio",
                            "  DD+.6ch.stream.00.English", "  DD+.6ch.stream.01.Deutsch",
                            "  DD.2ch.stream.02.Commentary", "Subtitle",
                            "  2bitRLC.stream.00.English", "  2bitRLC.stream.01.Deutsch", "Chapter",
                            "  00:00:00:00: Opening", "  00:00:03:00: Tones",
                            "  00:00:06:00: Second part", "  00:00:08:00: Closing"));
    Lines ticked;
    for (int n = 0; n < kStreamBoxCount; ++n) {
        if (form.boxTicked(boxAt(n))) ticked.push_back(form.boxCaption(boxAt(n)));
    }
    EXPECT_THAT(ticked, ElementsAre("VC-1.stream.0", "DD+.6ch.stream.00.English",
                                    "DD+.6ch.stream.01.Deutsch", "DD.2ch.stream.02.Commentary",
                                    "2bitRLC.stream.00.English", "2bitRLC.stream.01.Deutsch"));
    // The outline is cut down to the title, from its opening to its closing tag.
    ASSERT_FALSE(form.xplOutline().empty());
    EXPECT_THAT(form.xplOutline().front(), ::testing::StartsWith("    <Title id=\"Feature\""));
    EXPECT_EQ(form.xplOutline().back(), "    </Title>");
}

// An independent reader of the program stream lists the same streams in both parts, and
// exactly those that a scan of each part announces.
TEST_F(SampleDiscTest, FfprobeListsTheStreamsTheScanAnnounces) {
    if (!havePeerTools()) GTEST_SKIP() << "ffprobe is not installed";
    for (int part = 1; part <= 2; ++part) {
        EXPECT_THAT(shellLines("ffprobe -v error -show_entries "
                               "stream=id,codec_name,width,height,channels -of csv=p=0 " +
                               disc().part(part)),
                    ElementsAre("dvd_nav_packet,0x1bf", "vc1,1920,1080,0xfd55", "eac3,6,0xc0",
                                "eac3,6,0xc1", "ac3,2,0x82", "dvd_subtitle,N/A,N/A,0x20",
                                "dvd_subtitle,N/A,N/A,0x21"))
            << "part " << part;
        DemuxRun scan;
        scan.runFile(disc().part(part), EngineMode::Scan);
        EXPECT_EQ(foundLines(scan.host.lines), announcementsOf(disc().part(part)))
            << "part " << part;
    }
    // The subpictures decode: three units in the first part, each shown for 1.5 s.
    EXPECT_THAT(shellLines("ffprobe -v error -select_streams s:1 -show_entries "
                           "subtitle=start_display_time,end_display_time,num_rects -of csv=p=0 " +
                           disc().part(1)),
                ElementsAre("0,1501,1", "0,1501,1", "0,1501,1"));
}

// Without ffmpeg (asked for, or not on PATH) the audio is synthesised: silent frames that
// ffmpeg's decoders take without a CRC or syntax error, and that the reports read alike.
TEST(SampleDiscAudio, SynthesisedFramesAreValidWithOrWithoutFfmpegOnPath) {
    Disc asked("--synthesise-audio");
    Disc noFfmpeg("", "PATH=/nonexistent");
    ASSERT_EQ(asked.status, 0) << asked.report;
    ASSERT_EQ(noFfmpeg.status, 0) << noFfmpeg.report;
    EXPECT_THAT(asked.report, ::testing::HasSubstr("synthesised"));
    EXPECT_THAT(noFfmpeg.report, ::testing::HasSubstr("synthesised"));
    for (int part = 1; part <= 2; ++part)
        EXPECT_TRUE(readFileBytes(asked.part(part)) == readFileBytes(noFfmpeg.part(part)));

    DemuxRun scan;
    scan.host.detailsOption = true;
    scan.runFile(asked.part(1), EngineMode::Scan);
    EXPECT_THAT(scan.host.lines,
                ::testing::IsSupersetOf({"   Stream 1 is Dolby Digital Plus",
                                         "   bitrate = 384000, sampling rate = 48000",
                                         "   mode = 3/2, bsid = 16, lfe on =1"}));

    if (!havePeerTools()) GTEST_SKIP() << "ffmpeg is not installed";
    for (int part = 1; part <= 2; ++part) {
        EXPECT_EQ(shellOutput("ffmpeg -nostdin -v error -err_detect crccheck+explode -i " +
                              asked.part(part) + " -map 0:a -f null - 2>&1"),
                  "")
            << "part " << part;
    }
    // The decoder does check: a flipped bit in a syncframe is a CRC mismatch.
    DemuxRun demux;
    demux.host.audioTicks[2] = true;
    demux.runFile(asked.part(1));
    Bytes ac3 = demux.audio(2);
    ASSERT_EQ(ac3.size() % 768, 0u);
    writeFileBytes(demux.dir.file("good.ac3"), ac3);
    ac3[768 + 100] ^= 0x01;
    writeFileBytes(demux.dir.file("bad.ac3"), ac3);
    const std::string decode = "ffmpeg -nostdin -v error -err_detect crccheck+explode -f ac3 -i ";
    EXPECT_EQ(shellOutput(decode + demux.dir.file("good.ac3") + " -f null - 2>&1"), "");
    EXPECT_THAT(shellOutput(decode + demux.dir.file("bad.ac3") + " -f null - 2>&1"),
                ::testing::HasSubstr("CRC"));
}

// Same bytes on every run; a folder that cannot be made and a missing argument are errors.
TEST(SampleDiscProgram, IsDeterministicAndReportsItsErrors) {
    Disc one, two;
    ASSERT_EQ(one.status, 0) << one.report;
    ASSERT_EQ(two.status, 0) << two.report;
    for (int part = 1; part <= 2; ++part)
        EXPECT_TRUE(readFileBytes(one.part(part)) == readFileBytes(two.part(part)));
    EXPECT_EQ(readFileBytes(one.playlist()), readFileBytes(two.playlist()));

    TempDir dir;
    writeFileBytes(dir.file("file"), {1});
    EXPECT_EQ(runStatus(MORVALE_SAMPLE_DISC_PATH " " + dir.file("file") + "/disc >" +
                        dir.file("out") + " 2>&1"),
              1);
    EXPECT_THAT(Disc::readText(dir.file("out")),
                ::testing::StartsWith("morvale-sample-disc: cannot create"));
    EXPECT_EQ(runStatus(MORVALE_SAMPLE_DISC_PATH " >/dev/null 2>&1"), 2);
    EXPECT_EQ(runStatus(MORVALE_SAMPLE_DISC_PATH " --bogus x >/dev/null 2>&1"), 2);
}

}  // namespace
}  // namespace morvale::testing
