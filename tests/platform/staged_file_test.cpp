// SPDX-License-Identifier: MIT
// A file made whole at its place or not at all: the temporary file beside the target, the
// commit with and without replacing (and where the file system lacks the rename that refuses
// to replace, or hard links too), the removal of what was not committed.

#include "platform/staged_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <regex>

#include "platform/file.h"
#include "platform/file_identity.h"
#include "support/file_fault_scopes.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Replace = StagedFile::Replace;

const Bytes kOld = {'o', 'l', 'd'};
const Bytes kNew = {0x1A, 0x45, 0xDF, 0xA3, 'n', 'e', 'w'};

std::vector<std::string> hiddenNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.front() == '.') names.push_back(name);
    }
    return names;
}

TEST(StagedFileTest, TheTargetTakesTheWholeFileOnlyAtACommitAndIsReplacedOnlyWhenAsked) {
    enum Standing { Nothing, File, Link, Dangling, Folder };
    enum Outcome { Placed, Refused, Untouched };
    struct Case {
        const char* name;
        Standing standing;
        std::optional<Replace> commit;  // none: the run failed before its commit
        FileFaults faults;
        Outcome outcome;
        const char* reason;  // of a refused commit
    };
    const FileFaults noRename{.noRenameNoReplace = true};
    const FileFaults noLinks{.noRenameNoReplace = true, .noHardLinks = true};
    const Case cases[] = {
        {"new", Nothing, Replace::Never, {}, Placed, ""},
        {"new, failed", Nothing, std::nullopt, {}, Untouched, ""},
        {"over a file", File, Replace::Never, {}, Refused, "File exists"},
        {"over a file, replacing", File, Replace::Existing, {}, Placed, ""},
        {"over a file, failed", File, std::nullopt, {}, Untouched, ""},
        {"over a link", Link, Replace::Never, {}, Refused, "File exists"},
        {"over a link, replacing", Link, Replace::Existing, {}, Placed, ""},
        {"over a link to nothing", Dangling, Replace::Never, {}, Refused, "File exists"},
        {"over a folder, replacing", Folder, Replace::Existing, {}, Refused, "Is a directory"},
        {"new, no rename without replacing", Nothing, Replace::Never, noRename, Placed, ""},
        {"over a file, no rename without replacing", File, Replace::Never, noRename, Refused,
         "File exists"},
        {"new, no hard links", Nothing, Replace::Never, noLinks, Placed, ""},
        {"over a file, no hard links", File, Replace::Never, noLinks, Refused, "File exists"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string target = dir.file("FEATURE_1.mkv");
        const std::string other = dir.file("other.mkv");
        writeFileBytes(other, kOld);
        if (c.standing == File) writeFileBytes(target, kOld);
        if (c.standing == Link) fs::create_symlink("other.mkv", target);
        if (c.standing == Dangling) fs::create_symlink("none.mkv", target);
        if (c.standing == Folder) fs::create_directory(target);
        const PathKind before = pathKindOf(target);
        InjectedFileFaults faults(c.faults);
        std::string refusal;
        {
            StagedFile staged = StagedFile::create(target);
            OutputFile output = OutputFile::create(staged.path());
            output.write(kNew.data(), kNew.size());
            output.close();
            try {
                if (c.commit) staged.commit(*c.commit);
            } catch (const FileError& error) {
                refusal = error.what();
            }
            EXPECT_EQ(staged.committed(), c.outcome == Placed);
        }
        EXPECT_EQ(refusal,
                  c.outcome == Refused ? "Cannot create file \"" + target + "\". " + c.reason : "");
        if (c.outcome == Placed) {
            EXPECT_EQ(pathKindOf(target), PathKind::File);
            EXPECT_EQ(readFileBytes(target), kNew);
        } else {
            EXPECT_EQ(pathKindOf(target), before);
            if (c.standing == File) {
                EXPECT_EQ(readFileBytes(target), kOld);
            }
        }
        EXPECT_EQ(readFileBytes(other), kOld) << "what a link led to stays as it was";
        EXPECT_TRUE(hiddenNames(dir.path()).empty()) << "the temporary file is gone";
    }
}

TEST(StagedFileTest, TheTemporaryFileIsHiddenBesideItsTargetAndNamedAsThisProgramsOwn) {
    TempDir dir;
    fs::create_directory(dir.file("out"));
    const std::string longStem(300, 'e');
    struct Case {
        std::string target;
        const char* pattern;  // of the temporary file's name
    };
    const Case cases[] = {
        {"out/FEATURE_1.mkv", R"(\.FEATURE_1\.morvale-[A-Za-z0-9]{6}\.mkv)"},
        {"out/no extension", R"(\.no extension\.morvale-[A-Za-z0-9]{6})"},
        {"out/" + longStem + ".mkv", R"(\.e+\.morvale-[A-Za-z0-9]{6}\.mkv)"},
    };
    // A plain new file's permissions, which the finished file must have too.
    OutputFile::create(dir.file("plain")).close();
    const fs::perms plain = fs::status(dir.file("plain")).permissions();
    for (const Case& c : cases) {
        const StagedFile first = StagedFile::create(dir.file(c.target));
        const StagedFile second = StagedFile::create(dir.file(c.target));
        EXPECT_NE(first.path(), second.path());
        const fs::path path(first.path());
        EXPECT_EQ(path.parent_path(), fs::path(dir.file("out")));
        EXPECT_TRUE(std::regex_match(path.filename().string(), std::regex(c.pattern)))
            << path.filename();
        EXPECT_LE(path.filename().string().size(), 255u) << "within the system's limit";
        EXPECT_EQ(fs::status(path).permissions(), plain);
        EXPECT_EQ(fs::file_size(path), 0u);
    }
    EXPECT_TRUE(hiddenNames(dir.file("out")).empty());
}

TEST(StagedFileTest, ATemporaryFileReplacedByALinkIsNeverPutInPlace) {
    TempDir dir;
    const std::string target = dir.file("FEATURE_1.mkv");
    writeFileBytes(dir.file("precious"), kOld);
    StagedFile staged = StagedFile::create(target);
    fs::remove(staged.path());
    fs::create_symlink(dir.file("precious"), staged.path());
    EXPECT_THROW(staged.commit(Replace::Existing), FileError);
    staged.discard();
    EXPECT_FALSE(pathTaken(target));
    EXPECT_EQ(readFileBytes(dir.file("precious")), kOld);
    EXPECT_TRUE(hiddenNames(dir.path()).empty());
}

TEST(StagedFileTest, AFinishedFileIsThereWhenItBeginsWithItsMagic) {
    TempDir dir;
    writeFileBytes(dir.file("whole.mkv"), kNew);
    writeFileBytes(dir.file("empty.mkv"), {});
    writeFileBytes(dir.file("short.mkv"), {0x1A, 0x45, 0xDF});
    writeFileBytes(dir.file("other.mkv"), {0x1A, 0x45, 0xDF, 0xA4, 0});
    fs::create_symlink("whole.mkv", dir.file("link.mkv"));
    fs::create_directory(dir.file("folder.mkv"));
    struct Case {
        const char* name;
        bool there;
    };
    const Case cases[] = {{"whole.mkv", true},  {"link.mkv", true},   {"empty.mkv", false},
                          {"short.mkv", false}, {"other.mkv", false}, {"folder.mkv", false},
                          {"absent.mkv", false}};
    for (const Case& c : cases)
        EXPECT_EQ(fileBeginsWith(dir.file(c.name), kMatroskaMagic), c.there) << c.name;
}

}  // namespace
}  // namespace morvale::testing
