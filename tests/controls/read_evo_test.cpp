// SPDX-License-Identifier: MIT
// Read EVO on real files: the log of one and two parts, the lists, the continuation rules,
// the size line, the picture-count summary, Cancel and the failure endings.

#include "controls/command_buttons.h"
#include "commands/read_evo.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/file.h>
#include <unistd.h>

#include "command_fixture.h"
#include "commands/cancel_command.h"
#include "commands/demux_command.h"
#include "commands/read_xpl.h"

namespace morvale::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::Not;

constexpr int64_t kMiB = 0x100000;

class ReadEvoTest : public CommandTest {
  protected:
    // The scan's lines for one part of featurePart() with "Detailed info" ticked.
    static Lines partLines(const FeaturePart& part, bool secondAudio) {
        auto pts = [](uint32_t value) {
            char text[32];
            std::snprintf(text, sizeof text, "   First PTS = %08X", value);
            return std::string(text);
        };
        Lines lines = {std::string("It contains 1 video stream and ") +
                           (secondAudio ? "2 audio streams." : "1 audio stream."),
                       "VC-1 video stream 0 found!", pts(part.firstPts),
                       "Dolby Digital Plus audio stream 0 found!", pts(part.firstPts + 0x100)};
        if (secondAudio) {
            lines.push_back("Dolby Digital Plus audio stream 1 found!");
            lines.push_back(pts(part.firstPts + 0x200));
        }
        lines.push_back("Subpicture stream 0 found!");
        lines.push_back(pts(part.subpicturePts));
        return lines;
    }
};

TEST_F(ReadEvoTest, TwoPartScanLogsBothPartsAndListsTheSecond) {
    const FeaturePart first = writeFeature("FEATURE_1.EVO");
    const FeaturePart second =
        writeFeature("FEATURE_2.EVO", {.secondAudio = true, .basePts = 800000, .seed = 9});
    form.setTicked(Option::FastCheck, false);
    choose(dir.file("FEATURE_1.EVO"));
    bCheckClick(session, form);

    Lines expected = {"Opening file FEATURE_1.EVO", "File size: 1 Mbytes."};
    for (const std::string& line : partLines(first, false))
        expected.push_back(line);
    expected.push_back("Continue on FEATURE_2.EVO");
    for (const std::string& line : partLines(second, true))
        expected.push_back(line);
    for (const char* line : {"Done.", "", "24 frames (0:00:01 s) count in video stream 0.", ""})
        expected.push_back(line);
    EXPECT_THAT(lines(), ElementsAreArray(expected));
    EXPECT_THAT(form.statusTexts, ElementsAre("0:Reading FEATURE_1.EVO ", "0:Reading FEATURE_2.EVO",
                                              "0:Ready", "1:"));

    // The lists show the second part's streams, enabled and ticked.
    EXPECT_THAT(listedCaptions(),
                ElementsAre("VC-1.stream.0", "DD+.stream.00", "DD+.stream.01", "Subpicture.00"));
    for (int order = 0; order < kSlotBoxCount; ++order) {
        const StreamBox box = slotBoxAt(order);
        EXPECT_EQ(form.boxTicked(box), form.boxEnabled(box)) << order;
    }
    EXPECT_EQ(session.lastScan.pictures[0], first.pictures + second.pictures);
    EXPECT_EQ(session.lastScan.subpictureTimeBase, 800000u);  // the smallest over both parts
    EXPECT_TRUE(form.isEnabled(Button::Check));
    EXPECT_TRUE(form.isEnabled(Button::Demux));
    EXPECT_TRUE(form.isEnabled(Button::Rebuild));
    EXPECT_FALSE(form.isEnabled(Button::Cancel));
    EXPECT_FALSE(form.locked());
    EXPECT_EQ(form.page(), Page::Status);
}

// The second part is read only for an exact "_1.EVO" name, with the option ticked, when
// the second file exists.
TEST_F(ReadEvoTest, ContinuationRules) {
    struct Case {
        const char* source;
        const char* second;  // written beside the source; nullptr for none
        bool continueTicked;
        bool continues;
    };
    const Case cases[] = {
        {"FEATURE_1.EVO", "FEATURE_2.EVO", true, true},
        {"feature_1.evo", "FEATURE_2.EVO", true, false},
        {"feature_1.evo", "feature_2.EVO", true, false},
        {"FEATURE_1.VOB", "FEATURE_2.EVO", true, false},
        {"FEATURE_1.EVO", "FEATURE_2.EVO", false, false},
        {"FEATURE_1.EVO", nullptr, true, false},
        {"FEATURE_11.EVO", "FEATURE_12.EVO", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.source) + " / " + (c.second ? c.second : "none") +
                     (c.continueTicked ? "" : " unticked"));
        TempDir folder;
        writePart(folder.file(c.source), featurePart({}));
        if (c.second) writePart(folder.file(c.second), featurePart({.secondAudio = true}));
        form.clearLog();
        form.setTicked(Option::Continue, c.continueTicked);
        choose(folder.file(c.source));
        bCheckClick(session, form);
        const Lines log = lines();
        const bool continuedNow = std::any_of(log.begin(), log.end(), [](const std::string& line) {
            return line.rfind("Continue on ", 0) == 0;
        });
        EXPECT_EQ(continuedNow, c.continues);
        // What the lists show tells which part was read last.
        EXPECT_EQ(form.boxEnabled({BoxPage::Audio, 1}), c.continues);
        EXPECT_EQ(lines().back(), "");
    }
}

// A big first part: the size in whole mebibytes, and fast checking stops after 300,000,000
// bytes, so neither the second part nor a picture count follows; the log says where it
// stopped (the first block ending beyond the limit: 1,145 blocks of 262,144 bytes).
TEST_F(ReadEvoTest, FastCheckedBigFirstPartNeverContinues) {
    writeFeature("FEATURE_1.EVO", {}, 7000000000);
    writeFeature("FEATURE_2.EVO");
    choose(dir.file("FEATURE_1.EVO"));
    bCheckClick(session, form);
    ASSERT_GE(lines().size(), 4u);
    EXPECT_EQ(lines()[1], "File size: 6675 Mbytes.");
    EXPECT_THAT(lines(), Not(Contains("Continue on FEATURE_2.EVO")));
    EXPECT_EQ(lines()[lines().size() - 3], "Fast EVO checking: read the first 286 Mbytes only.");
    EXPECT_EQ(lines()[lines().size() - 2], "Done.");
    EXPECT_EQ(lines().back(), "");
    EXPECT_EQ(session.lastScan.pictures[0], 0);
    EXPECT_THAT(listedCaptions(), ElementsAre("VC-1.stream.0", "DD+.stream.00", "Subpicture.00"));
}

TEST_F(ReadEvoTest, SizeLineTruncatesToWholeMebibytes) {
    for (auto [size, line] : {std::pair<uint64_t, const char*>{1048575, "File size: 0 Mbytes."},
                              {1048576, "File size: 1 Mbytes."},
                              {3 * 1048576 + 1, "File size: 3 Mbytes."}}) {
        writeSparseFile(dir.file("size.EVO"), size);
        form.clearLog();
        choose(dir.file("size.EVO"));
        bCheckClick(session, form);
        EXPECT_THAT(lines(),
                    ElementsAre("Opening file size.EVO", line,
                                "No video, audio or subpicture stream found.", "Done.", ""));
        // Nothing found: every box disabled, Demux and Rebuild off.
        EXPECT_TRUE(listedCaptions().empty());
        EXPECT_FALSE(form.isEnabled(Button::Demux));
    }
}

// For a stream without timestamps, Read EVO's summary takes 1,001/24,000 s per picture; an
// empty line follows the lines.
TEST_F(ReadEvoTest, FrameCountSummary) {
    struct Case {
        int pictures;
        const char* line;
    };
    for (const Case& c : {Case{172800, "172800 frames (2:00:07 s) count in video stream 0."},
                          Case{2160000, "2160000 frames (1:01:30 s) count in video stream 0."},
                          Case{4987, "4987 frames (0:03:27 s) count in video stream 0."}}) {
        SCOPED_TRACE(c.pictures);
        ProgramStream ps;
        Bytes es;
        ps.add(vc1PicturePacks(c.pictures, 4, std::nullopt, es));
        ps.writeFile(dir.file("count.EVO"));
        form.clearLog();
        choose(dir.file("count.EVO"));
        bCheckClick(session, form);
        ASSERT_EQ(session.lastScan.pictures[0], c.pictures);
        EXPECT_THAT(lines(), ElementsAre("Opening file count.EVO", ::testing::_,
                                         "VC-1 video stream 0 found!", "   First PTS = 00000000",
                                         "Done.", "", c.line, ""));
    }
}

TEST_F(ReadEvoTest, SummaryOfTwoVideoSlotsAndOfNone) {
    ProgramStream ps;
    Bytes es;
    ps.add(vc1PicturePacks(3, 100, 90000, es));
    ps.addPack({pesPacket(0xE1, PesHeader().pts(93000).dts(90000), mpeg2Pictures(5, 100))});
    ps.writeFile(dir.file("two.EVO"));
    form.setTicked(Option::Details, false);
    choose(dir.file("two.EVO"));
    bCheckClick(session, form);
    EXPECT_THAT(lines(), ElementsAre("Opening file two.EVO", "File size: 0 Mbytes.",
                                     "VC-1 video stream 0 found!", "MPEG-2 video stream 1 found!",
                                     "Done.", "", "3 frames (0:00:00 s) count in video stream 0.",
                                     "5 frames (0:00:00 s) count in video stream 1.", ""));

    form.clearLog();
    form.setTicked(Option::CountFrames, false);
    bCheckClick(session, form);
    EXPECT_THAT(lines(), ElementsAre("Opening file two.EVO", "File size: 0 Mbytes.",
                                     "VC-1 video stream 0 found!", "MPEG-2 video stream 1 found!",
                                     "Done.", ""));
}

// A source that cannot be opened: the error box, no "Done.", the boxes left empty and
// Read EVO, Demux and Rebuild off until a source is chosen again.
TEST_F(ReadEvoTest, SourceThatCannotBeOpened) {
    writeFeature("FEATURE_1.EVO");
    choose(dir.file("FEATURE_1.EVO"));
    bCheckClick(session, form);
    ASSERT_TRUE(form.isEnabled(Button::Demux));
    ASSERT_EQ(::unlink(dir.file("FEATURE_1.EVO").c_str()), 0);

    form.clearLog();
    bCheckClick(session, form);
    EXPECT_THAT(form.errors(), ElementsAre("Cannot open file \"" + dir.file("FEATURE_1.EVO") +
                                           "\". No such file or directory"));
    EXPECT_THAT(lines(), ElementsAre("Opening file FEATURE_1.EVO", form.errors().front(), ""));
    EXPECT_TRUE(listedCaptions().empty());
    EXPECT_EQ(form.boxCaption({BoxPage::Video, 0}), "No video stream");
    for (Button button : {Button::Check, Button::Demux, Button::Rebuild, Button::Cancel})
        EXPECT_FALSE(form.isEnabled(button)) << static_cast<int>(button);
    EXPECT_FALSE(form.locked());

    // Choosing the source again gives Read EVO back.
    choose(dir.file("FEATURE_1.EVO"));
    EXPECT_TRUE(form.isEnabled(Button::Check));
}

// The second part is opened exclusively: another program holding it refuses the opening.
TEST_F(ReadEvoTest, SecondPartHeldByAnotherProgram) {
    writeFeature("FEATURE_1.EVO");
    writeFeature("FEATURE_2.EVO");
    const int holder = ::open(dir.file("FEATURE_2.EVO").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    // The first part is opened shared: a lock on it does not matter.
    const int firstHolder = ::open(dir.file("FEATURE_1.EVO").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(firstHolder, LOCK_EX | LOCK_NB), 0);

    choose(dir.file("FEATURE_1.EVO"));
    bCheckClick(session, form);
    ::close(holder);
    ::close(firstHolder);
    ASSERT_EQ(form.errors().size(), 1u);
    EXPECT_EQ(form.errors()[0], "Cannot open file \"" + dir.file("FEATURE_2.EVO") +
                                    "\". another program has the file open exclusively");
    EXPECT_THAT(lines(), Contains("VC-1 video stream 0 found!"));
    EXPECT_THAT(lines(), Not(Contains("Continue on FEATURE_2.EVO")));
    EXPECT_THAT(lines(), Not(Contains("Done.")));
    EXPECT_TRUE(listedCaptions().empty());
    EXPECT_FALSE(form.isEnabled(Button::Cancel));
    EXPECT_FALSE(form.isEnabled(Button::Check));
}

// Cancel during a scan asks nothing; the scan ends as usual from the first part on, with no
// picture count and no second part.
TEST_F(ReadEvoTest, CancelStopsAScanWithoutAQuestion) {
    writeFeature("FEATURE_1.EVO", {}, 16 * kMiB);
    writeFeature("FEATURE_2.EVO", {.secondAudio = true});
    form.setTicked(Option::FastCheck, false);
    choose(dir.file("FEATURE_1.EVO"));
    int pumps = 0;
    form.onPump = [&] {
        ++pumps;
        EXPECT_TRUE(form.isEnabled(Button::Cancel));
        bCancelClick(session, form);
    };
    bCheckClick(session, form);
    EXPECT_EQ(pumps, 1);
    EXPECT_TRUE(form.questions().empty());
    EXPECT_THAT(lines(), Not(Contains("Continue on FEATURE_2.EVO")));
    EXPECT_EQ(lines()[lines().size() - 2], "Done.");
    EXPECT_EQ(lines().back(), "");
    EXPECT_THAT(listedCaptions(), ElementsAre("VC-1.stream.0", "DD+.stream.00", "Subpicture.00"));
    EXPECT_FALSE(form.isEnabled(Button::Cancel));
}

// While the scan runs, every other command is locked out and does nothing.
TEST_F(ReadEvoTest, OtherCommandsDoNothingDuringTheScan) {
    writeFeature("FEATURE_1.EVO", {}, 8 * kMiB);
    form.setTicked(Option::FastCheck, false);
    choose(dir.file("FEATURE_1.EVO"));
    form.setText(Edit::Workdir, dir.path());
    size_t linesBefore = 0;
    bool lockedDuringRun = false;
    form.onPump = [&] {
        lockedDuringRun = form.locked();
        linesBefore = lines().size();
        bDemuxClick(session, form);
        bCheckClick(session, form);
        bReadXPLClick(session, form);
        EXPECT_EQ(lines().size(), linesBefore);
        EXPECT_FALSE(form.isEnabled(Button::Check));
    };
    bCheckClick(session, form);
    EXPECT_TRUE(lockedDuringRun);
    EXPECT_FALSE(form.locked());
    EXPECT_GT(linesBefore, 0u);
    EXPECT_TRUE(form.errors().empty());
    EXPECT_EQ(lines().back(), "");
}

}  // namespace
}  // namespace morvale::testing
