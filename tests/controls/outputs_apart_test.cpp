// SPDX-License-Identifier: MIT
// Outputs never touch the files a run reads: an output path that leads to the source, to
// the second part the feature continues into, or to the playlist (a link or a hard link of
// that name in the output folder) ends Demux and Rebuild before any file is created.

#include <gmock/gmock.h>
#include <unistd.h>

#include <filesystem>

#include "command_fixture.h"
#include "controls/command_buttons.h"

namespace morvale::testing {
namespace {

using ::testing::Not;

using Click = void (*)(Session&, Form&);

struct Clash {
    const char* name;
    Click command;
    const char* output;  // in the output folder
    const char* input;   // beside the source
    bool hardLink;       // otherwise a symbolic link
    friend void PrintTo(const Clash& c, std::ostream* os) { *os << c.name; }
};

const Clash kClashes[] = {
    // Created while only the first part is open: the second part is read later.
    {"DemuxOverTheSecondPart", bDemuxClick, "FEATURE_1_2.DD+.stream.00.mpa", "FEATURE_2.EVO",
     false},
    {"DemuxOverTheSource", bDemuxClick, "FEATURE_1_2.Subpicture.00.sup", "FEATURE_1.EVO", true},
    {"DemuxOverThePlaylist", bDemuxClick, "FEATURE_1_2.VC-1.stream.0.mpv", "VPLST000.XPL", false},
    {"RebuildOverTheSecondPart", bRebuildClick, "FEATURE_1_2.rebuilt.EVO", "FEATURE_2.EVO", true},
    {"RebuildOverTheSource", bRebuildClick, "FEATURE_1_2.rebuilt.EVO", "FEATURE_1.EVO", false},
};

class OutputsApart : public CommandTest, public ::testing::WithParamInterface<Clash> {};

TEST_P(OutputsApart, AClashEndsTheRunBeforeAnythingIsCreated) {
    const Clash& c = GetParam();
    writeFeature("FEATURE_1.EVO");
    writeFeature("FEATURE_2.EVO", {.secondAudio = true, .seed = 9});
    writeFileBytes(dir.file("VPLST000.XPL"), {'<', '/', '>'});
    const std::string out = dir.file("out");
    std::filesystem::create_directory(out);
    form.setText(Edit::Workdir, out);
    form.setText(Edit::XplFile, dir.file("VPLST000.XPL"));
    choose(dir.file("FEATURE_1.EVO"));
    bCheckClick(session, form);
    ASSERT_TRUE(form.isEnabled(Button::Demux));

    const std::string planted = out + "/" + c.output;
    const std::string input = dir.file(c.input);
    if (c.hardLink) {
        std::filesystem::create_hard_link(input, planted);
    } else {
        std::filesystem::create_symlink(input, planted);
    }
    const Bytes before = readFileBytes(input);
    form.clearLog();
    c.command(session, form);

    const std::string message =
        "Cannot create file \"" + planted + "\". It is one of the files being read.";
    EXPECT_EQ(form.errors(), Lines{message});
    EXPECT_EQ(lines(), (Lines{"Opening file FEATURE_1.EVO", "File size: 1 Mbytes.", message, ""}));
    EXPECT_EQ(readFileBytes(input), before);
    // Nothing else was made in the output folder either.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), {}), 1);
    EXPECT_TRUE(form.isEnabled(Button::Demux));
}

INSTANTIATE_TEST_SUITE_P(Links, OutputsApart, ::testing::ValuesIn(kClashes),
                         [](const auto& info) { return std::string(info.param.name); });

// A second part that is not read (the option unticked) is no input: the output may stand
// in its place.
TEST_F(CommandTest, AnUnreadSecondPartIsNoClash) {
    writeFeature("FEATURE_1.EVO");
    writeFeature("FEATURE_2.EVO");
    choose(dir.file("FEATURE_1.EVO"));
    form.setTicked(Option::Continue, false);
    bCheckClick(session, form);
    std::filesystem::create_symlink(dir.file("FEATURE_2.EVO"), dir.file("FEATURE_1.rebuilt.EVO"));
    form.setText(Edit::Workdir, dir.path());
    bRebuildClick(session, form);
    EXPECT_TRUE(form.errors().empty());
    EXPECT_EQ(lines().back(), "");
    EXPECT_EQ(lines()[lines().size() - 2], "Done.");
}

}  // namespace
}  // namespace morvale::testing
