// SPDX-License-Identifier: MIT
// DVD VOBs and MPEG-1 system streams made by ffmpeg's encoders and muxers, read by
// morvale-cli and checked against ffprobe, mediainfo and mkvmerge: picture counts and running
// times, every stream accounted for in the log, rebuilt files that every peer reads with
// exactly the kept streams, and MPEG-1 streams read with their own header syntax.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <functional>
#include <map>
#include <ostream>

#include "cli_process.h"
#include "support/made_sources.h"
#include "support/peer_tools.h"
#include "support/program_stream_builder.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

using ::testing::Contains;
using ::testing::IsSubsetOf;
using ::testing::Not;

constexpr const char* kNoStream = "No video, audio or subpicture stream found.";

class RealSourcesTest : public ::testing::Test {
  protected:
    TempDir dir;

    void SetUp() override {
        if (!havePeerTools()) GTEST_SKIP() << "ffmpeg is not installed";
    }

    std::string make(const MadeSource& source, const std::string& name) {
        const std::string path = dir.file(name);
        EXPECT_TRUE(makeSource(source, path)) << madeSourceCommand(source, path);
        return path;
    }

    std::string out() const {
        const std::string folder = dir.file("out");
        ::mkdir(folder.c_str(), 0755);
        return folder;
    }
};

// The frame-count lines of a log.
Lines frameCountLines(const Lines& log) {
    Lines lines;
    for (const std::string& line : log) {
        if (line.find(" frames (") != std::string::npos) lines.push_back(line);
    }
    return lines;
}

// "599 frames (0:00:19 s) count in video stream 0.": the count and the time in seconds.
std::pair<int, int> countAndSeconds(const std::string& line) {
    int count = -1, hours = 0, minutes = 0, seconds = 0;
    std::sscanf(line.c_str(), "%d frames (%d:%d:%d s)", &count, &hours, &minutes, &seconds);
    return {count, hours * 3600 + minutes * 60 + seconds};
}

// ---- Picture counts and running times ----

struct TimingCase {
    const char* name;
    MadeSource source;
    // Split into FEATURE_1.EVO and FEATURE_2.EVO at the video object unit nearest the middle.
    bool twoParts;
    friend void PrintTo(const TimingCase& c, std::ostream* os) { *os << c.name; }
};

const TimingCase kTimingCases[] = {
    {"mpeg2_25fps", {.audio = {"ac3"}, .seconds = 6}, false},
    // Packet boundaries fall inside picture start codes here.
    {"mpeg2_2997fps_vob",
     {.rate = "30000/1001", .audio = {"ac3"}, .muxer = "vob", .seconds = 6},
     false},
    {"mpeg2_2997fps_dvd",
     {.video = "mpeg2video -g 15 -bf 2",
      .rate = "30000/1001",
      .size = "352x240",
      .audio = {"ac3"},
      .seconds = 10},
     false},
    {"h264_2997fps",
     {.video = "libx264 -g 25 -bf 2 -x264-params aud=1",
      .rate = "30000/1001",
      .audio = {"ac3"},
      .seconds = 6},
     false},
    // Each part's running time ends with the last picture whose packet carries a PTS, so the
    // sum may fall a few pictures short: half a second clear of a whole one.
    {"mpeg2_2997fps_two_parts",
     {.video = "mpeg2video -g 15 -bf 2", .rate = "30000/1001", .audio = {"ac3"}, .seconds = 10.5},
     true},
};

class FrameCountsAndRunningTimes : public RealSourcesTest,
                                   public ::testing::WithParamInterface<TimingCase> {};

// Read EVO and Demux count exactly the pictures ffprobe decodes, and show the running time of
// the video's own timestamps, the same in both, within a second of ffprobe's duration.
TEST_P(FrameCountsAndRunningTimes, MatchFfprobe) {
    const TimingCase& c = GetParam();
    const std::string whole = make(c.source, "whole.vob");
    std::string source = whole;
    if (c.twoParts) {
        source = dir.file("FEATURE_1.EVO");
        const long half = unitStartFrom(whole, packCount(whole) / 2);
        ASSERT_GT(half, 0);
        copyPacks(whole, source, 0, half);
        copyPacks(whole, dir.file("FEATURE_2.EVO"), half);
    }
    const int frames = probedFrameCount(whole);
    const double duration = probedVideoDuration(whole);
    ASSERT_GT(frames, 100);
    ASSERT_GT(duration, 3.0);

    const CliResult result = runCliProcess({"demux", "--no-fast-check", "-o", out(), source});
    ASSERT_EQ(result.status, 0) << result.err;
    const Lines lines = frameCountLines(result.out);
    ASSERT_EQ(lines.size(), 2u);  // Read EVO's, then Demux's
    EXPECT_EQ(lines[0], lines[1]);
    const auto [count, seconds] = countAndSeconds(lines[0]);
    EXPECT_EQ(count, frames);
    EXPECT_LT(std::fabs(seconds - duration), 1.0) << lines[0] << " against " << duration;
}

INSTANTIATE_TEST_SUITE_P(Made, FrameCountsAndRunningTimes, ::testing::ValuesIn(kTimingCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Every stream announced or named as left out ----

std::string upperHex(uint32_t id) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", id);
    return text;
}

// Whether the log names the stream as left out: MPEG audio by its PES stream id, a stream
// that shares a slot by its sub-stream id, stream_id_extension or PES stream id.
bool namedLeftOut(const Lines& log, const ProbedStream& stream) {
    const uint32_t id = stream.id >= 0x100 ? stream.id & 0xFF : stream.id;
    if (stream.id >= 0x1C0 && stream.id <= 0x1DF) {
        return std::find(log.begin(), log.end(),
                         "   MPEG audio stream " + upperHex(id) + ": left out.") != log.end();
    }
    const std::string start = "   Stream " + upperHex(id) + " shares ";
    const std::string end = ": left out.";
    return std::any_of(log.begin(), log.end(), [&](const std::string& line) {
        return line.rfind(start, 0) == 0 && line.size() > end.size() &&
               line.compare(line.size() - end.size(), end.size(), end) == 0;
    });
}

struct LossCase {
    const char* name;
    // Writes the source into the folder and returns its path.
    std::function<std::string(const TempDir&)> make;
    friend void PrintTo(const LossCase& c, std::ostream* os) { *os << c.name; }
};

std::string madeIn(const TempDir& dir, const MadeSource& source, const std::string& name) {
    const std::string path = dir.file(name);
    EXPECT_TRUE(makeSource(source, path)) << madeSourceCommand(source, path);
    return path;
}

const LossCase kLossCases[] = {
    // ffmpeg numbers sub-streams per codec: AC-3 0x80, LPCM 0xA0 and DTS 0x88 share slot 0.
    {"ac3_lpcm_dts_mp2",
     [](const TempDir& d) {
         return madeIn(d, {.audio = {"ac3", "pcm_dvd", "dca", "mp2"}}, "shared.vob");
     }},
    {"two_mp2_beside_ac3",
     [](const TempDir& d) {
         return madeIn(d, {.audio = {"mp2", "ac3", "mp2"}, .muxer = "vob"}, "mp2.vob");
     }},
    {"h264_two_ac3",
     [](const TempDir& d) {
         return madeIn(d, {.video = "libx264 -x264-params aud=1", .audio = {"ac3", "ac3"}},
                       "h264.vob");
     }},
    {"empty_file",
     [](const TempDir& d) {
         writeFileBytes(d.file("empty.EVO"), {});
         return d.file("empty.EVO");
     }},
    {"program_renamed",
     [](const TempDir& d) {
         writeFileBytes(d.file("program.EVO"), readFileBytes("/bin/true"));
         return d.file("program.EVO");
     }},
};

class NoSilentLoss : public RealSourcesTest, public ::testing::WithParamInterface<LossCase> {};

// Every stream ffprobe lists is announced or named as left out, and nothing else is
// announced; a scan that finds nothing says so before "Done.".
TEST_P(NoSilentLoss, EveryStreamIsAnnouncedOrNamedAsLeftOut) {
    const std::string source = GetParam().make(dir);
    const CliResult result = runCliProcess({"scan", "--no-details", "--no-fast-check", source});
    ASSERT_EQ(result.status, 0) << result.err;
    const Lines announced = foundLines(result.out);
    EXPECT_THAT(announced, IsSubsetOf(announcementsOf(source)));
    for (const ProbedStream& stream : probeStreams(source)) {
        if (stream.codec == "dvd_nav_packet") continue;
        const auto line = announcementOf(stream);
        SCOPED_TRACE(stream.codec + " " + upperHex(stream.id));
        EXPECT_TRUE(
            (line && std::find(announced.begin(), announced.end(), *line) != announced.end()) ||
            namedLeftOut(result.out, stream));
    }
    const auto done = std::find(result.out.begin(), result.out.end(), "Done.");
    ASSERT_NE(done, result.out.end());
    if (announced.empty()) {
        EXPECT_EQ(*std::prev(done), kNoStream);
    } else {
        EXPECT_THAT(result.out, Not(Contains(kNoStream)));
    }
}

INSTANTIATE_TEST_SUITE_P(Made, NoSilentLoss, ::testing::ValuesIn(kLossCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Rebuilt files ----

// ffmpeg's raw output format for a stream copy, by ffprobe's codec name.
std::string rawFormatOf(const std::string& codec) {
    static const std::map<std::string, std::string> formats = {{"mpeg1video", "mpeg1video"},
                                                               {"mpeg2video", "mpeg2video"},
                                                               {"h264", "h264"},
                                                               {"ac3", "ac3"},
                                                               {"eac3", "eac3"},
                                                               {"dts", "dts"},
                                                               {"mp2", "mp2"}};
    const auto found = formats.find(codec);
    return found == formats.end() ? "data" : found->second;
}

struct RebuildCase {
    const char* name;
    std::function<std::string(const TempDir&)> make;
    std::string streams;  // --streams of morvale-cli rebuild; empty: every stream found
    // Each kept stream: its id in the source and in the rebuilt file (ffprobe's notation).
    std::vector<std::pair<uint32_t, uint32_t>> kept;
    friend void PrintTo(const RebuildCase& c, std::ostream* os) { *os << c.name; }
};

// An HD DVD-style file in which MPEG audio 0xC5 (PES stream id) and Dolby Digital Plus 0xC5
// (private stream 1 sub-stream) are two different streams, from ffmpeg's encoders.
std::string mpegAudioBesideDdPlus(const TempDir& d) {
    const auto encoded = [&](const std::string& input, const std::string& codec,
                             const std::string& name) {
        EXPECT_TRUE(shellSucceeds("ffmpeg -nostdin -v error -y -f lavfi -i " + input + " -t 3 " +
                                  codec + " " + quoted(d.file(name))));
        return readFileBytes(d.file(name));
    };
    const Bytes video =
        encoded("testsrc=size=176x144:rate=25", "-c:v mpeg2video -f mpeg2video", "in.m2v");
    const Bytes eac3 = encoded("sine=sample_rate=48000", "-c:a eac3 -f eac3", "in.eac3");
    const Bytes mp2 = encoded("sine=frequency=700:sample_rate=48000", "-c:a mp2 -f mp2", "in.mp2");
    ProgramStream ps;
    ps.addPack({systemHeader(2, 1)});
    ps.add(packetizeInPacks(0xE0, PesHeader().pts(90000).dts(86400), video));
    ps.add(packetizePrivateStream1(0xC5, PesHeader().pts(90000), eac3));
    ps.add(packetizeInPacks(0xC5, PesHeader().pts(90000), mp2));
    ps.add(Bytes{0x00, 0x00, 0x01, 0xB9});
    ps.writeFile(d.file("shared_id.EVO"));
    return d.file("shared_id.EVO");
}

const RebuildCase kRebuildCases[] = {
    // A system header every 40 packs, with a stream packet behind it in the same pack.
    {"vob_keep_all",
     [](const TempDir& d) {
         return madeIn(d, {.audio = {"ac3", "mp2"}, .muxer = "vob"}, "a.vob");
     },
     "",
     {{0x1E0, 0x1E0}, {0x80, 0x80}, {0x1C0, 0x1C0}}},
    {"dvd_keep_all_shared_slot",
     [](const TempDir& d) {
         return madeIn(d, {.audio = {"ac3", "pcm_dvd", "dca", "mp2"}}, "b.vob");
     },
     "",
     {{0x1E0, 0x1E0}, {0x80, 0x80}, {0xA0, 0xA0}, {0x88, 0x88}, {0x1C0, 0x1C0}}},
    {"dvd_second_ac3_only",
     [](const TempDir& d) {
         return madeIn(d, {.audio = {"ac3", "ac3", "mp2"}}, "c.vob");
     },
     "v0,a01",
     {{0x1E0, 0x1E0}, {0x81, 0x80}, {0x1C0, 0x1C0}}},
    {"mpeg_audio_and_sub_stream_0xC5",
     mpegAudioBesideDdPlus,
     "",
     {{0x1E0, 0x1E0}, {0xC5, 0xC0}, {0x1C5, 0x1C5}}},
};

class RebuiltFiles : public RealSourcesTest, public ::testing::WithParamInterface<RebuildCase> {};

// ffprobe, mediainfo and mkvmerge read the rebuilt file without complaint and find exactly
// the kept streams, each byte for byte the stream of the source.
TEST_P(RebuiltFiles, OpenInEveryPeerWithExactlyTheKeptStreams) {
    if (!shellSucceeds("mediainfo --Version") || !shellSucceeds("mkvmerge --version")) {
        GTEST_SKIP() << "mediainfo or mkvmerge is not installed";
    }
    const RebuildCase& c = GetParam();
    const std::string source = c.make(dir);
    std::vector<std::string> args = {"rebuild", "--no-details", "--no-fast-check", "-o", out()};
    if (!c.streams.empty()) args.insert(args.end(), {"--streams", c.streams});
    args.push_back(source);
    const CliResult result = runCliProcess(args);
    ASSERT_EQ(result.status, 0) << result.err;
    std::string base = source.substr(source.rfind('/') + 1);
    base = base.substr(0, base.size() - 4);
    const std::string rebuilt = out() + "/" + base + ".rebuilt.EVO";

    std::vector<uint32_t> expected;
    for (const auto& [from, to] : c.kept)
        expected.push_back(to);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ffprobeIds(rebuilt), expected);
    EXPECT_EQ(mediainfoIds(rebuilt), expected);
    EXPECT_EQ(mkvmergeIds(rebuilt), expected);
    EXPECT_TRUE(mkvmergeMuxesCleanly(rebuilt, dir.file("rebuilt.mkv")));

    std::map<uint32_t, std::string> codecs;
    for (const ProbedStream& stream : probeStreams(source))
        codecs[stream.id] = stream.codec;
    for (const auto& [from, to] : c.kept) {
        SCOPED_TRACE(codecs[from] + " " + upperHex(from) + " -> " + upperHex(to));
        const std::string format = rawFormatOf(codecs[from]);
        const Bytes original = ffmpegCopy(source, from, format, dir.file("source.stream"));
        ASSERT_GT(original.size(), 1000u);
        EXPECT_EQ(ffmpegCopy(rebuilt, to, format, dir.file("rebuilt.stream")), original);
    }
}

INSTANTIATE_TEST_SUITE_P(Made, RebuiltFiles, ::testing::ValuesIn(kRebuildCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- MPEG-1 system streams ----

struct Mpeg1Case {
    const char* name;
    MadeSource source;
    friend void PrintTo(const Mpeg1Case& c, std::ostream* os) { *os << c.name; }
};

const Mpeg1Case kMpeg1Cases[] = {
    {"mpeg1video_mp2_ac3", {.video = "mpeg1video", .audio = {"mp2", "ac3"}, .muxer = "mpeg"}},
    {"h264_ac3_mp2",
     {.video = "libx264 -x264-params aud=1", .audio = {"ac3", "mp2"}, .muxer = "mpeg"}},
    {"mpeg2video_dts_lpcm", {.audio = {"dca", "pcm_dvd"}, .muxer = "mpeg"}},
};

class Mpeg1Streams : public RealSourcesTest, public ::testing::WithParamInterface<Mpeg1Case> {};

// LPCM packets as ffmpeg copies them begin with three header bytes the program's output
// leaves out; the samples alone.
Bytes lpcmSamplesOf(const std::string& source, uint32_t id, const std::string& path) {
    const Bytes packets = ffmpegCopy(source, id, "data", path);
    Bytes samples;
    size_t at = 0;
    for (const ProbedPacket& packet : probePackets(source, id)) {
        if (at + packet.size > packets.size() || packet.size < 3) return {};
        samples.insert(samples.end(), packets.begin() + static_cast<long>(at + 3),
                       packets.begin() + static_cast<long>(at + packet.size));
        at += packet.size;
    }
    return samples;
}

// Every stream of an ISO/IEC 11172-1 system stream that the program handles is announced and
// demuxed to ffmpeg's own copy of it; nothing else is announced.
TEST_P(Mpeg1Streams, AreReadWithTheirOwnHeaderSyntax) {
    const std::string source = make(GetParam().source, "system.mpg");
    const CliResult result = runCliProcess({"demux", "--no-details", "-o", out(), source});
    ASSERT_EQ(result.status, 0) << result.err;
    const Lines announced = foundLines(result.out);
    EXPECT_THAT(announced, IsSubsetOf(announcementsOf(source)));

    // The outputs by caption: the stream each box holds.
    int written = 0;
    for (const ProbedStream& stream : probeStreams(source)) {
        const auto line = announcementOf(stream);
        SCOPED_TRACE(stream.codec + " " + upperHex(stream.id));
        if (!line) {
            EXPECT_TRUE(namedLeftOut(result.out, stream));
            continue;
        }
        if (std::find(announced.begin(), announced.end(), *line) == announced.end()) {
            EXPECT_TRUE(namedLeftOut(result.out, stream));
            continue;
        }
        const std::map<std::string, std::string> captions = {
            {"mpeg1video", "MPEG-2.stream.0.mpv"}, {"mpeg2video", "MPEG-2.stream.0.mpv"},
            {"h264", "H.264.stream.0.mpv"},        {"ac3", "DD.stream.00.mpa"},
            {"dts", "DTSHD.stream.00.mpa"},        {"pcm_dvd", "LPCM.stream.00.mpa"}};
        const Bytes demuxed = readFileBytes(out() + "/system." + captions.at(stream.codec));
        const Bytes peer =
            stream.codec == "pcm_dvd"
                ? lpcmSamplesOf(source, stream.id, dir.file("peer.lpcm"))
                : ffmpegCopy(source, stream.id, rawFormatOf(stream.codec), dir.file("peer.stream"));
        ASSERT_GT(peer.size(), 1000u);
        EXPECT_EQ(demuxed, peer);
        ++written;
    }
    EXPECT_GE(written, 2);
}

INSTANTIATE_TEST_SUITE_P(Made, Mpeg1Streams, ::testing::ValuesIn(kMpeg1Cases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Runs stopped by Cancel ----

struct StopCase {
    const char* name;
    std::vector<std::string> args;  // the source and the output folder follow
    const char* signalAfter;        // SIGINT after the line that begins so; nullptr: none
    // The line before each "Done." ("" for none): the scan's and then the writing command's.
    std::vector<std::string> beforeDone;
    friend void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }
};

const char* const kStoppedScan = "Stopped by Cancel.";
const char* const kStoppedWriting =
    "Stopped by Cancel: the output files hold what was written so far.";

// 300,154,880 bytes: the first 262,144-byte block that ends beyond 300,000,000.
const char* const kFastCheckStop = "Fast EVO checking: read the first 286 Mbytes only.";

const StopCase kStopCases[] = {
    {"scan", {"scan", "--no-fast-check"}, "File size: ", {kStoppedScan}},
    // The scan before the writing command ends at the fast-check limit, and says so.
    {"demux", {"demux"}, "Creating ", {kFastCheckStop, kStoppedWriting}},
    {"rebuild", {"rebuild"}, "Creating ", {kFastCheckStop, kStoppedWriting}},
    {"fast_check_only", {"scan"}, nullptr, {kFastCheckStop}},
};

class StoppedRuns : public RealSourcesTest, public ::testing::WithParamInterface<StopCase> {};

// A run the user stops says so before "Done.", and so does a scan the fast-check limit cut.
TEST_P(StoppedRuns, SayWhatStoppedThem) {
    const StopCase& c = GetParam();
    // A real VOB at the start of a sparse 16 GiB file: the stop comes long before its end.
    const std::string vob = make({.audio = {"ac3"}}, "made.vob");
    const std::string source = dir.file("FEATURE_1.EVO");
    writeSparseFile(source, 16ull << 30, {{0, readFileBytes(vob)}});
    std::vector<std::string> args = c.args;
    if (args[0] != "scan") args.insert(args.end(), {"-o", out()});
    args.push_back(source);
    const CliResult result =
        c.signalAfter ? runCliAndSignal(args, c.signalAfter, SIGINT) : runCliProcess(args);
    EXPECT_EQ(result.status, c.signalAfter ? 130 : 0) << result.err;
    Lines beforeDone;
    for (size_t k = 1; k < result.out.size(); ++k) {
        if (result.out[k] != "Done.") continue;
        const std::string& line = result.out[k - 1];
        const bool stopLine = line.rfind("Stopped", 0) == 0 || line.rfind("Fast EVO", 0) == 0;
        beforeDone.push_back(stopLine ? line : "");
    }
    EXPECT_EQ(beforeDone, c.beforeDone);
}

INSTANTIATE_TEST_SUITE_P(Made, StoppedRuns, ::testing::ValuesIn(kStopCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace morvale::testing
