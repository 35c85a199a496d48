// SPDX-License-Identifier: MIT
// The "Rebuild" command over a PlainForm: output names with both separator styles, the log
// and status lines, the continuation into the second part with the numbering carried over,
// Cancel, the failures and the buttons each ending leaves.

#include "controls/command_buttons.h"
#include "commands/rebuild_command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/plain_form.h"
#include "commands/read_evo.h"
#include "commands/read_xpl.h"
#include "commands/selection.h"
#include "controls/source_fields.h"
#include "controls/stream_boxes.h"
#include "platform/file.h"
#include "rebuild/rebuild_packs.h"
#include "support/temp_dir.h"

namespace morvale {
namespace {

using Lines = std::vector<std::string>;
using ::testing::Contains;
using ::testing::IsEmpty;
using namespace morvale::testing;

constexpr int64_t kMiB = 1 << 20;

class RecordingForm : public PlainForm {
  public:
    Lines statusTexts;

  protected:
    void onStatus(std::string_view text, Panel panel) override {
        statusTexts.push_back(std::to_string(static_cast<int>(panel)) + ":" + std::string(text));
    }
};

class RebuildCommand : public ::testing::Test {
  protected:
    // Relative names (the Windows-style ones included) are files in the temporary folder.
    void SetUp() override {
        previousFolder_ = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
        form.setEnabled(Button::Demux, true);
        form.setEnabled(Button::Rebuild, true);
    }
    void TearDown() override { std::filesystem::current_path(previousFolder_); }

    void chooseSource(const std::string& path) {
        form.setText(Edit::EvoFile, path);
        EVOadj(form, session.selection);
    }
    // As a Read EVO of the chosen source lists a stream.
    void listAudio(int slot, int id, bool ticked) {
        session.lastScan.source = form.text(Edit::EvoFile);
        session.lastScan.slotTable.ids(SlotKind::Audio)[slot] = id;
        form.setBoxTicked({BoxPage::Audio, slot}, ticked);
    }

    // The feature's packs: 0xC3 and 0xC5 kept, 0xC1 left out.
    void listFeatureStreams() {
        listAudio(1, 0xC1, false);
        listAudio(3, 0xC3, true);
        listAudio(5, 0xC5, true);
    }
    const Bytes nav = navigationPack(3, 1);
    const Bytes c1 = subStreamPack(0xC1, 1);
    const Bytes c3 = subStreamPack(0xC3, 2);
    const Bytes c5 = subStreamPack(0xC5, 3);
    const Bytes part1 = joined({nav, c3, c1, c3});
    const Bytes part2 = joined({c1, c5, c3, firstBytes(c5, 700)});
    // Bounds 2 audio boxes and no video box; 0xC3 first becomes 0xC0, 0xC5 in the second
    // part 0xC1, the counters going on from the first part.
    Bytes featureRebuilt() const {
        const Bytes c3New = patched(c3, kSubStreamIdAt, 0xC0);
        const Bytes c5New = patched(c5, kSubStreamIdAt, 0xC1);
        return joined({patched(patched(nav, kAudioBoundAt, 2 << 2), kVideoBoundAt, 0xE0), c3New,
                       c3New, c5New, c3New, firstBytes(c5New, 700)});
    }

    void expectSuccessfulEnd() {
        EXPECT_THAT(form.errors(), IsEmpty());
        EXPECT_EQ(form.panelText(0), " Ready");
        EXPECT_EQ(form.panelText(1), " ");
        EXPECT_TRUE(form.isEnabled(Button::Demux));
        EXPECT_TRUE(form.isEnabled(Button::Rebuild));
        EXPECT_FALSE(form.isEnabled(Button::Cancel));
        EXPECT_EQ(form.page(), Page::Status);
        EXPECT_FALSE(form.locked());
        EXPECT_FALSE(session.running);
        EXPECT_TRUE(session.control.confirmCancel);
    }
    // The failure endings: the error shown and logged, no "Done.", the status "Ready",
    // Demux and Rebuild on again for the next try, and nothing runs any more, so Cancel is
    // off.
    // The log's closing line is the error, or for a failing read or write `logged` (the
    // message, why and of which file).
    void expectFailedEnd(const std::string& error, const std::string& logged = "") {
        EXPECT_EQ(form.errors(), Lines{error});
        EXPECT_THAT(form.logLines(), ::testing::Not(Contains("Done.")));
        ASSERT_GE(form.logLines().size(), 2u);
        EXPECT_EQ(Lines(form.logLines().end() - 2, form.logLines().end()),
                  (Lines{logged.empty() ? error : logged, ""}));
        EXPECT_EQ(form.panelText(0), " Ready");
        EXPECT_EQ(form.panelText(1), " ");
        EXPECT_TRUE(form.isEnabled(Button::Demux));
        EXPECT_TRUE(form.isEnabled(Button::Rebuild));
        EXPECT_FALSE(form.isEnabled(Button::Cancel));
        EXPECT_FALSE(form.locked());
        EXPECT_FALSE(session.running);
    }

    TempDir dir;
    Session session;
    RecordingForm form;

  private:
    std::filesystem::path previousFolder_;
};

// ---- Names, log and continuation ----

TEST_F(RebuildCommand, TwoPartFeatureWithWindowsStylePaths) {
    writeFileBytes("D:\\HVDVD_TS\\FEATURE_1.EVO", part1);
    writeFileBytes("D:\\HVDVD_TS\\FEATURE_2.EVO", part2);
    chooseSource("D:\\HVDVD_TS\\FEATURE_1.EVO");
    form.setText(Edit::Workdir, "E:\\out");
    listFeatureStreams();

    bRebuildClick(session, form);

    EXPECT_EQ(form.logLines(), (Lines{"Opening file FEATURE_1.EVO", "File size: 0 Mbytes.",
                                      "Creating E:\\out\\FEATURE_1_2.rebuilt.EVO",
                                      "Continue on FEATURE_2.EVO", "Done.", ""}));
    EXPECT_EQ(form.statusTexts, (Lines{"0:Opening", "0:Rebuilding FEATURE_1.EVO",
                                       "0:Rebuilding FEATURE_2.EVO", "0:Ready", "1:"}));
    EXPECT_EQ(readFileBytes("E:\\out\\FEATURE_1_2.rebuilt.EVO"), featureRebuilt());
    expectSuccessfulEnd();
}

// Read XPL uses the identifier tables as marks of the tracks it lists; the rebuild still
// drops by what the last scan found.
TEST_F(RebuildCommand, AfterReadXplTheScannedStreamsStillDecide) {
    writeFileBytes("movie.EVO", part1);
    const std::string playlist =
        "<Playlist><AudioAttributeItem index=\"1\" codec=\"DD+\"/>"
        "<Title displayName=\"Main\"><Clip src=\"movie.MAP\"/>"
        "<Audio streamNumber=\"4\" mediaAttr=\"1\" description=\"English\"/></Title></Playlist>";
    writeFileBytes("VPLST000.XPL", Bytes(playlist.begin(), playlist.end()));
    chooseSource("movie.EVO");
    bCheckClick(session, form);
    form.setText(Edit::XplFile, "VPLST000.XPL");
    XPLadj(form, session.selection);
    bReadXPLClick(session, form);
    ASSERT_EQ(form.boxCaption({BoxPage::Audio, 3}), "DD+.stream.03.English");
    setBoxTickedAndNotify(form, {BoxPage::Audio, 1}, false);

    bRebuildClick(session, form);

    const Bytes c3New = patched(c3, kSubStreamIdAt, 0xC0);
    EXPECT_EQ(
        readFileBytes("movie.rebuilt.EVO"),
        joined({patched(patched(nav, kAudioBoundAt, 1 << 2), kVideoBoundAt, 0xE0), c3New, c3New}));
    expectSuccessfulEnd();
}

// Only a Read EVO of the source itself lists the ids Rebuild renumbers: after a scan of
// another file that holds the same streams, every stream keeps its id.
TEST_F(RebuildCommand, OnlyAScanOfItsOwnSourceRenumbers) {
    struct Case {
        const char* scanned;
        Bytes expected;
    };
    const Bytes source = joined({c3, c5});
    writeFileBytes("movie.EVO", source);
    writeFileBytes("copy.EVO", source);
    const Case cases[] = {
        {"movie.EVO",
         joined({patched(c3, kSubStreamIdAt, 0xC0), patched(c5, kSubStreamIdAt, 0xC1)})},
        {"copy.EVO", source},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scanned);
        chooseSource(c.scanned);
        bCheckClick(session, form);
        ASSERT_EQ(session.lastScan.slotTable.ids(SlotKind::Audio)[3], 0xC3);
        chooseSource("movie.EVO");
        bRebuildClick(session, form);
        EXPECT_EQ(readFileBytes("movie.rebuilt.EVO"), c.expected);
        expectSuccessfulEnd();
    }
}

TEST_F(RebuildCommand, EveryClickNumbersAfreshAndReplacesTheOutput) {
    std::filesystem::create_directory("HVDVD_TS");
    writeFileBytes("HVDVD_TS/FEATURE_1.EVO", part1);
    writeFileBytes("HVDVD_TS/FEATURE_2.EVO", part2);
    chooseSource(dir.path() + "HVDVD_TS/FEATURE_1.EVO");
    listFeatureStreams();
    bRebuildClick(session, form);
    ASSERT_EQ(readFileBytes("FEATURE_1_2.rebuilt.EVO"), featureRebuilt());

    // Without 0xC3, 0xC5 is the first kept stream.
    form.clearLog();
    listAudio(3, 0xC3, false);
    bRebuildClick(session, form);
    EXPECT_EQ(form.logLines()[2], "Output folder " + dir.path());
    EXPECT_EQ(form.logLines()[3], "Creating FEATURE_1_2.rebuilt.EVO");
    const Bytes c5New = patched(c5, kSubStreamIdAt, 0xC0);
    EXPECT_EQ(readFileBytes("FEATURE_1_2.rebuilt.EVO"),
              joined({patched(patched(nav, kAudioBoundAt, 1 << 2), kVideoBoundAt, 0xE0), c5New,
                      firstBytes(c5New, 700)}));
}

TEST_F(RebuildCommand, OutputFolderWithOrWithoutItsSeparator) {
    std::filesystem::create_directories("HVDVD_TS");
    std::filesystem::create_directories("out");
    writeFileBytes("HVDVD_TS/FEATURE_1.EVO", part1);
    writeFileBytes("HVDVD_TS/FEATURE_2.EVO", part2);
    chooseSource(dir.path() + "HVDVD_TS/FEATURE_1.EVO");
    listFeatureStreams();
    for (const std::string& folder : {dir.path() + "out", dir.path() + "out/"}) {
        form.clearLog();
        std::filesystem::remove(dir.path() + "out/FEATURE_1_2.rebuilt.EVO");
        form.setText(Edit::Workdir, folder);
        bRebuildClick(session, form);
        EXPECT_EQ(form.logLines()[2], "Creating " + dir.path() + "out/FEATURE_1_2.rebuilt.EVO");
        EXPECT_EQ(readFileBytes(dir.path() + "out/FEATURE_1_2.rebuilt.EVO"), featureRebuilt());
    }
}

TEST_F(RebuildCommand, NoSecondPartNoContinuation) {
    std::filesystem::create_directory("HVDVD_TS");
    writeFileBytes("HVDVD_TS/FEATURE_1.EVO", part1);
    chooseSource(dir.path() + "HVDVD_TS/FEATURE_1.EVO");
    listFeatureStreams();
    bRebuildClick(session, form);
    EXPECT_EQ(form.logLines(),
              (Lines{"Opening file FEATURE_1.EVO", "File size: 0 Mbytes.",
                     "Output folder " + dir.path(), "Creating FEATURE_1.rebuilt.EVO", "Done.", ""}));
    const Bytes c3New = patched(c3, kSubStreamIdAt, 0xC0);
    const Bytes rebuilt =
        joined({patched(patched(nav, kAudioBoundAt, 2 << 2), kVideoBoundAt, 0xE0), c3New, c3New});
    EXPECT_EQ(readFileBytes("FEATURE_1.rebuilt.EVO"), rebuilt);

    // With the second part there but "Continue with second EVO" unticked: the same.
    writeFileBytes("HVDVD_TS/FEATURE_2.EVO", part2);
    form.setTicked(Option::Continue, false);
    form.clearLog();
    bRebuildClick(session, form);
    EXPECT_EQ(form.logLines()[3], "Creating FEATURE_1.rebuilt.EVO");
    EXPECT_THAT(form.logLines(), ::testing::Not(Contains("Continue on FEATURE_2.EVO")));
    EXPECT_EQ(readFileBytes("FEATURE_1.rebuilt.EVO"), rebuilt);
    EXPECT_FALSE(std::filesystem::exists("FEATURE_1_2.rebuilt.EVO"));
}

TEST_F(RebuildCommand, ALowerCaseSourceNeverContinues) {
    writeFileBytes("feature_1.evo", part1);
    writeFileBytes("feature_2.evo", part2);
    chooseSource(dir.path() + "feature_1.evo");
    listFeatureStreams();
    bRebuildClick(session, form);
    EXPECT_EQ(form.logLines(),
              (Lines{"Opening file feature_1.evo", "File size: 0 Mbytes.",
                     "Output folder " + dir.path(), "Creating feature_1.rebuilt.EVO", "Done.", ""}));
    EXPECT_TRUE(std::filesystem::exists("feature_1.rebuilt.EVO"));
}

// ---- Progress and Cancel ----

class RebuildCommandLarge : public RebuildCommand {
  protected:
    // FEATURE_1.EVO of 4,096 packs alternating 0xC1 (left out) and 0xC3 (kept), and a second
    // part beside it.
    void SetUp() override {
        RebuildCommand::SetUp();
        for (int k = 0; k < 4096; ++k)
            packs.push_back(subStreamPack(k % 2 ? 0xC3 : 0xC1, static_cast<uint8_t>(k)));
        writeFileBytes("FEATURE_1.EVO", joined(packs));
        writeFileBytes("FEATURE_2.EVO", part2);
        chooseSource(dir.path() + "FEATURE_1.EVO");
        listFeatureStreams();
        form.nowDays = [] { return 45000.5; };
    }
    // The kept packs among the first n, renumbered.
    Bytes keptOfFirst(int n) const {
        Bytes out;
        for (int k = 1; k < n; k += 2) {
            const Bytes p = patched(packs[static_cast<size_t>(k)], kSubStreamIdAt, 0xC0);
            out.insert(out.end(), p.begin(), p.end());
        }
        return out;
    }
    std::vector<Bytes> packs;
};

TEST_F(RebuildCommandLarge, CancelInTheFirstPartSkipsTheSecondAndStillEndsWithDone) {
    bool lockedWhileRunning = false;
    form.onPump = [&] {
        lockedWhileRunning = form.locked() && session.running && form.isEnabled(Button::Cancel);
        session.control.cancelRequested = true;  // Cancel answered with Yes
    };
    bRebuildClick(session, form);

    EXPECT_TRUE(lockedWhileRunning);
    EXPECT_EQ(form.logLines(), (Lines{"Opening file FEATURE_1.EVO", "File size: 8 Mbytes.",
                                      "Output folder " + dir.path(),
                                      "Creating FEATURE_1_2.rebuilt.EVO", "Done.", ""}));
    EXPECT_EQ(
        form.statusTexts,
        (Lines{"0:Opening", "0:Rebuilding FEATURE_1.EVO",
               "1:Rebuilding FEATURE_1.EVO 4/8 Mbytes, Remaining time: 0:00:01", "0:Ready", "1:"}));
    EXPECT_EQ(readFileBytes("FEATURE_1_2.rebuilt.EVO"), keptOfFirst(2048));
    expectSuccessfulEnd();
}

TEST_F(RebuildCommand, AnEmptySourceGivesAnEmptyOutputAndNoProgress) {
    writeFileBytes("FEATURE_1.EVO", {});
    chooseSource(dir.path() + "FEATURE_1.EVO");
    listFeatureStreams();
    bRebuildClick(session, form);
    EXPECT_EQ(form.logLines(),
              (Lines{"Opening file FEATURE_1.EVO", "File size: 0 Mbytes.",
                     "Output folder " + dir.path(), "Creating FEATURE_1.rebuilt.EVO", "Done.", ""}));
    EXPECT_EQ(form.statusTexts,
              (Lines{"0:Opening", "0:Rebuilding FEATURE_1.EVO", "0:Ready", "1:"}));
    EXPECT_TRUE(std::filesystem::exists("FEATURE_1.rebuilt.EVO"));
    EXPECT_THAT(readFileBytes("FEATURE_1.rebuilt.EVO"), IsEmpty());
    expectSuccessfulEnd();
}

// ---- Failures ----

TEST_F(RebuildCommand, ASourceThatCannotBeOpened) {
    chooseSource(dir.path() + "FEATURE_1.EVO");
    listFeatureStreams();
    bRebuildClick(session, form);
    expectFailedEnd("Cannot open file \"" + dir.path() +
                    "FEATURE_1.EVO\". No such file or directory");
    EXPECT_EQ(form.logLines(), (Lines{"Opening file FEATURE_1.EVO", form.errors().front(), ""}));
    EXPECT_EQ(form.statusTexts, (Lines{"0:Opening", "0:Ready", "1:"}));
    EXPECT_FALSE(std::filesystem::exists("FEATURE_1.rebuilt.EVO"));
}

TEST_F(RebuildCommand, ASourceHeldByAnotherProgramCannotBeOpened) {
    writeFileBytes("FEATURE_1.EVO", part1);
    chooseSource(dir.path() + "FEATURE_1.EVO");
    listFeatureStreams();
    SourceFile holder = SourceFile::open("FEATURE_1.EVO", ShareMode::Exclusive);
    bRebuildClick(session, form);
    expectFailedEnd("Cannot open file \"" + dir.path() +
                    "FEATURE_1.EVO\". another program has the file open exclusively");
    EXPECT_FALSE(std::filesystem::exists("FEATURE_1.rebuilt.EVO"));
}

TEST_F(RebuildCommand, AnOutputThatCannotBeCreatedLeavesTheSourceClosed) {
    writeFileBytes("FEATURE_1.EVO", part1);
    chooseSource(dir.path() + "FEATURE_1.EVO");
    form.setText(Edit::Workdir, dir.path() + "missing");
    listFeatureStreams();
    bRebuildClick(session, form);
    expectFailedEnd("Cannot create file \"" + dir.path() +
                    "missing/\". No such file or directory");  // the folder, not the file
    EXPECT_EQ(form.logLines(), (Lines{"Opening file FEATURE_1.EVO", "File size: 0 Mbytes.",
                                      form.errors().front(), ""}));
    EXPECT_NO_THROW(SourceFile::open("FEATURE_1.EVO", ShareMode::Exclusive));
}

TEST_F(RebuildCommandLarge, AWriteErrorEndsTheRunWithBothFilesClosed) {
    std::filesystem::create_directory("out");
    std::filesystem::create_symlink("/dev/full", "out/FEATURE_1_2.rebuilt.EVO");
    form.setText(Edit::Workdir, "out");
    bRebuildClick(session, form);
    const std::string logged =
        "Stream write error: No space left on device (out/FEATURE_1_2.rebuilt.EVO)";
    expectFailedEnd("Stream write error", logged);
    EXPECT_EQ(form.logLines(),
              (Lines{"Opening file FEATURE_1.EVO", "File size: 8 Mbytes.",
                     "Output folder " + dir.path() + "out/", "Creating out/FEATURE_1_2.rebuilt.EVO",
                     logged, ""}));
    EXPECT_THAT(form.statusTexts, Contains("0:Rebuilding FEATURE_1.EVO"));
    EXPECT_NO_THROW(SourceFile::open("FEATURE_1.EVO", ShareMode::Exclusive));
}

TEST_F(RebuildCommand, AWriteErrorAtTheLastFlushIsAnErrorToo) {
    // Less than the output's buffer: nothing reaches the device before the file is closed.
    writeFileBytes("FEATURE_1.EVO", part1);
    chooseSource(dir.path() + "FEATURE_1.EVO");
    listFeatureStreams();
    std::filesystem::create_symlink("/dev/full", "FEATURE_1.rebuilt.EVO");
    bRebuildClick(session, form);
    const std::string logged =
        "Stream write error: No space left on device (FEATURE_1.rebuilt.EVO)";
    expectFailedEnd("Stream write error", logged);
    EXPECT_EQ(form.logLines(),
              (Lines{"Opening file FEATURE_1.EVO", "File size: 0 Mbytes.",
                     "Output folder " + dir.path(), "Creating FEATURE_1.rebuilt.EVO", logged, ""}));
}

TEST_F(RebuildCommandLarge, ASourceCutShortBelowThePositionIsAReadError) {
    form.onPump = [&] { ASSERT_EQ(::truncate("FEATURE_1.EVO", 2 * kMiB), 0); };
    bRebuildClick(session, form);
    expectFailedEnd("Stream read error", "Stream read error: the file became shorter while it "
                                         "was read (" + dir.path() + "FEATURE_1.EVO)");
    EXPECT_THAT(form.logLines(), ::testing::Not(Contains("Continue on FEATURE_2.EVO")));
    // What was written before stays.
    EXPECT_EQ(readFileBytes("FEATURE_1_2.rebuilt.EVO"), keptOfFirst(2048));
}

// ---- Re-entry ----

TEST_F(RebuildCommand, DoesNothingWhileAnotherCommandRuns) {
    writeFileBytes("FEATURE_1.EVO", part1);
    chooseSource(dir.path() + "FEATURE_1.EVO");
    listFeatureStreams();
    session.running = true;
    bRebuildClick(session, form);
    EXPECT_THAT(form.logLines(), IsEmpty());
    EXPECT_TRUE(form.isEnabled(Button::Rebuild));
    EXPECT_FALSE(std::filesystem::exists("FEATURE_1.rebuilt.EVO"));
}

}  // namespace
}  // namespace morvale
