// SPDX-License-Identifier: MIT
// morvale-cli end to end: the real program on built files, its stdout lines, its files and
// its exit statuses.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <sstream>

#include "cli/cli_app.h"
#include "cli_process.h"
#include "support/example_playlist.h"
#include "support/feature_disc.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using Lines = std::vector<std::string>;

constexpr uint64_t kMiB = 0x100000;

std::string ptsLine(uint32_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "   First PTS = %08X", value);
    return text;
}

class CliCommandsTest : public ::testing::Test {
  protected:
    TempDir dir;
    FeaturePart first = featurePart({});
    FeaturePart second = featurePart({.secondAudio = true, .basePts = 800000, .seed = 9});

    std::string source() const { return dir.file("FEATURE_1.EVO"); }
    std::string out() const { return dir.file("out"); }

    void writeFeature(bool withSecondPart, uint64_t size = kMiB) {
        writePart(source(), first, size);
        if (withSecondPart) writePart(dir.file("FEATURE_2.EVO"), second, kMiB);
        ::mkdir(out().c_str(), 0755);
    }

    // The scan's log of the two-part feature, up to "Done." and its empty line.
    Lines twoPartScanLines() const {
        return {"Opening file FEATURE_1.EVO",
                "File size: 1 Mbytes.",
                "It contains 1 video stream and 1 audio stream.",
                "VC-1 video stream 0 found!",
                ptsLine(first.firstPts),
                "Dolby Digital Plus audio stream 0 found!",
                ptsLine(first.firstPts + 0x100),
                "Subpicture stream 0 found!",
                ptsLine(first.subpicturePts),
                "Continue on FEATURE_2.EVO",
                "It contains 1 video stream and 2 audio streams.",
                "VC-1 video stream 0 found!",
                ptsLine(second.firstPts),
                "Dolby Digital Plus audio stream 0 found!",
                ptsLine(second.firstPts + 0x100),
                "Dolby Digital Plus audio stream 1 found!",
                ptsLine(second.firstPts + 0x200),
                "Subpicture stream 0 found!",
                ptsLine(second.subpicturePts),
                "Done.",
                ""};
    }
};

TEST_F(CliCommandsTest, ScanPrintsTheMessageLog) {
    writeFeature(true);
    CliResult result = runCliProcess({"scan", "--no-fast-check", source()});
    EXPECT_EQ(result.status, 0);
    Lines expected = twoPartScanLines();
    expected.push_back("24 frames (0:00:01 s) count in video stream 0.");
    expected.push_back("");
    EXPECT_THAT(result.out, ElementsAreArray(expected));
    EXPECT_EQ(result.err, "");  // stderr is no terminal: no status texts

    // The options mirror the window's boxes.
    result = runCliProcess({"scan", "--no-fast-check", "--no-continue", "--no-details",
                            "--no-count-frames", source()});
    EXPECT_EQ(result.status, 0);
    EXPECT_THAT(result.out, ElementsAre("Opening file FEATURE_1.EVO", "File size: 1 Mbytes.",
                                        "It contains 1 video stream and 1 audio stream.",
                                        "VC-1 video stream 0 found!",
                                        "Dolby Digital Plus audio stream 0 found!",
                                        "Subpicture stream 0 found!", "Done.", ""));
}

TEST_F(CliCommandsTest, DemuxKeepsTheNamedStreams) {
    writeFeature(true);
    CliResult result =
        runCliProcess({"demux", "--no-fast-check", "-o", out(), "--streams",
                       "VC-1.stream.0,a01,s00", "--audio-ext", "ec3", "--sub-ext", "", source()});
    EXPECT_EQ(result.status, 0) << result.err;
    Lines expected = twoPartScanLines();
    expected.push_back("24 frames (0:00:01 s) count in video stream 0.");
    expected.push_back("");
    const std::string base = out() + "/FEATURE_1_2.";
    for (const std::string& line :
         {std::string("Opening file FEATURE_1.EVO"), std::string("File size: 1 Mbytes."),
          "Creating " + base + "VC-1.stream.0.mpv", "Creating " + base + "DD+.stream.01.ec3",
          "Creating " + base + "Subpicture.00.", std::string("Continue on FEATURE_2.EVO"),
          std::string("Done."), std::string(""),
          std::string("24 frames (0:00:01 s) count in video stream 0.")})
        expected.push_back(line);
    EXPECT_THAT(result.out, ElementsAreArray(expected));
    EXPECT_EQ(readFileBytes(base + "VC-1.stream.0.mpv"), concat({first.video, second.video}));
    EXPECT_EQ(readFileBytes(base + "DD+.stream.01.ec3"), second.audio1);
    EXPECT_EQ(readFileBytes(base + "Subpicture.00."),
              concat({subpictureRecord(first, 800000), subpictureRecord(second, 800000)}));
    struct stat st {};
    EXPECT_NE(::stat((base + "DD+.stream.00.ec3").c_str(), &st), 0);
}

// Without --streams every stream found is written; without -o, into the current folder.
TEST_F(CliCommandsTest, DemuxDefaultsToAllStreamsInTheCurrentFolder) {
    writeFeature(false);
    CliResult result = runCliProcess({"demux", "../FEATURE_1.EVO"}, out());
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_THAT(result.out, Contains("Creating FEATURE_1.VC-1.stream.0.mpv"));
    EXPECT_EQ(readFileBytes(out() + "/FEATURE_1.VC-1.stream.0.mpv"), first.video);
    EXPECT_EQ(readFileBytes(out() + "/FEATURE_1.DD+.stream.00.mpa"), first.audio0);
    EXPECT_EQ(readFileBytes(out() + "/FEATURE_1.Subpicture.00.sup"),
              subpictureRecord(first, first.firstPts));
}

TEST_F(CliCommandsTest, UsageErrors) {
    writeFeature(false);
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"unpack", source()},
        {"scan"},
        {"demux", "--streams", "VC-1.stream.0,x9", source()},
        {"demux", "--streams", "DD+.stream.16", source()},
        {"demux", "--video-ext", "abcdef", source()},
        {"scan", "--frobnicate", source()},
        {"xpl"},
    };
    for (const auto& args : cases) {
        std::string shown;
        for (const std::string& arg : args)
            shown += arg + " ";
        SCOPED_TRACE(shown);
        CliResult result = runCliProcess(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_THAT(result.out, IsEmpty());
        EXPECT_THAT(result.err, HasSubstr("Usage: morvale-cli"));
    }
}

// A well-formed name of a stream the scan did not find: the scan runs, nothing is written.
TEST_F(CliCommandsTest, StreamNotFoundIsAUsageError) {
    writeFeature(false);
    CliResult result =
        runCliProcess({"demux", "-o", out(), "--streams", "DD+.stream.05", source()});
    EXPECT_EQ(result.status, 2);
    EXPECT_THAT(result.err, HasSubstr("no stream \"DD+.stream.05\""));
    EXPECT_THAT(result.out, Contains("Done."));
    EXPECT_THAT(result.out, Not(Contains(HasSubstr("Creating"))));
    // The right slot with another stream's name is not found either.
    result = runCliProcess({"demux", "-o", out(), "--streams", "DTSHD.stream.00", source()});
    EXPECT_EQ(result.status, 2);
}

// The message goes to stderr, and closes the log's lines on stdout as it does in the window.
TEST_F(CliCommandsTest, FileErrorsExitWithOne) {
    CliResult result = runCliProcess({"scan", dir.file("MISSING.EVO")});
    EXPECT_EQ(result.status, 1);
    const std::string missing =
        "Cannot open file \"" + dir.file("MISSING.EVO") + "\". No such file or directory";
    EXPECT_THAT(result.out, ElementsAre("Opening file MISSING.EVO", missing, ""));
    EXPECT_EQ(result.err, missing + "\n");

    writeFeature(false);
    result = runCliProcess({"demux", "-o", dir.file("nowhere"), source()});
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.out, Contains("Done."));  // the scan's
    // The missing folder is named, before any file in it is tried.
    const std::string cannotCreate =
        "Cannot create file \"" + dir.file("nowhere") + "/\". No such file or directory";
    ASSERT_GE(result.out.size(), 3u);
    EXPECT_THAT(std::vector<std::string>(result.out.end() - 3, result.out.end()),
                ElementsAre("File size: 1 Mbytes.", cannotCreate, ""));
    EXPECT_EQ(result.err, cannotCreate + "\n");

    ASSERT_EQ(::symlink("/dev/full", (out() + "/FEATURE_1.DD+.stream.00.mpa").c_str()), 0);
    result = runCliProcess({"demux", "-o", out(), source()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Stream write error\n");
    EXPECT_NE(result.out.back(), "Done.");
    EXPECT_EQ(readFileBytes(out() + "/FEATURE_1.VC-1.stream.0.mpv"), first.video);
}

// SIGINT and SIGTERM stop the run at its next progress point like Cancel, without a
// question: "Done." is still printed, no second part, and the status is 130.
TEST_F(CliCommandsTest, StopSignalsCancelTheRun) {
    writeFeature(true, 16ull << 30);  // a sparse 16 GiB first part
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        // The scan stops at the fast-check limit; the Demux reads on until the signal.
        CliResult result =
            runCliAndSignal({"demux", "-o", out(), source()},
                            "Creating " + out() + "/FEATURE_1_2.Subpicture.00.sup", signal);
        EXPECT_EQ(result.status, 130) << result.err;
        ASSERT_GE(result.out.size(), 2u);
        EXPECT_EQ(result.out[result.out.size() - 2], "Done.");
        EXPECT_EQ(result.out.back(), "");
        EXPECT_THAT(result.out, Not(Contains("Continue on FEATURE_2.EVO")));
        EXPECT_EQ(readFileBytes(out() + "/FEATURE_1_2.VC-1.stream.0.mpv"), first.video);
    }
}

TEST_F(CliCommandsTest, RebuildKeepsTheNamedStreams) {
    writeFeature(false);
    CliResult result = runCliProcess({"rebuild", "-o", out(), "--streams", "v0,a00", source()});
    EXPECT_EQ(result.status, 0) << result.err;
    const std::string rebuilt = out() + "/FEATURE_1.rebuilt.EVO";
    ASSERT_GE(result.out.size(), 5u);
    EXPECT_THAT(Lines(result.out.end() - 5, result.out.end()),
                ElementsAre("Opening file FEATURE_1.EVO", "File size: 1 Mbytes.",
                            "Creating " + rebuilt, "Done.", ""));
    // The copy holds the two kept streams and no subpicture.
    result = runCliProcess({"scan", "--no-details", rebuilt});
    EXPECT_EQ(result.status, 0);
    EXPECT_THAT(result.out, ElementsAre("Opening file FEATURE_1.rebuilt.EVO", ::testing::_,
                                        "VC-1 video stream 0 found!",
                                        "Dolby Digital Plus audio stream 0 found!", "Done.", "",
                                        "12 frames (0:00:00 s) count in video stream 0.", ""));
}

const char* const kPlaylist = kExamplePlaylist;

TEST_F(CliCommandsTest, XplPrintsLogOutlineAndTree) {
    const std::string playlist = dir.file("VPLST000.XPL");
    const std::string text = kPlaylist;
    writeFileBytes(playlist, Bytes(text.begin(), text.end()));
    CliResult result = runCliProcess(
        {"xpl", "--source", "/disc/HVDVD_TS/FEATURE_1.EVO", "--outline", "--tree", playlist});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_THAT(
        result.out,
        ElementsAre("Open VPLST000.XPL", "Filesize: " + std::to_string(text.size()) + " bytes",
                    "VC-1.stream.0 found!", "DD+.6ch.stream.01.English found!", "Done.", "",
                    "    <Title id=\"T1\" displayName=\"Main\" titleDuration=\"01:40:00:00\">",
                    "      <PrimaryAudioVideoClip "
                    "src=\"file:///dvddisc/HVDVD_TS/FEATURE_1.MAP\">",
                    "        <Video track=\"1\" mediaAttr=\"1\"/>",
                    "        <Audio track=\"1\" streamNumber=\"2\" mediaAttr=\"1\" "
                    "description=\"English\"/>",
                    "      </PrimaryAudioVideoClip>", "      <ChapterList>",
                    "        <Chapter titleTimeBegin=\"00:00:00:00\" displayName=\"Start\"/>",
                    "      </ChapterList>", "    </Title>", "Info", "  Title: Disc", "  Name: Main",
                    "  Duration: 01:40:00:00", "Video", "  VC-1.stream.0", "Audio",
                    "  DD+.6ch.stream.01.English", "Subtitle", "Chapter", "  00:00:00:00: Start"));

    // Without a source the title is not found: the whole outline, the tree as it was.
    result = runCliProcess({"xpl", "--tree", playlist});
    EXPECT_EQ(result.status, 0);
    EXPECT_THAT(result.out, ElementsAre("Open VPLST000.XPL", ::testing::_, "Done.", "", "Video",
                                        "Audio", "Subpicture", "Chapter"));

    result = runCliProcess({"xpl", dir.file("NONE.XPL")});
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.err, HasSubstr("Cannot open file"));
}

TEST_F(CliCommandsTest, HelpAndVersion) {
    CliResult result = runCliProcess({"demux", "--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_THAT(result.out, Contains(HasSubstr("--streams")));
    EXPECT_THAT(result.out, Contains(HasSubstr("--output-dir")));
    result = runCliProcess({"--version"});
    EXPECT_EQ(result.status, 0);
    EXPECT_THAT(result.out, ElementsAre("morvale-cli 0.617"));
}

// On a terminal the status panels go to stderr on one rewritten line; stdout is unchanged.
TEST_F(CliCommandsTest, StatusTextsOnlyForATerminal) {
    writeFeature(false);
    const std::string path = source();
    const char* argv[] = {"morvale-cli", "scan", path.c_str()};
    std::ostringstream out, err, outTerminal, errTerminal;
    EXPECT_EQ(runCli(3, argv, out, err, false), 0);
    EXPECT_EQ(runCli(3, argv, outTerminal, errTerminal, true), 0);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(outTerminal.str(), out.str());
    EXPECT_THAT(errTerminal.str(), HasSubstr("\r\033[K Reading FEATURE_1.EVO "));
    EXPECT_NE(errTerminal.str().find('\r'), std::string::npos);
    EXPECT_EQ(errTerminal.str().find('\n'), std::string::npos);  // one line, rewritten
    // The line is wiped at the end.
    EXPECT_TRUE(errTerminal.str().ends_with("\r\033[K"));
}

}  // namespace
}  // namespace morvale::testing
