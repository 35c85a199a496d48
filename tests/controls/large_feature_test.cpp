// SPDX-License-Identifier: MIT
// A feature whose first part is larger than 4 GiB, through the commands: the size line, the
// progress texts, the fast-check stop, and the demuxed and rebuilt bytes from packets before,
// across and beyond the 4 GiB mark. The part is sparse (zeros between the packets), so it
// costs no disk space; the test reads it twice in full (Demux and Rebuild), a few seconds each.

#include <gmock/gmock.h>

#include "command_fixture.h"
#include "controls/command_buttons.h"
#include "commands/demux_command.h"
#include "commands/read_evo.h"
#include "commands/rebuild_command.h"

namespace morvale::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr uint64_t kMiB = 0x100000;
constexpr uint64_t kFourGiB = 4096 * kMiB;
constexpr uint64_t kFirstPartSize = kFourGiB + 8 * kMiB;  // "4104 Mbytes"

// The whole 2,048-byte packs of a part, which a rebuild keeping every stream copies unchanged
// (the end code behind them is no pack).
Bytes wholePacks(const FeaturePart& part) {
    return Bytes(part.bytes.begin(),
                 part.bytes.begin() + static_cast<ptrdiff_t>(part.bytes.size() / 2048 * 2048));
}

class LargeFeature : public CommandTest {
  protected:
    // The first part: packets at its start, across the 4 GiB mark and beyond it near the end.
    FeaturePart start = featurePart({.basePts = 900000});
    // The chunks of the first part follow one another in time, 12 pictures each.
    FeaturePart across = featurePart({.basePts = 945045, .seed = 3, .systemHeader = false});
    FeaturePart beyond = featurePart({.basePts = 990090, .seed = 5, .systemHeader = false});
    FeaturePart second = featurePart({.basePts = 6000000, .seed = 9});
    std::string out;

    void SetUp() override {
        writeSparseFile(dir.file("FEATURE_1.EVO"), kFirstPartSize,
                        {{0, start.bytes},
                         {kFourGiB - 2 * 2048, across.bytes},
                         {kFourGiB + 6 * kMiB, beyond.bytes}});
        writePart(dir.file("FEATURE_2.EVO"), second);
        out = dir.file("out");
        ASSERT_EQ(::mkdir(out.c_str(), 0755), 0);
        form.setText(Edit::Workdir, out);
        choose(dir.file("FEATURE_1.EVO"));
    }

    Bytes joined(Bytes FeaturePart::*field) const {
        return concat({start.*field, across.*field, beyond.*field, second.*field});
    }

    Lines progressTexts() const {
        Lines texts;
        for (const std::string& text : form.statusTexts) {
            if (text.rfind("1:", 0) == 0 && text != "1:") texts.push_back(text.substr(2));
        }
        return texts;
    }
};

TEST_F(LargeFeature, ScanDemuxAndRebuildBeyondFourGiB) {
    // Read EVO with fast checking (the default): the size line, progress up to the stop after
    // 300,154,880 bytes, no second part, no picture count.
    bCheckClick(session, form);
    ASSERT_TRUE(form.errors().empty());
    ASSERT_GE(lines().size(), 4u);
    EXPECT_EQ(lines()[1], "File size: 4104 Mbytes.");
    EXPECT_THAT(lines(), ::testing::Not(Contains("Continue on FEATURE_2.EVO")));
    const Lines scanLog = lines();
    EXPECT_THAT(Lines(scanLog.end() - 2, scanLog.end()), ElementsAre("Done.", ""));
    Lines progress = progressTexts();
    ASSERT_EQ(progress.size(), 71u);  // every 4 MiB up to 284 MiB
    EXPECT_EQ(progress.front(), "4/4104 Mbytes, Remaining time: 0:00:01");
    EXPECT_EQ(progress.back(), "284/4104 Mbytes, Remaining time: 0:00:01");
    EXPECT_THAT(listedCaptions(), ElementsAre("VC-1.stream.0", "DD+.stream.00", "Subpicture.00"));
    EXPECT_EQ(session.lastScan.subpictureTimeBase, 900000u);

    // Demux reads both parts in full.
    form.clearLog();
    form.statusTexts.clear();
    bDemuxClick(session, form);
    ASSERT_TRUE(form.errors().empty());
    const std::string base = out + "/FEATURE_1_2.";
    EXPECT_THAT(lines(),
                ElementsAre("Opening file FEATURE_1.EVO", "File size: 4104 Mbytes.",
                            "Creating " + base + "VC-1.stream.0.mpv",
                            "Creating " + base + "DD+.stream.00.mpa",
                            "Creating " + base + "Subpicture.00.sup", "Continue on FEATURE_2.EVO",
                            "Done.", "", "48 frames (0:00:02 s) count in video stream 0."));
    progress = progressTexts();
    ASSERT_EQ(progress.size(), 1026u);
    EXPECT_EQ(progress[1022], "4092/4104 Mbytes, Remaining time: 0:00:01");
    EXPECT_EQ(progress[1023], "4096/4104 Mbytes, Remaining time: 0:00:01");
    EXPECT_EQ(progress[1024], "4100/4104 Mbytes, Remaining time: 0:00:01");
    EXPECT_EQ(progress[1025], "4104/4104 Mbytes, Remaining time: 0:00:01");
    EXPECT_EQ(readFileBytes(base + "VC-1.stream.0.mpv"), joined(&FeaturePart::video));
    EXPECT_EQ(readFileBytes(base + "DD+.stream.00.mpa"), joined(&FeaturePart::audio0));
    EXPECT_EQ(readFileBytes(base + "Subpicture.00.sup"),
              concat({subpictureRecord(start, 900000), subpictureRecord(across, 900000),
                      subpictureRecord(beyond, 900000), subpictureRecord(second, 900000)}));

    // Rebuild keeps every pack of every stream.
    form.clearLog();
    form.statusTexts.clear();
    bRebuildClick(session, form);
    ASSERT_TRUE(form.errors().empty());
    EXPECT_THAT(lines(), ElementsAre("Opening file FEATURE_1.EVO", "File size: 4104 Mbytes.",
                                     "Creating " + base + "rebuilt.EVO",
                                     "Continue on FEATURE_2.EVO", "Done.", ""));
    progress = progressTexts();
    ASSERT_EQ(progress.size(), 1026u);
    EXPECT_EQ(progress[1023], "Rebuilding FEATURE_1.EVO 4096/4104 Mbytes, Remaining time: 0:00:01");
    EXPECT_EQ(progress[1025], "Rebuilding FEATURE_1.EVO 4104/4104 Mbytes, Remaining time: 0:00:01");
    EXPECT_EQ(
        readFileBytes(base + "rebuilt.EVO"),
        concat({wholePacks(start), wholePacks(across), wholePacks(beyond), wholePacks(second)}));
}

}  // namespace
}  // namespace morvale::testing
