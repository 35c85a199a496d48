// SPDX-License-Identifier: MIT
// A work folder that is one run's own: the four ways a claim finds its path (nothing there,
// left by a killed run, held by a live run in another process, not this program's), and the
// release that removes only what the run's folder holds.

#include "platform/work_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>

#include "platform/file_identity.h"
#include "support/child_processes.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

const Bytes kUserBytes = {'m', 'i', 'n', 'e'};

// The names in a folder, sorted; none when it is not there.
std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (pathKindOf(folder) != PathKind::Folder) return names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A run in another process that claims the folder and fills it (`extra` adds to it).
std::unique_ptr<ForkedHolder> runIn(const std::string& folder, std::function<void()> extra = {}) {
    return std::make_unique<ForkedHolder>([folder, extra] {
        // Held until the process ends: it never returns from waiting.
        const auto* claim = new WorkFolderClaim(WorkFolder::claim(folder));
        if (!claim->folder) return false;
        writeFileBytes(folder + "FEATURE_1_1.VC-1.stream.0.mpv", {1, 2, 3});
        writeFileBytes(folder + "FEATURE_1.json", {'{', '}'});
        if (extra) extra();
        return true;
    });
}

enum Standing {
    Nothing,
    KilledRun,
    LiveRun,
    UserFolder,
    ForeignMarker,
    KilledRunWithFolder,
    AFile,
    ALink
};

// Puts at `folder` what the case finds there; a run in another process lives as long as the
// holder returned.
std::unique_ptr<ForkedHolder> standAt(Standing standing, const std::string& folder,
                                      const TempDir& dir) {
    const std::string path = folder.substr(0, folder.size() - 1);
    std::unique_ptr<ForkedHolder> run;
    switch (standing) {
        case Nothing:
            break;
        case KilledRun:
            run = runIn(folder, [&] { fs::create_symlink(dir.file("mine"), folder + "link"); });
            run->kill();
            break;
        case KilledRunWithFolder:
            run = runIn(folder, [&] { fs::create_directory(folder + "sub"); });
            run->kill();
            writeFileBytes(folder + "sub/notes.txt", kUserBytes);
            break;
        case LiveRun:
            run = runIn(folder);
            break;
        case UserFolder:
        case ForeignMarker:
            fs::create_directories(folder);
            writeFileBytes(
                folder + (standing == UserFolder ? "notes.txt" : WorkFolder::kMarkerName),
                kUserBytes);
            break;
        case AFile:
            writeFileBytes(path, kUserBytes);
            break;
        case ALink:
            fs::create_directory_symlink(dir.path(), path);
            break;
    }
    return run;
}

TEST(WorkFolderTest, AClaimMakesTakesOverOrRefusesAsThePathStands) {
    struct Case {
        const char* name;
        Standing standing;
        bool leftOverRemoved;
        const char* refusal;  // "": claimed
    };
    const char* notOurs = "exists and was not made by Morvale";
    const Case cases[] = {
        {"nothing there", Nothing, false, ""},
        {"left by a killed run", KilledRun, true, ""},
        {"held by a live run", LiveRun, false, "in use by another Morvale run"},
        {"a folder of the user's", UserFolder, false, notOurs},
        {"a marker of another program", ForeignMarker, false, notOurs},
        {"left by a killed run, a folder put in it", KilledRunWithFolder, false,
         "holds folders Morvale did not make"},
        {"a file in its place", AFile, false, "is not a folder"},
        {"a link to a folder in its place", ALink, false, "is not a folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        writeFileBytes(dir.file("mine"), kUserBytes);
        const std::string folder = dir.file("out/deeper/FEATURE_1.work/");
        fs::create_directories(dir.file("out/deeper"));
        const std::unique_ptr<ForkedHolder> other = standAt(c.standing, folder, dir);
        ASSERT_TRUE(!other || other->ready()) << "the other run claimed";
        const std::vector<std::string> before = namesIn(folder);
        WorkFolderClaim claim = WorkFolder::claim(folder);
        EXPECT_EQ(claim.folder.has_value(), c.refusal[0] == '\0');
        EXPECT_EQ(claim.leftOverRemoved, c.leftOverRemoved);
        EXPECT_EQ(claim.refusal, c.refusal);
        EXPECT_EQ(readFileBytes(dir.file("mine")), kUserBytes) << "what a link led to stays";
        if (claim.folder) {
            EXPECT_EQ(claim.folder->path(), folder);
            EXPECT_EQ(WorkFolder::claim(folder).refusal, "in use by another Morvale run");
            EXPECT_EQ(namesIn(folder), std::vector<std::string>{WorkFolder::kMarkerName});
        } else {
            EXPECT_EQ(namesIn(folder), before) << "a refused path is left as it was";
        }
        EXPECT_EQ(namesIn(dir.file("out/deeper")), std::vector<std::string>{"FEATURE_1.work"})
            << "nothing of the claim lies beside the folder";
    }
}

TEST(WorkFolderTest, ReleasingRemovesTheRunsFilesAndKeepingLeavesThemToTheUser) {
    struct Case {
        const char* name;
        bool keep;
        bool folderPutInIt;
        bool folderStays;
        const char* laterRefusal;  // of a claim after it; "" when that claim succeeds
    };
    const Case cases[] = {
        {"released", false, false, false, ""},
        {"kept", true, false, true, "exists and was not made by Morvale"},
        {"released with a folder put in it", false, true, true,
         "holds folders Morvale did not make"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        writeFileBytes(dir.file("mine"), kUserBytes);
        const std::string folder = dir.file("FEATURE_1.work/");
        {
            WorkFolderClaim claim = WorkFolder::claim(folder);
            ASSERT_TRUE(claim.folder);
            WorkFolder work = std::move(*claim.folder);  // the moved-from one releases nothing
            writeFileBytes(folder + "FEATURE_1_1.VC-1.stream.0.mpv", {1, 2, 3});
            fs::create_symlink(dir.file("mine"), folder + "link");
            if (c.folderPutInIt) fs::create_directory(folder + "sub");
            if (c.keep) work.keep();
            EXPECT_EQ(work.release(), !c.folderStays || c.keep);
        }
        EXPECT_EQ(fs::exists(folder), c.folderStays);
        EXPECT_EQ(fs::exists(folder + "FEATURE_1_1.VC-1.stream.0.mpv"), c.keep);
        EXPECT_EQ(readFileBytes(dir.file("mine")), kUserBytes);
        EXPECT_EQ(WorkFolder::claim(folder).refusal, c.laterRefusal);
    }
}

}  // namespace
}  // namespace morvale::testing
