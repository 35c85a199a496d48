// SPDX-License-Identifier: MIT
// Free space on a real small file system, and a write that fills it.

#include "platform/free_space.h"

#include <gtest/gtest.h>

#include "platform/file.h"
#include "platform/folders.h"
#include "support/file_fault_scopes.h"
#include "support/small_file_system.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

constexpr uint64_t kDiskBytes = 1 << 20;

TEST(FreeSpaceTest, TellsWhatIsLeftAndAFullDiskFailsTheWriteWithItsReason) {
    TempDir dir;
    SmallFileSystem disk(dir.file("disk"), kDiskBytes);
    if (!disk.mounted()) GTEST_SKIP() << "no file system may be mounted here";
    for (const FileThreads mode : {FileThreads::None, FileThreads::Background}) {
        SCOPED_TRACE(mode == FileThreads::None ? "without threads" : "with threads");
        FileThreadsMode threads(mode);
        const std::string path = disk.path() + "FEATURE_1.VC-1.stream.0.mpv";
        const uint64_t before = freeBytesFor(disk.path()).value_or(0);
        EXPECT_GT(before, kDiskBytes / 2);
        EXPECT_LE(before, kDiskBytes);
        const std::vector<uint8_t> bytes(2 * kDiskBytes, 0xAB);
        OutputFile file = OutputFile::create(path);
        file.write(bytes.data(), kDiskBytes / 4);
        file.flush();
        EXPECT_LE(freeBytesFor(disk.path()).value_or(kDiskBytes), before - kDiskBytes / 4);
        try {
            file.write(bytes.data(), bytes.size());
            file.close();
            FAIL() << "the disk took more than it holds";
        } catch (const FileError& error) {
            EXPECT_STREQ(error.what(), "Stream write error");
            EXPECT_EQ(error.logLine(),
                      "Stream write error: No space left on device (" + path + ")");
        }
        file = OutputFile();
        EXPECT_EQ(freeBytesFor(disk.path()), 0u);
        ASSERT_TRUE(removeFile(path));
    }
}

TEST(FreeSpaceTest, AFolderNotYetMadeIsAskedOfTheNearestFolderAboveIt) {
    TempDir dir;
    SmallFileSystem disk(dir.file("disk"), kDiskBytes);
    if (!disk.mounted()) GTEST_SKIP() << "no file system may be mounted here";
    const std::optional<uint64_t> free = freeBytesFor(disk.path());
    ASSERT_TRUE(free);
    for (const std::string folder : {"", "new", "new/", "new/deeper/still", "./new"}) {
        EXPECT_EQ(freeBytesFor(disk.path() + folder), free) << folder;
    }
    EXPECT_NE(freeBytesFor(dir.path() + "other"), free) << "another file system";
    writeFileBytes(dir.file("a-file"), {});
    EXPECT_FALSE(freeBytesFor(dir.file("a-file/below"))) << "a file where a folder would be";
}

}  // namespace
}  // namespace morvale::testing
