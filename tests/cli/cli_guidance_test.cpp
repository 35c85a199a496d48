// SPDX-License-Identifier: MIT
// What morvale-cli tells its user besides the message log: each subcommand's help lists its
// own options, the terminal status line says what the program does, a stream the scan did
// not find is named with the ones it found, `xpl` without `--source` says how to choose a
// title, `--chapters` names the file it wrote and never writes over the playlist, and a
// UTF-8 playlist reads as UTF-8.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/cli_app.h"
#include "cli_process.h"
#include "support/example_playlist.h"
#include "support/feature_disc.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;
using Lines = std::vector<std::string>;

struct InProcess {
    int status;
    std::string out, err;
};

// morvale-cli in this process, with stderr taken for a terminal when `terminal` is set.
InProcess runHere(const std::vector<std::string>& args, bool terminal = false) {
    std::vector<const char*> argv = {"morvale-cli"};
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    std::ostringstream out, err;
    const int status = runCli(static_cast<int>(argv.size()), argv.data(), out, err, terminal);
    return {status, out.str(), err.str()};
}

// A disc in a temporary folder: HVDVD_TS/FEATURE_1.EVO and the example playlist in ADV_OBJ.
class CliGuidanceTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::string source = dir.file("HVDVD_TS/FEATURE_1.EVO");
    std::string playlist = dir.file("ADV_OBJ/VPLST000.XPL");

    void SetUp() override {
        std::filesystem::create_directories(dir.file("HVDVD_TS"));
        std::filesystem::create_directories(dir.file("ADV_OBJ"));
        std::filesystem::create_directories(dir.file("out"));
        writePart(source, featurePart({}), 0x100000);
        writePlaylist(testing::kExamplePlaylist);
    }
    void writePlaylist(const std::string& text) {
        writeFileBytes(playlist, Bytes(text.begin(), text.end()));
    }
};

struct HelpCase {
    const char* command;
    std::vector<std::string> listed;
    std::vector<std::string> unlisted;
};

TEST(CliHelpTest, EachSubcommandListsOnlyItsOptions) {
    const HelpCase cases[] = {
        {"scan", {"--no-fast-check", "--json", "--playlist"},
         {"--output-dir", "--streams", "--video-ext", "--audio-ext", "--sub-ext"}},
        {"demux", {"--output-dir", "--streams", "--video-ext", "--sub-ext"}, {"--json"}},
        {"rebuild", {"--output-dir", "--streams", "--no-continue"},
         {"--video-ext", "--audio-ext", "--sub-ext", "--json"}},
    };
    for (const HelpCase& c : cases) {
        SCOPED_TRACE(c.command);
        const InProcess help = runHere({c.command, "--help"});
        EXPECT_EQ(help.status, 0);
        for (const std::string& option : c.listed)
            EXPECT_THAT(help.out, HasSubstr(option));
        for (const std::string& option : c.unlisted)
            EXPECT_THAT(help.out, Not(HasSubstr(option)));
    }
}

// The status line, rewritten in place on a terminal, shows what runs and how far it is:
// never the window's hint to choose a file, never the idle "Ready".
TEST_F(CliGuidanceTest, TheStatusLineShowsOnlyWhatTheProgramDoes) {
    const std::vector<std::vector<std::string>> runs = {
        {"scan", source},
        {"demux", "-o", dir.file("out"), source},
        {"xpl", "--source", source, playlist},
    };
    for (const std::vector<std::string>& args : runs) {
        SCOPED_TRACE(args[0]);
        const InProcess run = runHere(args, true);
        ASSERT_EQ(run.status, 0) << run.err;
        Lines shown;
        std::string rest = run.err;
        for (size_t at; (at = rest.find("\r\033[K")) != std::string::npos;) {
            shown.push_back(rest.substr(0, at));
            rest = rest.substr(at + 4);
        }
        shown.push_back(rest);
        shown.erase(std::remove(shown.begin(), shown.end(), ""), shown.end());
        ASSERT_FALSE(shown.empty());
        for (const std::string& text : shown) {
            EXPECT_THAT(text, Not(HasSubstr("Select or drop")));
            EXPECT_THAT(text, Not(HasSubstr("Ready")));
            EXPECT_EQ(text.front(), ' ') << text;  // a panel's text, drawn after one blank
        }
    }
}

// A stream the scan did not find ends the command as a usage error at once, naming the
// streams it did find, before any file is written.
TEST_F(CliGuidanceTest, AnUnfoundStreamIsNamedWithTheFoundOnes) {
    const CliResult run =
        runCliProcess({"demux", "--no-details", "-o", dir.file("out"), "--streams", "a07", source});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "morvale-cli: " + source +
                           " has no stream \"a07\"; the scan found: VC-1.stream.0 (v0), "
                           "DD+.stream.00 (a00), Subpicture.00 (s00)\n");
    EXPECT_THAT(run.out, Not(Contains(HasSubstr("Creating"))));
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("out")));
}

// Without --source no title is chosen; one line on stderr tells which title the playlist's
// first EVO would show and how to ask for it.
TEST_F(CliGuidanceTest, XplWithoutSourceSaysHowToChooseATitle) {
    const CliResult run = runCliProcess({"xpl", "--tree", playlist});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "morvale-cli: no --source given, so no title is chosen; --source " +
                           dir.file("HVDVD_TS/FEATURE_1.EVO") + " shows title 1 \"Main\"\n");
    EXPECT_EQ(runCliProcess({"xpl", "--source", source, playlist}).err, "");
}

// --chapters logs the file it wrote; a chapter file named like the playlist (a link to it)
// is refused before anything is written.
TEST_F(CliGuidanceTest, ChaptersNameTheirFileAndNeverOverwriteThePlaylist) {
    const std::string chapters = dir.file("out/chapters.txt");
    CliResult run = runCliProcess({"xpl", "--source", source, "--chapters", chapters, playlist});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.back(), "Chapter file " + chapters);
    EXPECT_TRUE(std::filesystem::exists(chapters));

    const std::string link = dir.file("out/link.xml");
    std::filesystem::create_symlink(playlist, link);
    const Bytes before = readFileBytes(playlist);
    run = runCliProcess({"xpl", "--source", source, "--chapters", link, playlist});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Cannot create file \"" + link + "\". It is one of the files being read.\n");
    EXPECT_EQ(readFileBytes(playlist), before);
}

// A playlist written in UTF-8, as XPL files declare, shows its names as they are written:
// in the tree and in the log.
TEST_F(CliGuidanceTest, AUtf8PlaylistReadsAsUtf8) {
    std::string text = testing::kExamplePlaylist;
    text.replace(text.find("English"), 7, "Fran\xC3\xA7" "ais");
    text.replace(text.find("\"Main\""), 6, "\"Cin\xC3\xA9ma\"");
    writePlaylist(text);
    const CliResult run = runCliProcess({"xpl", "--tree", "--source", source, playlist});
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(run.out, Contains("DD+.6ch.stream.01.Fran\xC3\xA7" "ais found!"));
    EXPECT_THAT(run.out, Contains("  Name: Cin\xC3\xA9ma"));
    EXPECT_THAT(run.out, Contains("  DD+.6ch.stream.01.Fran\xC3\xA7" "ais"));
}

}  // namespace
}  // namespace morvale::testing
