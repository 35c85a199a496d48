// SPDX-License-Identifier: MIT
// Demux on real files: the log, the output names and bytes over both parts, the summary,
// the buttons, Cancel with its question, and the failure endings with every file closed.

#include "controls/command_buttons.h"
#include "commands/demux_command.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <unistd.h>

#include "command_fixture.h"
#include "commands/cancel_command.h"
#include "commands/read_evo.h"
#include "platform/file.h"

namespace morvale::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

constexpr int64_t kMiB = 0x100000;
constexpr StreamBox kVideo0{BoxPage::Video, 0};
constexpr StreamBox kAudio00{BoxPage::Audio, 0};
constexpr StreamBox kAudio01{BoxPage::Audio, 1};
constexpr StreamBox kSub00{BoxPage::Subpicture, 0};

// Runs in another current directory for as long as it lives.
class CurrentDirectory {
  public:
    explicit CurrentDirectory(const std::string& path) {
        char buffer[4096];
        if (::getcwd(buffer, sizeof buffer)) previous_ = buffer;
        EXPECT_EQ(::chdir(path.c_str()), 0);
    }
    ~CurrentDirectory() { EXPECT_EQ(::chdir(previous_.c_str()), 0); }

  private:
    std::string previous_;
};

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Closed files can be locked exclusively again.
bool closedByTheCommand(const std::string& path) {
    try {
        SourceFile file = SourceFile::open(path, ShareMode::Exclusive);
        return true;
    } catch (const FileError&) {
        return false;
    }
}

class DemuxCommandTest : public CommandTest {
  protected:
    FeaturePart first;
    FeaturePart second;
    std::string out;

    // FEATURE_1.EVO (1 MiB, or `size`) and, when wanted, FEATURE_2.EVO with a second
    // audio stream; scanned, so the boxes and the subpicture time base are those of a
    // Read EVO; an output folder "out".
    void scanFeature(bool withSecondPart, uint64_t size = kMiB) {
        first = writeFeature("FEATURE_1.EVO", {}, size);
        if (withSecondPart) {
            second =
                writeFeature("FEATURE_2.EVO", {.secondAudio = true, .basePts = 800000, .seed = 9});
        }
        out = dir.file("out");
        ASSERT_EQ(::mkdir(out.c_str(), 0755), 0);
        form.setText(Edit::Workdir, out);
        form.setTicked(Option::FastCheck, false);
        choose(dir.file("FEATURE_1.EVO"));
        bCheckClick(session, form);
        ASSERT_TRUE(form.errors().empty());
        form.clearLog();
        form.statusTexts.clear();
    }
};

TEST_F(DemuxCommandTest, TwoPartDemuxWritesBothPartsIntoTheSameOutputs) {
    scanFeature(true);
    bDemuxClick(session, form);

    const std::string base = out + "/FEATURE_1_2.";
    EXPECT_THAT(lines(),
                ElementsAre("Opening file FEATURE_1.EVO", "File size: 1 Mbytes.",
                            "Creating " + base + "VC-1.stream.0.mpv",
                            "Creating " + base + "DD+.stream.00.mpa",
                            "Creating " + base + "DD+.stream.01.mpa",
                            "Creating " + base + "Subpicture.00.sup", "Continue on FEATURE_2.EVO",
                            "Done.", "", "24 frames (0:00:01 s) count in video stream 0."));
    EXPECT_THAT(form.statusTexts, ElementsAre("0:Opening", "0:Demuxing FEATURE_1.EVO",
                                              "0:Demuxing FEATURE_2.EVO", "0:Ready", "1:"));

    EXPECT_EQ(readFileBytes(base + "VC-1.stream.0.mpv"), concat({first.video, second.video}));
    EXPECT_EQ(readFileBytes(base + "DD+.stream.00.mpa"), concat({first.audio0, second.audio0}));
    EXPECT_EQ(readFileBytes(base + "DD+.stream.01.mpa"), second.audio1);
    // Subpicture records relative to the smallest first timestamp of the scan (800000).
    const Bytes subpictures = readFileBytes(base + "Subpicture.00.sup");
    EXPECT_EQ(subpictures,
              concat({subpictureRecord(first, 800000), subpictureRecord(second, 800000)}));
    ASSERT_GE(subpictures.size(), 10u);
    // 900000 + 0x3000 - 800000 = 0x1B6A0
    EXPECT_EQ(Bytes(subpictures.begin(), subpictures.begin() + 10),
              (Bytes{0x53, 0x50, 0xA0, 0xB6, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}));

    EXPECT_TRUE(form.isEnabled(Button::Demux));
    EXPECT_TRUE(form.isEnabled(Button::Rebuild));
    EXPECT_TRUE(form.isEnabled(Button::Check));
    EXPECT_FALSE(form.isEnabled(Button::Cancel));
    EXPECT_TRUE(form.errors().empty());
    EXPECT_TRUE(form.questions().empty());
    EXPECT_TRUE(closedByTheCommand(dir.file("FEATURE_1.EVO")));
    EXPECT_TRUE(closedByTheCommand(base + "VC-1.stream.0.mpv"));
}

TEST_F(DemuxCommandTest, OnlyTickedBoxesGetOutputsInBoxOrder) {
    scanFeature(false);
    form.setBoxTicked(kVideo0, false);
    bDemuxClick(session, form);
    EXPECT_THAT(lines(), ElementsAre("Opening file FEATURE_1.EVO", "File size: 1 Mbytes.",
                                     "Creating " + out + "/FEATURE_1.DD+.stream.00.mpa",
                                     "Creating " + out + "/FEATURE_1.Subpicture.00.sup", "Done.",
                                     ""));  // no video ticked: no picture count
    EXPECT_FALSE(exists(out + "/FEATURE_1.VC-1.stream.0.mpv"));
    EXPECT_EQ(readFileBytes(out + "/FEATURE_1.DD+.stream.00.mpa"), first.audio0);
}

// The output folder with or without its separator, an empty one (the current directory),
// an empty extension, and a file of the same name replaced without a question.
TEST_F(DemuxCommandTest, OutputNames) {
    scanFeature(false);
    form.setText(Edit::Workdir, out + "/");
    bDemuxClick(session, form);
    EXPECT_THAT(lines(), Contains("Creating " + out + "/FEATURE_1.VC-1.stream.0.mpv"));

    form.clearLog();
    form.setText(Edit::Workdir, "");
    form.setText(Edit::AudioExt, "");
    {
        CurrentDirectory inOut(out);
        writeFileBytes(out + "/FEATURE_1.VC-1.stream.0.mpv", Bytes(100000, 0x77));
        bDemuxClick(session, form);
    }
    // The files are named as given; the line before them names their folder in full.
    EXPECT_THAT(lines(), ElementsAre("Opening file FEATURE_1.EVO", "File size: 1 Mbytes.",
                                     "Output folder " + out + "/",
                                     "Creating FEATURE_1.VC-1.stream.0.mpv",
                                     "Creating FEATURE_1.DD+.stream.00.",
                                     "Creating FEATURE_1.Subpicture.00.sup", "Done.", "",
                                     "12 frames (0:00:00 s) count in video stream 0."));
    EXPECT_EQ(readFileBytes(out + "/FEATURE_1.VC-1.stream.0.mpv"), first.video);
    EXPECT_EQ(readFileBytes(out + "/FEATURE_1.DD+.stream.00."), first.audio0);
    EXPECT_TRUE(form.questions().empty());
}

// "_2" only for a run that will go on into an existing second part; a lower-case source
// never continues.
TEST_F(DemuxCommandTest, SecondPartNaming) {
    scanFeature(false);
    bDemuxClick(session, form);
    EXPECT_THAT(lines(), Contains("Creating " + out + "/FEATURE_1.VC-1.stream.0.mpv"));

    writePart(dir.file("feature_1.evo"), first);
    writePart(dir.file("feature_2.EVO"), first);
    choose(dir.file("feature_1.evo"));
    form.clearLog();
    bDemuxClick(session, form);
    EXPECT_THAT(lines(), ElementsAre("Opening file feature_1.evo", "File size: 0 Mbytes.",
                                     "Creating " + out + "/feature_1.VC-1.stream.0.mpv",
                                     "Creating " + out + "/feature_1.DD+.stream.00.mpa",
                                     "Creating " + out + "/feature_1.Subpicture.00.sup", "Done.",
                                     "", "12 frames (0:00:00 s) count in video stream 0."));
}

// For a stream without timestamps, Demux takes 1/23.976 s per picture and adds no empty
// line; near a whole second it shows another second than Read EVO.
TEST_F(DemuxCommandTest, FrameCountSummaryHasItsOwnDivisor) {
    for (auto [pictures, scanLine, demuxLine] :
         {std::tuple{172800, "172800 frames (2:00:07 s) count in video stream 0.",
                     "172800 frames (2:00:07 s) count in video stream 0."},
          std::tuple{4987, "4987 frames (0:03:27 s) count in video stream 0.",
                     "4987 frames (0:03:28 s) count in video stream 0."}}) {
        SCOPED_TRACE(pictures);
        ProgramStream ps;
        Bytes es;
        ps.add(vc1PicturePacks(pictures, 4, std::nullopt, es));
        ps.writeFile(dir.file("count.EVO"));
        form.clearLog();
        choose(dir.file("count.EVO"));
        bCheckClick(session, form);
        ASSERT_EQ(lines()[lines().size() - 2], scanLine);
        form.clearLog();
        form.setText(Edit::Workdir, dir.path());
        bDemuxClick(session, form);
        EXPECT_EQ(lines().back(), demuxLine);
        EXPECT_EQ(lines()[lines().size() - 2], "");
        EXPECT_EQ(readFileBytes(dir.file("count.VC-1.stream.0.mpv")), es);
    }
}

// Demux and Rebuild come back on at the end, also for a DVD VOB source.
TEST_F(DemuxCommandTest, ButtonsAtTheEndForAVobSource) {
    writePart(dir.file("VTS_01_1.VOB"), featurePart({}));
    choose(dir.file("VTS_01_1.VOB"));
    form.setText(Edit::Workdir, dir.path());
    bCheckClick(session, form);
    ASSERT_TRUE(form.isEnabled(Button::Demux));
    ASSERT_FALSE(form.isEnabled(Button::Rebuild));
    form.setEnabled(Button::Check, false);  // Demux leaves Read EVO as it is
    bDemuxClick(session, form);
    EXPECT_TRUE(form.isEnabled(Button::Demux));
    EXPECT_TRUE(form.isEnabled(Button::Rebuild));
    EXPECT_FALSE(form.isEnabled(Button::Check));
}

// Cancel asks first; No lets the run go on, Yes stops it at the next block with "Done."
// still logged and the outputs keeping what was written.
TEST_F(DemuxCommandTest, CancelAsksAndStopsOnlyOnYes) {
    scanFeature(true, 16 * kMiB);
    int pumps = 0;
    form.answer = [&](std::string_view) { return pumps == 2; };
    form.onPump = [&] {
        ++pumps;
        EXPECT_TRUE(form.isEnabled(Button::Cancel));
        EXPECT_FALSE(form.isEnabled(Button::Demux));
        bCancelClick(session, form);
    };
    bDemuxClick(session, form);
    EXPECT_EQ(pumps, 2);  // No at the first progress point, Yes at the second
    EXPECT_THAT(form.questions(), ElementsAre(kStopQuestion, kStopQuestion));
    EXPECT_THAT(form.questionTitles, ElementsAre("Confirm", "Confirm"));
    EXPECT_THAT(lines(), Not(Contains("Continue on FEATURE_2.EVO")));
    EXPECT_EQ(lines()[lines().size() - 2], "Done.");
    EXPECT_EQ(lines().back(), "");  // no picture count
    EXPECT_EQ(readFileBytes(out + "/FEATURE_1_2.VC-1.stream.0.mpv"), first.video);
    EXPECT_EQ(readFileBytes(out + "/FEATURE_1_2.DD+.stream.01.mpa"), Bytes{});
    EXPECT_TRUE(form.isEnabled(Button::Demux));
    EXPECT_TRUE(form.isEnabled(Button::Rebuild));
    EXPECT_FALSE(form.isEnabled(Button::Cancel));
}

// ---- Failures: the error shown and logged, no "Done.", the status "Ready", Demux and
// Rebuild on again for the next try, Cancel off, files closed ----

// The log's closing line is the message, or for a failing write the message, why and of
// which file.
void expectFailedEnding(const TestForm& form, const std::string& logged = "") {
    ASSERT_EQ(form.errors().size(), 1u);
    EXPECT_THAT(form.logLines(), Not(Contains("Done.")));
    ASSERT_GE(form.logLines().size(), 2u);
    EXPECT_EQ(Lines(form.logLines().end() - 2, form.logLines().end()),
              (Lines{logged.empty() ? form.errors().front() : logged, ""}));
    EXPECT_EQ(form.panelText(0), " Ready");
    EXPECT_TRUE(form.isEnabled(Button::Demux));
    EXPECT_TRUE(form.isEnabled(Button::Rebuild));
    EXPECT_FALSE(form.isEnabled(Button::Cancel));
    EXPECT_FALSE(form.locked());
}

TEST_F(DemuxCommandTest, SourceThatCannotBeOpened) {
    scanFeature(false);
    ASSERT_EQ(::unlink(dir.file("FEATURE_1.EVO").c_str()), 0);
    bDemuxClick(session, form);
    EXPECT_THAT(form.errors(), ElementsAre("Cannot open file \"" + dir.file("FEATURE_1.EVO") +
                                           "\". No such file or directory"));
    EXPECT_THAT(lines(), ElementsAre("Opening file FEATURE_1.EVO", form.errors().front(), ""));
    expectFailedEnding(form);
    EXPECT_FALSE(exists(out + "/FEATURE_1.VC-1.stream.0.mpv"));
    EXPECT_TRUE(form.isEnabled(Button::Check));
}

// The message names the missing folder, before any file is tried.
TEST_F(DemuxCommandTest, OutputFolderThatDoesNotExist) {
    scanFeature(false);
    form.setText(Edit::Workdir, dir.file("missing"));
    bDemuxClick(session, form);
    EXPECT_THAT(form.errors(), ElementsAre("Cannot create file \"" + dir.file("missing") +
                                           "/\". No such file or directory"));
    EXPECT_THAT(lines(), ElementsAre("Opening file FEATURE_1.EVO", "File size: 1 Mbytes.",
                                     form.errors().front(), ""));
    expectFailedEnding(form);
    EXPECT_TRUE(closedByTheCommand(dir.file("FEATURE_1.EVO")));

    // A relative folder is shown completed with the current directory.
    form.clearLog();
    form.setText(Edit::Workdir, "missing");
    {
        CurrentDirectory inDir(dir.path());
        bDemuxClick(session, form);
    }
    ASSERT_EQ(form.errors().size(), 2u);
    EXPECT_EQ(form.errors()[1],
              "Cannot create file \"" + dir.path() + "missing/\". No such file or directory");
}

// The second output cannot be created: the first one stays, empty and closed.
TEST_F(DemuxCommandTest, OutputsCreatedBeforeAFailureStayClosed) {
    scanFeature(false);
    form.setText(Edit::AudioExt, "no/x");
    bDemuxClick(session, form);
    EXPECT_THAT(form.errors(),
                ElementsAre("Cannot create file \"" + out +
                            "/FEATURE_1.DD+.stream.00.no/x\". No such file or directory"));
    EXPECT_THAT(lines(), ElementsAre("Opening file FEATURE_1.EVO", "File size: 1 Mbytes.",
                                     "Creating " + out + "/FEATURE_1.VC-1.stream.0.mpv",
                                     form.errors().front(), ""));
    expectFailedEnding(form);
    EXPECT_EQ(readFileBytes(out + "/FEATURE_1.VC-1.stream.0.mpv"), Bytes{});
    EXPECT_TRUE(closedByTheCommand(out + "/FEATURE_1.VC-1.stream.0.mpv"));
    EXPECT_TRUE(closedByTheCommand(dir.file("FEATURE_1.EVO")));
}

// A full disk: "Stream write error" (the log adds why and where); the other outputs keep
// everything written before.
TEST_F(DemuxCommandTest, FullDisk) {
    scanFeature(false);
    ASSERT_EQ(::symlink("/dev/full", (out + "/FEATURE_1.VC-1.stream.0.mpv").c_str()), 0);
    bDemuxClick(session, form);
    EXPECT_THAT(form.errors(), ElementsAre("Stream write error"));
    const std::string logged =
        "Stream write error: No space left on device (" + out + "/FEATURE_1.VC-1.stream.0.mpv)";
    EXPECT_THAT(lines(), ElementsAre("Opening file FEATURE_1.EVO", "File size: 1 Mbytes.",
                                     "Creating " + out + "/FEATURE_1.VC-1.stream.0.mpv",
                                     "Creating " + out + "/FEATURE_1.DD+.stream.00.mpa",
                                     "Creating " + out + "/FEATURE_1.Subpicture.00.sup", logged,
                                     ""));
    expectFailedEnding(form, logged);
    EXPECT_EQ(readFileBytes(out + "/FEATURE_1.DD+.stream.00.mpa"), first.audio0);
    EXPECT_EQ(readFileBytes(out + "/FEATURE_1.Subpicture.00.sup"),
              subpictureRecord(first, first.firstPts));
    EXPECT_TRUE(closedByTheCommand(out + "/FEATURE_1.DD+.stream.00.mpa"));
    EXPECT_TRUE(closedByTheCommand(dir.file("FEATURE_1.EVO")));
}

// A full disk hit in the middle of a big run (the output's buffer overflows before the end).
TEST_F(DemuxCommandTest, FullDiskDuringTheRun) {
    ProgramStream ps;
    Bytes es;
    const Bytes audio = filler(5000);
    ps.add(packetizePrivateStream1(0xC0, PesHeader().pts(90000), audio));
    ps.add(vc1PicturePacks(3000, 1000, 90000, es));  // 3 MB of video
    ps.writeFile(dir.file("BIG_1.EVO"));
    out = dir.file("out");
    ASSERT_EQ(::mkdir(out.c_str(), 0755), 0);
    form.setText(Edit::Workdir, out);
    choose(dir.file("BIG_1.EVO"));
    bCheckClick(session, form);
    ASSERT_EQ(::symlink("/dev/full", (out + "/BIG_1.VC-1.stream.0.mpv").c_str()), 0);
    form.clearLog();
    bDemuxClick(session, form);
    EXPECT_THAT(form.errors(), ElementsAre("Stream write error"));
    expectFailedEnding(form, "Stream write error: No space left on device (" + out +
                                 "/BIG_1.VC-1.stream.0.mpv)");
    EXPECT_EQ(readFileBytes(out + "/BIG_1.DD+.stream.00.mpa"), audio);
    EXPECT_TRUE(closedByTheCommand(dir.file("BIG_1.EVO")));
}

}  // namespace
}  // namespace morvale::testing
