// SPDX-License-Identifier: MIT
#include "commands/selection.h"
#include "controls/source_fields.h"

#include <string>

#include <gtest/gtest.h>

#include "support/plain_form.h"

namespace morvale {
namespace {

struct SelectionFixture : ::testing::Test {
    PlainForm form;
    Session session;
    Selection& selection = session.selection;

    void chooseSource(const std::string& path) {
        form.setText(Edit::EvoFile, path);
        EVOadj(form, selection);
    }
    void choosePlaylist(const std::string& path) {
        form.setText(Edit::XplFile, path);
        XPLadj(form, selection);
    }
};

// The disc layout in both path styles: the playlist is derived next to the video folder.
struct DiscPaths {
    const char* source;
    const char* evoFolder;
    const char* xplFolder;
};
void PrintTo(const DiscPaths& paths, std::ostream* os) {
    *os << paths.source;
}
std::string discPathsName(const ::testing::TestParamInfo<DiscPaths>& info) {
    static const char* const kNames[] = {"DriveBackslashes", "Slashes", "DriveRelative"};
    return kNames[info.index];
}
class SourceOnDisc : public SelectionFixture, public ::testing::WithParamInterface<DiscPaths> {};

TEST_P(SourceOnDisc, DerivesNamesAndThePlaylistBesideIt) {
    const DiscPaths& paths = GetParam();
    chooseSource(paths.source);
    EXPECT_EQ(selection.sourceFileName, "FEATURE_1.EVO");
    EXPECT_EQ(selection.sourceBaseName, "FEATURE_1");
    EXPECT_EQ(selection.evoFolder, paths.evoFolder);
    EXPECT_EQ(selection.xplFolder, paths.xplFolder);
    EXPECT_EQ(selection.xplFileName, "VPLST000.XPL");
    EXPECT_EQ(form.text(Edit::XplFile), std::string(paths.xplFolder) + "VPLST000.XPL");
    EXPECT_TRUE(form.isEnabled(Button::Check));
    EXPECT_TRUE(form.isEnabled(Button::ReadXpl));
}

INSTANTIATE_TEST_SUITE_P(
    BothSeparators, SourceOnDisc,
    ::testing::Values(DiscPaths{"D:\\HVDVD_TS\\FEATURE_1.EVO", "D:\\HVDVD_TS\\", "D:\\ADV_OBJ\\"},
                      DiscPaths{"/media/disc/HVDVD_TS/FEATURE_1.EVO", "/media/disc/HVDVD_TS/",
                                "/media/disc/ADV_OBJ/"},
                      DiscPaths{"D:HVDVD_TS\\FEATURE_1.EVO", "D:HVDVD_TS\\", "D:ADV_OBJ\\"}),
    discPathsName);

// The playlist field is never given the bare name, which would be a path relative to
// wherever the program was started.
TEST_F(SelectionFixture, SourceOutsideTheDiscFolderLeavesThePlaylistFieldAlone) {
    chooseSource("C:\\movies\\clip.evo");
    EXPECT_EQ(selection.sourceFileName, "clip.evo");
    EXPECT_EQ(selection.sourceBaseName, "clip");
    EXPECT_EQ(selection.evoFolder, "C:\\movies\\");
    EXPECT_EQ(form.text(Edit::XplFile), "");
    EXPECT_EQ(selection.xplFolder, "");
    EXPECT_EQ(selection.xplFileName, "");
    EXPECT_TRUE(form.isEnabled(Button::Check));
    EXPECT_FALSE(form.isEnabled(Button::ReadXpl));
}

TEST_F(SelectionFixture, DiscFolderNamesAreCaseSensitive) {
    chooseSource("D:\\hvdvd_ts\\FEATURE_1.EVO");
    EXPECT_EQ(form.text(Edit::XplFile), "");
    EXPECT_FALSE(form.isEnabled(Button::ReadXpl));
    chooseSource("/disc/Hvdvd_ts/FEATURE_1.EVO");
    EXPECT_EQ(selection.xplFolder, "");

    choosePlaylist("/disc/adv_obj/VPLST000.XPL");
    EXPECT_EQ(selection.evoFolder, "/disc/Hvdvd_ts/");
}

TEST_F(SelectionFixture, AnEarlierPlaylistSurvivesASourceOutsideTheDisc) {
    chooseSource("/disc/HVDVD_TS/FEATURE_1.EVO");
    chooseSource("/home/me/clip.vob");
    // The playlist found before stays chosen, and the edit shows it.
    EXPECT_EQ(form.text(Edit::XplFile), "/disc/ADV_OBJ/VPLST000.XPL");
    EXPECT_EQ(selection.xplFolder, "/disc/ADV_OBJ/");
    EXPECT_EQ(selection.xplFileName, "VPLST000.XPL");
    EXPECT_TRUE(form.isEnabled(Button::ReadXpl));
}

TEST_F(SelectionFixture, ShortNamesGiveAnEmptyBaseName) {
    chooseSource("/d/.EVO");
    EXPECT_EQ(selection.sourceFileName, ".EVO");
    EXPECT_EQ(selection.sourceBaseName, "");
    chooseSource("/d/a.EVO");
    EXPECT_EQ(selection.sourceBaseName, "a");
    chooseSource("D:movie.vob");
    EXPECT_EQ(selection.sourceFileName, "movie.vob");
    EXPECT_EQ(selection.evoFolder, "D:");
}

TEST_F(SelectionFixture, AnEmptySourceDisablesReadEvo) {
    chooseSource("/d/HVDVD_TS/FEATURE_1.EVO");
    chooseSource("");
    EXPECT_FALSE(form.isEnabled(Button::Check));
    EXPECT_EQ(selection.sourceFileName, "");
    EXPECT_EQ(selection.evoFolder, "");
    EXPECT_TRUE(form.isEnabled(Button::ReadXpl));  // the playlist is still known
}

TEST_F(SelectionFixture, PlaylistInAdvObjPointsTheEvoDialogAtTheVideoFolder) {
    form.setText(Edit::EvoFile, "unchanged");
    choosePlaylist("D:\\ADV_OBJ\\VPLST000.XPL");
    EXPECT_EQ(selection.xplFolder, "D:\\ADV_OBJ\\");
    EXPECT_EQ(selection.xplFileName, "VPLST000.XPL");
    EXPECT_EQ(selection.evoFolder, "D:\\HVDVD_TS\\");
    EXPECT_EQ(form.text(Edit::EvoFile), "unchanged");
    EXPECT_EQ(selection.sourceFileName, "");
    EXPECT_TRUE(form.isEnabled(Button::ReadXpl));
    EXPECT_FALSE(form.isEnabled(Button::Check));

    choosePlaylist("/mnt/disc/ADV_OBJ/VPLST000.XPL");
    EXPECT_EQ(selection.evoFolder, "/mnt/disc/HVDVD_TS/");
}

TEST_F(SelectionFixture, PlaylistElsewhereKeepsTheEvoFolder) {
    chooseSource("/a/b/clip.evo");
    choosePlaylist("/x/y/playlist.xpl");
    EXPECT_EQ(selection.xplFolder, "/x/y/");
    EXPECT_EQ(selection.xplFileName, "playlist.xpl");
    EXPECT_EQ(selection.evoFolder, "/a/b/");
}

TEST_F(SelectionFixture, PlaylistPathEndingInAFolderHasNoNameAndDisablesReadXpl) {
    chooseSource("/disc/HVDVD_TS/FEATURE_1.EVO");
    choosePlaylist("/disc/ADV_OBJ/");
    EXPECT_EQ(selection.xplFileName, "");
    EXPECT_FALSE(form.isEnabled(Button::ReadXpl));
}

TEST(DropKindTest, ExtensionsAreComparedUpperCased) {
    EXPECT_EQ(dropKindOf("/d/FEATURE_1.EVO"), DropKind::Source);
    EXPECT_EQ(dropKindOf("/d/movie.Vob"), DropKind::Source);
    EXPECT_EQ(dropKindOf("C:\\x\\a.evo"), DropKind::Source);
    EXPECT_EQ(dropKindOf("/d/vplst000.xpl"), DropKind::Playlist);
    EXPECT_EQ(dropKindOf("/d/clip.mkv"), DropKind::Ignored);
    EXPECT_EQ(dropKindOf("/d/EVO"), DropKind::Ignored);
    EXPECT_EQ(dropKindOf("/d.EVO/readme"), DropKind::Ignored);  // the dot is in a folder
    EXPECT_EQ(dropKindOf("/d/a.EVO.bak"), DropKind::Ignored);
}

TEST_F(SelectionFixture, DroppedFilesGoToTheirEdits) {
    EXPECT_EQ(dropFile(form, session, "/disc/HVDVD_TS/movie.Vob"), DropKind::Source);
    EXPECT_EQ(form.text(Edit::EvoFile), "/disc/HVDVD_TS/movie.Vob");
    EXPECT_EQ(selection.sourceBaseName, "movie");
    EXPECT_EQ(form.text(Edit::XplFile), "/disc/ADV_OBJ/VPLST000.XPL");

    EXPECT_EQ(dropFile(form, session, "/other/ADV_OBJ/vplst000.xpl"), DropKind::Playlist);
    EXPECT_EQ(form.text(Edit::XplFile), "/other/ADV_OBJ/vplst000.xpl");
    EXPECT_EQ(selection.evoFolder, "/other/HVDVD_TS/");
    EXPECT_EQ(form.text(Edit::EvoFile), "/disc/HVDVD_TS/movie.Vob");
}

TEST_F(SelectionFixture, OtherDroppedFilesChangeNothing) {
    chooseSource("/disc/HVDVD_TS/FEATURE_1.EVO");
    Selection before = selection;
    EXPECT_EQ(dropFile(form, session, "/disc/HVDVD_TS/notes.txt"), DropKind::Ignored);
    EXPECT_EQ(form.text(Edit::EvoFile), "/disc/HVDVD_TS/FEATURE_1.EVO");
    EXPECT_EQ(form.text(Edit::XplFile), "/disc/ADV_OBJ/VPLST000.XPL");
    EXPECT_EQ(selection.sourceFileName, before.sourceFileName);
    EXPECT_EQ(selection.evoFolder, before.evoFolder);
    EXPECT_EQ(selection.xplFolder, before.xplFolder);
}

}  // namespace
}  // namespace morvale
