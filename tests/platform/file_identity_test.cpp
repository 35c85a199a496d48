// SPDX-License-Identifier: MIT
// Outputs never touch inputs: whether an output path leads to a file being read, by links,
// hard links or another way to the same folder, judged before anything is created.

#include "platform/file_identity.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

namespace fs = std::filesystem;

TEST(FileIdentityTest, AnOutputClashesWithTheInputItWouldOverwrite) {
    TempDir dir;
    fs::create_directories(dir.file("src"));
    fs::create_directories(dir.file("out"));
    const std::string first = dir.file("src/FEATURE_1.EVO");
    const std::string second = dir.file("src/FEATURE_2.EVO");  // not there (yet)
    const std::string playlist = dir.file("src/VPLST000.XPL");
    writeFileBytes(first, {0, 0, 1, 0xBA});
    writeFileBytes(playlist, {'<', '?'});
    const std::vector<std::string> inputs = {first, second, playlist};
    const auto link = [&](const char* target, const char* name) {
        return [&dir, target, name] { fs::create_symlink(target, dir.file(name)); };
    };
    struct Case {
        const char* name;
        std::function<void()> make;
        const char* output;
        std::optional<std::string> clash;
    };
    const Case cases[] = {
        {"a new output", [] {}, "out/FEATURE_1.mpv", std::nullopt},
        {"the source itself", [] {}, "src/FEATURE_1.EVO", first},
        {"the source by another way", [] {}, "out/../src/./FEATURE_1.EVO", first},
        {"a link to the source", link("../src/FEATURE_1.EVO", "out/a.evo"), "out/a.evo", first},
        {"a link to a link to the playlist",
         [&] {
             link(playlist.c_str(), "out/p1")();
             link("p1", "out/p2")();
         },
         "out/p2", playlist},
        {"a hard link of the source",
         [&] { fs::create_hard_link(first, dir.file("out/hard.evo")); }, "out/hard.evo", first},
        {"a folder linked to the sources' folder", link("../src", "out/linked"),
         "out/linked/VPLST000.XPL", playlist},
        {"a copy of the source", [&] { fs::copy_file(first, dir.file("out/copy.evo")); },
         "out/copy.evo", std::nullopt},
        {"a link to nothing that would be a new file", link("new.mpv", "out/dangling.mpv"),
         "out/dangling.mpv", std::nullopt},
        {"a link to an input not there yet", link("../src/FEATURE_2.EVO", "out/b.evo"), "out/b.evo",
         second},
        {"a loop of links",
         [&] {
             link("loop2", "out/loop1")();
             link("loop1", "out/loop2")();
         },
         "out/loop1", std::nullopt},
    };
    for (const Case& c : cases) {
        c.make();
        EXPECT_EQ(clashingInput(dir.file(c.output), inputs), c.clash) << c.name;
    }
    EXPECT_FALSE(fs::exists(second)) << "nothing is created";
}

TEST(FileIdentityTest, PathKindsDoNotFollowTheLastLink) {
    TempDir dir;
    writeFileBytes(dir.file("file"), {});
    fs::create_directory(dir.file("folder"));
    fs::create_symlink("file", dir.file("link"));
    fs::create_symlink("none", dir.file("dangling"));
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    struct Case {
        const char* name;
        PathKind kind;
    };
    const Case cases[] = {{"file", PathKind::File},      {"folder", PathKind::Folder},
                          {"link", PathKind::Link},      {"dangling", PathKind::Link},
                          {"fifo", PathKind::Other},     {"none", PathKind::None},
                          {"file/below", PathKind::None}};
    for (const Case& c : cases) {
        EXPECT_EQ(pathKindOf(dir.file(c.name)), c.kind) << c.name;
        EXPECT_EQ(pathTaken(dir.file(c.name)), c.kind != PathKind::None) << c.name;
    }
    EXPECT_TRUE(sameFile(dir.file("link"), dir.file("file")));
    EXPECT_FALSE(sameFile(dir.file("dangling"), dir.file("none")));
}

TEST(FileIdentityTest, TheOutputFolderIsWhereTheSystemMakesTheFile) {
    struct Case {
        const char* path;
        const char* folder;
    };
    const Case cases[] = {{"out/a.mkv", "out"}, {"/a.mkv", "/"}, {"a.mkv", "."},
                          {"out/sub/", "out"},  {"/", "/"},      {"", "."},
                          {"a/b/c.mkv", "a/b"}, {"./a.mkv", "."}};
    for (const Case& c : cases)
        EXPECT_EQ(outputFolderOf(c.path), c.folder) << c.path;
}

}  // namespace
}  // namespace morvale::testing
