// A work folder that is one run's own: the four ways a claim finds its path (nothing there,
// left by a killed run, held by a live run in another process, not this program's), and the
// release that removes only what the run's folder holds.

#include "platform/work_folder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

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

// The marker is locked by someone (a probe of another open file cannot take the lock).
bool markerLocked(const std::string& folder) {
    const int fd = ::open((folder + WorkFolder::kMarkerName).c_str(), O_RDONLY);
    if (fd < 0) return false;
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return locked;
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

TEST(WorkFolderTest, AClaimMakesTakesOverOrRefusesAsThePathStands) {
    struct Case {
        const char* name;
        // Sets the path up; what it returns lives until the claim is done.
        std::function<std::unique_ptr<ForkedHolder>(const std::string& folder, TempDir& dir)> make;
        bool claimed;
        bool leftOverRemoved;
        const char* refusal;
    };
    const Case cases[] = {
        {"nothing there", [](auto&, auto&) { return nullptr; }, true, false, ""},
        {"left by a killed run",
         [](const std::string& folder, TempDir& dir) {
             auto run =
                 runIn(folder, [&] { fs::create_symlink(dir.file("mine"), folder + "link"); });
             run->kill();
             return run;
         },
         true, true, ""},
        {"held by a live run", [](const std::string& folder, auto&) { return runIn(folder); },
         false, false, "in use by another Morvale run"},
        {"a folder of the user's",
         [](const std::string& folder, auto&) {
             fs::create_directories(folder);
             writeFileBytes(folder + "notes.txt", kUserBytes);
             return nullptr;
         },
         false, false, "exists and was not made by Morvale"},
        {"a marker of another program",
         [](const std::string& folder, auto&) {
             fs::create_directories(folder);
             writeFileBytes(folder + WorkFolder::kMarkerName, kUserBytes);
             return nullptr;
         },
         false, false, "exists and was not made by Morvale"},
        {"left by a killed run, with a folder put in it",
         [](const std::string& folder, auto&) {
             auto run = runIn(folder, [&] { fs::create_directory(folder + "sub"); });
             run->kill();
             writeFileBytes(folder + "sub/notes.txt", kUserBytes);
             return run;
         },
         false, false, "holds folders Morvale did not make"},
        {"a file in its place",
         [](const std::string& folder, auto&) {
             writeFileBytes(folder.substr(0, folder.size() - 1), kUserBytes);
             return nullptr;
         },
         false, false, "is not a folder"},
        {"a link to a folder in its place",
         [](const std::string& folder, TempDir& dir) {
             fs::create_directory(dir.file("elsewhere"));
             fs::create_directory_symlink(dir.file("elsewhere"),
                                          folder.substr(0, folder.size() - 1));
             return nullptr;
         },
         false, false, "is not a folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        writeFileBytes(dir.file("mine"), kUserBytes);
        const std::string folder = dir.file("out/deeper/FEATURE_1.work/");
        fs::create_directories(dir.file("out/deeper"));
        const std::unique_ptr<ForkedHolder> other = c.make(folder, dir);
        ASSERT_TRUE(!other || other->ready()) << "the other run claimed";
        const std::vector<std::string> before = namesIn(folder);
        WorkFolderClaim claim = WorkFolder::claim(folder);
        EXPECT_EQ(claim.folder.has_value(), c.claimed);
        EXPECT_EQ(claim.leftOverRemoved, c.leftOverRemoved);
        EXPECT_EQ(claim.refusal, c.refusal);
        EXPECT_EQ(readFileBytes(dir.file("mine")), kUserBytes) << "what a link led to stays";
        if (claim.folder) {
            EXPECT_EQ(claim.folder->path(), folder);
            EXPECT_TRUE(markerLocked(folder));
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
