// SPDX-License-Identifier: MIT
#include "controls/command_buttons.h"
#include "engine/demux.h"
#include "commands/read_xpl.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <functional>

#include <string>
#include <vector>

#include "support/plain_form.h"
#include "commands/selection.h"
#include "controls/source_fields.h"
#include "controls/stream_boxes.h"
#include "support/example_playlist.h"
#include "support/file_fault_scopes.h"
#include "support/file_faults.h"
#include "support/temp_dir.h"

namespace morvale {
namespace {

using Lines = std::vector<std::string>;
using testing::TempDir;

constexpr StreamBox kVideo0{BoxPage::Video, 0};
constexpr StreamBox kVideo1{BoxPage::Video, 1};
constexpr StreamBox kAudio01{BoxPage::Audio, 1};

const char* const kExample = testing::kExamplePlaylist;

// Records the status texts as they are set.
class RecordingForm : public PlainForm {
  public:
    Lines statusTexts;
    std::function<void()> afterStatus;

  protected:
    void onStatus(std::string_view text, Panel panel) override {
        statusTexts.push_back(std::to_string(static_cast<int>(panel)) + ":" + std::string(text));
        if (afterStatus) afterStatus();
    }
};

class ReadXplTest : public ::testing::Test {
  protected:
    // Writes the playlist and points the form and the selection at it and at FEATURE_1.
    void usePlaylist(const std::string& bytes, const std::string& name = "VPLST000.XPL") {
        std::string path = dir.file(name);
        testing::writeFileBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
        form.setText(Edit::XplFile, path);
        form.setText(Edit::EvoFile, dir.path() + "FEATURE_1.EVO");
        session.selection.xplFileName = name;
        session.selection.sourceBaseName = "FEATURE_1";
    }

    Lines treeLines() const { return xplTreeLines(form.xplTree()); }

    // After a failure: the playlist chosen again (which enables Read XPL) and read in full.
    void expectReadingWorks() {
        SCOPED_TRACE("the next Read XPL");
        XPLadj(form, session.selection);
        ASSERT_TRUE(form.isEnabled(Button::ReadXpl));
        const size_t errors = form.errors().size();
        form.clearLog();
        bReadXPLClick(session, form);
        EXPECT_EQ(form.errors().size(), errors);
        ASSERT_GE(form.logLines().size(), 2u);
        EXPECT_EQ(form.logLines()[form.logLines().size() - 2], "Done.");
        EXPECT_EQ(tickedBoxes(), (Lines{"VC-1.stream.0", "DD+.6ch.stream.01.English"}));
        EXPECT_TRUE(form.isEnabled(Button::ReadXpl));
    }

    // The failure endings: the message, shown and logged, boxes emptied, Read XPL off.
    void expectFailedReading(const std::string& message) {
        EXPECT_EQ(form.errors(), Lines{message});
        EXPECT_EQ(form.logLines(), (Lines{message, ""}));
        EXPECT_FALSE(form.boxEnabled(kVideo0));
        EXPECT_EQ(form.boxCaption(kVideo0), "No video stream");
        EXPECT_FALSE(form.isEnabled(Button::ReadXpl));
        EXPECT_EQ(form.page(), Page::Xpl);
        EXPECT_FALSE(form.locked());
        EXPECT_FALSE(session.running);
    }

    Lines tickedBoxes() const {
        Lines ticked;
        for (int n = 0; n < kStreamBoxCount; ++n) {
            StreamBox box = boxAt(n);
            if (form.boxTicked(box)) ticked.push_back(form.boxCaption(box));
        }
        return ticked;
    }

    TempDir dir;
    Session session;
    RecordingForm form;
};

TEST_F(ReadXplTest, TheExampleDiscFillsTreeLogAndBoxes) {
    usePlaylist(kExample);
    form.setEnabled(Button::ReadXpl, true);
    bReadXPLClick(session, form);

    EXPECT_EQ(treeLines(), (Lines{
                               "Info",
                               "  Title: Disc",
                               "  Name: Main",
                               "  Duration: 01:40:00:00",
                               "Video",
                               "  VC-1.stream.0",
                               "Audio",
                               "  DD+.6ch.stream.01.English",
                               "Subtitle",
                               "Chapter",
                               "  00:00:00:00: Start",
                           }));
    EXPECT_EQ(form.logLines(),
              (Lines{
                  "Open VPLST000.XPL",
                  "Filesize: " + std::to_string(std::string(kExample).size()) + " bytes",
                  "VC-1.stream.0 found!",
                  "DD+.6ch.stream.01.English found!",
                  "Done.",
                  "",
              }));

    EXPECT_TRUE(form.boxEnabled(kVideo0));
    EXPECT_TRUE(form.boxTicked(kVideo0));
    EXPECT_EQ(form.boxCaption(kVideo0), "VC-1.stream.0");
    EXPECT_EQ(form.boxHint(kVideo0), "") << "video boxes keep their hint";
    EXPECT_TRUE(form.boxEnabled(kAudio01));
    EXPECT_TRUE(form.boxTicked(kAudio01));
    EXPECT_EQ(form.boxCaption(kAudio01), "DD+.6ch.stream.01.English");
    EXPECT_EQ(form.boxHint(kAudio01), "DD+.6ch.stream.01.English");
    for (int n = 0; n < kStreamBoxCount; ++n) {
        StreamBox box = boxAt(n);
        if (box == kVideo0 || box == kAudio01) continue;
        EXPECT_FALSE(form.boxEnabled(box)) << n;
        EXPECT_EQ(form.boxCaption(box), emptyCaption(box.page)) << n;
    }
    // The playlist's ticks alone write nothing: Demux and Rebuild wait for a Read EVO of
    // the source, after which the same reading leaves them on.
    EXPECT_FALSE(form.isEnabled(Button::Demux));
    EXPECT_FALSE(form.isEnabled(Button::Rebuild));
    session.lastScan.source = form.text(Edit::EvoFile);  // as a Read EVO of it leaves them
    form.setEnabled(Button::Demux, true);
    form.setEnabled(Button::Rebuild, true);
    form.setEnabled(Button::ReadXpl, true);
    bReadXPLClick(session, form);
    EXPECT_TRUE(form.isEnabled(Button::Demux));
    EXPECT_TRUE(form.isEnabled(Button::Rebuild));

    // The outline is cut to the title element, indented as in the file.
    ASSERT_EQ(form.xplOutline().size(), 9u);
    EXPECT_EQ(form.xplOutline().front(),
              "    <Title id=\"T1\" displayName=\"Main\" titleDuration=\"01:40:00:00\">");
    EXPECT_EQ(form.xplOutline()[2], "        <Video track=\"1\" mediaAttr=\"1\"/>");
    EXPECT_EQ(form.xplOutline().back(), "    </Title>");
    EXPECT_TRUE(form.xplOutlineVisible());
    EXPECT_EQ(form.page(), Page::Xpl);
    EXPECT_TRUE(form.isEnabled(Button::ReadXpl));
    EXPECT_EQ(form.panelText(0), " Ready");
    EXPECT_EQ(form.panelText(1), " ");
    EXPECT_FALSE(form.locked());
    EXPECT_FALSE(session.running);
    EXPECT_TRUE(form.errors().empty());

    // The listed tracks are marked, everything else cleared.
    EXPECT_EQ(session.xplMarks.video[0], 1);
    EXPECT_EQ(session.xplMarks.audio[1], 1);
    EXPECT_EQ(session.xplMarks.audio[0], -1);
    EXPECT_EQ(session.xplMarks.subtitle[0], -1);
}

TEST_F(ReadXplTest, ReadingAgainStartsFromEmptyBoxesAndFreshMarks) {
    usePlaylist(kExample);
    bReadXPLClick(session, form);
    form.clearLog();
    form.setBoxTicked({BoxPage::Audio, 7}, true);  // a tick left by the user
    bReadXPLClick(session, form);
    EXPECT_EQ(form.logLines()[2], "VC-1.stream.0 found!") << "the marks were cleared";
    EXPECT_EQ(form.logLines()[3], "DD+.6ch.stream.01.English found!");
    EXPECT_TRUE(form.boxTicked({BoxPage::Audio, 7})) << "boxes are emptied, not unticked";
    EXPECT_FALSE(form.boxEnabled({BoxPage::Audio, 7}));
    EXPECT_EQ(form.boxCaption({BoxPage::Audio, 7}), "No audio stream");
}

TEST_F(ReadXplTest, APlaylistNotNamingTheSourceKeepsTheTreeAndTheWholeOutline) {
    usePlaylist(kExample);
    form.setText(Edit::EvoFile, dir.path() + "FEATURE_9.EVO");
    session.lastScan.slotTable.ids(SlotKind::Audio)[3] = 0x83;  // left by a scan
    session.xplMarks.audio[3] = 1;            // left by an earlier Read XPL
    std::vector<XplTreeNode> before = form.xplTree();
    bReadXPLClick(session, form);

    EXPECT_EQ(form.xplOutline().size(), 18u);
    EXPECT_EQ(form.xplOutline().front(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    EXPECT_EQ(form.xplOutline().back(), "</Playlist>");
    EXPECT_EQ(xplTreeLines(form.xplTree()), xplTreeLines(before));
    EXPECT_TRUE(tickedBoxes().empty());
    EXPECT_EQ(session.xplMarks.audio[3], -1) << "the marks are cleared all the same";
    EXPECT_EQ(session.lastScan.slotTable.ids(SlotKind::Audio)[3], 0x83) << "what the scan found stays";
    EXPECT_EQ(form.logLines(),
              (Lines{"Open VPLST000.XPL",
                     "Filesize: " + std::to_string(std::string(kExample).size()) + " bytes",
                     "Done.", ""}));
    EXPECT_TRUE(form.isEnabled(Button::ReadXpl));
}

TEST_F(ReadXplTest, AFileThatCannotBeOpenedShowsTheErrorAndTheStatedState) {
    usePlaylist(kExample);
    bReadXPLClick(session, form);
    Lines outlineBefore = form.xplOutline();
    form.clearLog();
    form.setEnabled(Button::ReadXpl, true);
    form.showPage(Page::Status);
    std::string missing = dir.file("MISSING.XPL");
    form.setText(Edit::XplFile, missing);

    bReadXPLClick(session, form);
    ASSERT_EQ(form.errors().size(), 1u);
    EXPECT_EQ(form.errors()[0].rfind("Cannot open file \"" + missing + "\". ", 0), 0u)
        << form.errors()[0];
    EXPECT_EQ(form.logLines(), (Lines{form.errors()[0], ""}));
    EXPECT_EQ(form.page(), Page::Xpl);
    EXPECT_EQ(form.xplOutline(), outlineBefore);
    EXPECT_TRUE(form.xplOutlineVisible());
    EXPECT_FALSE(form.isEnabled(Button::ReadXpl));
    EXPECT_FALSE(form.boxEnabled(kVideo0));
    EXPECT_EQ(form.boxCaption(kVideo0), "No video stream");
    EXPECT_TRUE(form.boxTicked(kVideo0)) << "emptied boxes keep their tick";
    EXPECT_FALSE(form.locked());
    EXPECT_FALSE(session.running);
}

TEST_F(ReadXplTest, NothingHappensWhileAnotherCommandRuns) {
    usePlaylist(kExample);
    session.running = true;
    form.setEnabled(Button::ReadXpl, true);
    bReadXPLClick(session, form);
    EXPECT_TRUE(form.logLines().empty());
    EXPECT_EQ(form.page(), Page::Status);
    EXPECT_EQ(form.boxCaption(kVideo0), "Video stream");
    EXPECT_TRUE(form.isEnabled(Button::ReadXpl));
    EXPECT_TRUE(session.running);
}

TEST_F(ReadXplTest, ASecondVideoTrackChangesNoBoxAndARepeatedTrackIsListedOnce) {
    std::string xpl = kExample;
    xpl.replace(xpl.find("<Video track=\"1\""), 16, "<Video track=\"2\"");
    size_t clipEnd = xpl.find("      </PrimaryAudioVideoClip>");
    xpl.insert(clipEnd,
               "<Audio streamNumber=\"2\" mediaAttr=\"1\" description=\"Again\"/>"
               "<Subtitle streamNumber=\"1\" description=\"Deutsch\"/>");
    usePlaylist(xpl);
    bReadXPLClick(session, form);
    EXPECT_EQ(form.logLines()[2], "VC-1.stream.1 found!");
    EXPECT_EQ(form.logLines()[3], "DD+.6ch.stream.01.English found!");
    EXPECT_EQ(form.logLines()[4], ".stream.00.Deutsch found!");
    EXPECT_EQ(form.logLines()[5], "Done.");
    EXPECT_FALSE(form.boxEnabled(kVideo0));
    EXPECT_FALSE(form.boxEnabled(kVideo1));
    EXPECT_EQ(form.boxCaption(kVideo0), "No video stream");
    EXPECT_EQ(form.boxCaption(kVideo1), "No video stream");
    EXPECT_EQ(tickedBoxes(), (Lines{"DD+.6ch.stream.01.English", ".stream.00.Deutsch"}));
    EXPECT_TRUE(form.boxEnabled({BoxPage::Subpicture, 0}));
    EXPECT_EQ(form.boxHint({BoxPage::Subpicture, 0}), ".stream.00.Deutsch");
    EXPECT_EQ(session.xplMarks.video[1], 1);
    EXPECT_EQ(session.xplMarks.subtitle[0], 1);
}

TEST_F(ReadXplTest, CodecNamesOfAnEarlierPlaylistNameTheTracksOfALaterOne) {
    usePlaylist(kExample);
    bReadXPLClick(session, form);
    std::string withoutItems = kExample;
    size_t begin = withoutItems.find("  <MediaAttributeList>");
    size_t end = withoutItems.find("  <TitleSet>");
    withoutItems.erase(begin, end - begin);
    usePlaylist(withoutItems, "OTHER.XPL");
    form.clearLog();
    bReadXPLClick(session, form);
    EXPECT_EQ(form.logLines()[0], "Open OTHER.XPL");
    EXPECT_EQ(form.boxCaption(kVideo0), "VC-1.stream.0");
    EXPECT_EQ(form.boxCaption(kAudio01), "DD+.6ch.stream.01.English");
}

TEST_F(ReadXplTest, CaseRulesOfTheTagAndAttributeSearches) {
    usePlaylist(
        "<PLAYLIST DISPLAYNAME=\"upper\"/>"
        "<Playlist DisplayName=\"Disc\">"
        "<videoattributeitem index=\"1\" codec=\"lower\"/>"
        "<VideoAttributeItem index=\"2\" CODEC=\"VC-1\"/>"
        "<title DISPLAYNAME=\"Main\" TitleDuration=\"1\">"
        "<Clip src=\"FEATURE_1.MAP\"/>"
        "<VIDEO TRACK=\"1\" MEDIAATTR=\"1\"/>"
        "<video track=\"2\" mediaattr=\"2\"/>"
        "</TITLE></Playlist>");
    bReadXPLClick(session, form);
    EXPECT_EQ(treeLines(),
              (Lines{"Info", "  Title: Disc", "  Name: Main", "  Duration: 1", "Video",
                     "  .stream.0", "  VC-1.stream.1", "Audio", "Subtitle", "Chapter"}));
    EXPECT_EQ(form.boxCaption(kVideo0), ".stream.0");
}

TEST_F(ReadXplTest, BadPlaylistsAreReadToTheEnd) {
    std::string longTag = "<Chapter titleTimeBegin=\"00:00:00:00\"" + std::string(300, ' ') +
                          " displayName=\"Late\" note=\"" + std::string(300, 'x') + "\"/>";
    usePlaylist(
        "<Playlist displayName=\"Disc\">"
        "<VideoAttributeItem index=\"first\" codec=\"bad\"/>"
        "<VideoAttributeItem index=\"1\" codec=\"VC-1\"/>"
        "<AudioAttributeItem index=\"1.5\" codec=\"bad\"/>"
        "<AudioAttributeItem index=\"2\" codec=\"DTS\"/>"
        "<Title displayName=\"Main\">"
        "<Clip src=\"FEATURE_1.MAP\"/>"
        "<Video track=\"0\" mediaAttr=\"1\"/>"
        "<Video track=\"1\" mediaAttr=\"99\"/>"
        "<Audio streamNumber=\"1\" mediaAttr=\"2\" description=\"English\"/>"
        "<Audio streamNumber=\"40\" mediaAttr=\"2\"/>"
        "<Subtitle mediaAttr=\"1\" description=\"None\"/>" +
        longTag + "</Title></Playlist>");
    bReadXPLClick(session, form);
    EXPECT_TRUE(form.errors().empty());
    EXPECT_EQ(treeLines(), (Lines{"Info", "  Title: Disc", "  Name: Main", "  Duration: ", "Video",
                                  "  .stream.-1", "  .stream.0", "Audio", "  DTS.stream.00.English",
                                  "  .stream.39.English", "Subtitle", "  .stream.-1.None",
                                  "Chapter", "  00:00:00:00: Late"}));
    EXPECT_EQ(tickedBoxes(), (Lines{".stream.0", "DTS.stream.00.English"}));
    EXPECT_EQ(session.xplCodecs.video[1], "VC-1");
    EXPECT_EQ(form.logLines()[form.logLines().size() - 2], "Done.");
    EXPECT_TRUE(form.isEnabled(Button::ReadXpl));
}

TEST_F(ReadXplTest, AFileWithoutAnyClosingBracketGivesAnEmptyOutline) {
    usePlaylist("<Playlist displayName=\"Disc\"\n<Title src=\"FEATURE_1.MAP\"");
    bReadXPLClick(session, form);
    EXPECT_TRUE(form.xplOutline().empty());
    EXPECT_TRUE(form.xplOutlineVisible());
    EXPECT_EQ(form.logLines().back(), "");
    EXPECT_TRUE(form.isEnabled(Button::ReadXpl));
}

TEST_F(ReadXplTest, AnEmptyFileIsReadWithoutAnyBlock) {
    usePlaylist("");
    bReadXPLClick(session, form);
    EXPECT_EQ(form.logLines(), (Lines{"Open VPLST000.XPL", "Filesize: 0 bytes", "Done.", ""}));
    EXPECT_EQ(form.statusTexts, (Lines{"0:Ready", "1:"}));
}

TEST_F(ReadXplTest, ATagAcrossTheBlockBoundaryIsReadWhole) {
    // The Video tag starts 10 bytes before the end of the first 262,144-byte block.
    std::string head = std::string(kExample).substr(0, std::string(kExample).find("<Video"));
    std::string tail = std::string(kExample).substr(head.size());
    size_t fill = kBlockSize - 10 - head.size();
    std::string xpl = head + std::string(fill, '\n') + tail;
    ASSERT_EQ(xpl.compare(kBlockSize - 10, 6, "<Video"), 0);
    usePlaylist(xpl);
    bReadXPLClick(session, form);
    EXPECT_EQ(form.logLines()[2], "VC-1.stream.0 found!");
    EXPECT_EQ(form.xplOutline()[2], "        <Video track=\"1\" mediaAttr=\"1\"/>");
    std::string size = std::to_string(xpl.size());
    EXPECT_EQ(form.statusTexts, (Lines{"1:262144/" + size + " bytes",
                                       "1:" + size + "/" + size + " bytes", "0:Ready", "1:"}));
}

TEST_F(ReadXplTest, AFileCutShortWhileReadEndsWithAReadErrorAndShowsWhatWasRead) {
    std::string xpl = "<Playlist>" + std::string(kBlockSize, ' ') + "<Title displayName=\"X\">";
    usePlaylist(xpl);
    std::string path = form.text(Edit::XplFile);
    form.afterStatus = [&] {
        if (form.statusTexts.size() == 1) {
            ASSERT_EQ(::truncate(path.c_str(), kBlockSize), 0);
        }
    };
    bReadXPLClick(session, form);
    EXPECT_EQ(form.errors(), (Lines{"Stream read error"}));
    EXPECT_EQ(form.xplOutline(), (Lines{"<Playlist>"}));
    EXPECT_TRUE(form.xplOutlineVisible());
    ASSERT_EQ(form.logLines().size(), 4u) << "no \"Done.\"";
    EXPECT_EQ(form.logLines()[2],
              "Stream read error: the file ends before its size says (" + path + ")");
    EXPECT_FALSE(form.isEnabled(Button::ReadXpl));
    EXPECT_FALSE(session.running);
}

// The playlist's text reaches the form as UTF-8 whether the file holds UTF-8 (as XPL files
// declare) or Latin-1, and the source's UTF-8 name is found in either.
struct PlaylistEncoding {
    const char* name;
    const char* e;  // "é" in the file's bytes
    const char* c;  // "ç"
    const char* E;  // "É"
};
constexpr PlaylistEncoding kEncodings[] = {
    {"Latin1", "\xE9", "\xE7", "\xC9"},
    {"Utf8", "\xC3\xA9", "\xC3\xA7", "\xC3\x89"},
};

class PlaylistText : public ReadXplTest, public ::testing::WithParamInterface<PlaylistEncoding> {};

TEST_P(PlaylistText, ReachesTheFormAsUtf8AndNamesTheSource) {
    const PlaylistEncoding& in = GetParam();
    const std::string francais = std::string("Fran") + in.c + "ais";
    usePlaylist(std::string("<Playlist displayName=\"Caf") + in.e + "\">" +
                "<Title displayName=\"" + francais + "\"><Clip src=\"FILM_" + in.E + "T" + in.E +
                ".MAP\"/>" + "<Audio streamNumber=\"1\" description=\"" + francais +
                "\"/></Title></Playlist>");
    form.setText(Edit::EvoFile, dir.path() + "FILM_\xC3\x89T\xC3\x89.EVO");  // UTF-8 name
    bReadXPLClick(session, form);
    ASSERT_GE(treeLines().size(), 3u);
    EXPECT_EQ(treeLines()[1], "  Title: Caf\xC3\xA9");
    EXPECT_EQ(treeLines()[2],
              "  Name: Fran\xC3\xA7"
              "ais");
    EXPECT_EQ(form.boxCaption({BoxPage::Audio, 0}),
              ".stream.00.Fran\xC3\xA7"
              "ais");
    EXPECT_EQ(form.boxHint({BoxPage::Audio, 0}),
              ".stream.00.Fran\xC3\xA7"
              "ais");
    EXPECT_EQ(form.logLines()[2],
              ".stream.00.Fran\xC3\xA7"
              "ais found!");
    ASSERT_GE(form.xplOutline().size(), 2u);
    EXPECT_EQ(form.xplOutline()[1], "    <Clip src=\"FILM_\xC3\x89T\xC3\x89.MAP\"/>");
}

INSTANTIATE_TEST_SUITE_P(Encodings, PlaylistText, ::testing::ValuesIn(kEncodings),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Failing files ----

TEST_F(ReadXplTest, AnUnreadablePlaylistOrAFolderInItsPlace) {
    usePlaylist(kExample);
    const std::string path = form.text(Edit::XplFile);
    testing::openToEveryone(dir.path());
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    {
        // Root reads whatever the permission bits say; as "nobody" they hold.
        testing::PermissionsApply permissions;
        if (!permissions.active()) GTEST_SKIP() << "root may not change its file-system user";
        bReadXPLClick(session, form);
    }
    expectFailedReading("Cannot open file \"" + path + "\". Permission denied");
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    expectReadingWorks();

    // Replaced by a folder after it was chosen.
    std::filesystem::rename(path, dir.file("moved.XPL"));
    std::filesystem::create_directory(path);
    form.clearLog();
    bReadXPLClick(session, form);
    ASSERT_EQ(form.errors().size(), 2u);
    EXPECT_EQ(form.errors()[1], "Cannot open file \"" + path + "\". Is a directory");
    EXPECT_EQ(form.logLines(), (Lines{form.errors()[1], ""}));
    EXPECT_FALSE(form.isEnabled(Button::ReadXpl));
    std::filesystem::remove(path);
    std::filesystem::rename(dir.file("moved.XPL"), path);
    expectReadingWorks();
}

// The disk fails in the second block: what the first block gave stays on show.
TEST_F(ReadXplTest, AReadErrorInTheMiddleOfThePlaylist) {
    const std::string example = kExample;
    const size_t titleSet = example.find("  <TitleSet>");
    usePlaylist(example.substr(0, titleSet) + std::string(400000, '\n') + example.substr(titleSet));
    {
        testing::InjectedFileFaults faults(
            {.readPath = form.text(Edit::XplFile), .readFailsAt = 300000});
        bReadXPLClick(session, form);
    }
    EXPECT_EQ(form.errors(), Lines{"Stream read error"});
    ASSERT_EQ(form.logLines().size(), 4u) << "no \"Done.\"";
    EXPECT_EQ(form.logLines()[2],
              "Stream read error: Input/output error (" + form.text(Edit::XplFile) + ")");
    EXPECT_EQ(form.statusTexts,
              (Lines{"1:262144/" + std::to_string(example.size() + 400000) + " bytes", "0:Ready",
                     "1:"}));
    ASSERT_EQ(form.xplOutline().size(), 6u);
    EXPECT_EQ(form.xplOutline().back(), "  </MediaAttributeList>");
    EXPECT_TRUE(form.xplOutlineVisible());
    EXPECT_TRUE(tickedBoxes().empty());
    EXPECT_FALSE(form.isEnabled(Button::ReadXpl));
    EXPECT_FALSE(session.running);
    expectReadingWorks();
}

// The playlist is opened shared: a lock another program holds on it does not matter.
TEST_F(ReadXplTest, APlaylistHeldByAnotherProgramIsReadAllTheSame) {
    usePlaylist(kExample);
    const int holder = ::open(form.text(Edit::XplFile).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    form.setEnabled(Button::ReadXpl, true);
    expectReadingWorks();
    EXPECT_TRUE(form.errors().empty());
    ::close(holder);
}

}  // namespace
}  // namespace morvale
