// SPDX-License-Identifier: MIT
#include "platform/file.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace morvale {
namespace {

using testing::TempDir;
using testing::readFileBytes;
using testing::writeFileBytes;

TEST(SourceFileTest, ReadsInPiecesAndReportsPositionAndSize) {
    TempDir dir;
    std::vector<uint8_t> bytes(10000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    writeFileBytes(dir.file("a.evo"), bytes);

    SourceFile file = SourceFile::open(dir.file("a.evo"), ShareMode::Shared);
    EXPECT_EQ(file.size(), 10000);
    std::vector<uint8_t> got(8192);
    EXPECT_EQ(file.read(got.data(), 4096), 4096);
    EXPECT_EQ(file.position(), 4096);
    EXPECT_EQ(got[4095], bytes[4095]);
    EXPECT_EQ(file.read(got.data(), 8192), 10000 - 4096);
    EXPECT_EQ(got[0], bytes[4096]);
    EXPECT_EQ(file.read(got.data(), 10), 0);
    EXPECT_EQ(file.position(), 10000);
}

TEST(SourceFileTest, MissingFileGivesTheOpenMessageWithFullPathAndReason) {
    TempDir dir;
    try {
        SourceFile::open(dir.file("none.evo"), ShareMode::Shared);
        FAIL() << "open succeeded";
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file \"" + dir.file("none.evo") + "\". No such file or directory");
    }
}

TEST(SourceFileTest, ExclusiveOpenIsRefusedWhileAnotherHolderLocksTheFile) {
    TempDir dir;
    writeFileBytes(dir.file("held.evo"), {1, 2, 3});
    int other = ::open(dir.file("held.evo").c_str(), O_RDONLY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    EXPECT_THROW(SourceFile::open(dir.file("held.evo"), ShareMode::Exclusive), FileError);
    // A shared open does not ask for the lock.
    EXPECT_NO_THROW(SourceFile::open(dir.file("held.evo"), ShareMode::Shared));
    ::close(other);
    EXPECT_NO_THROW(SourceFile::open(dir.file("held.evo"), ShareMode::Exclusive));
}

TEST(OutputFileTest, BufferedAndLargeWritesKeepTheirOrder) {
    TempDir dir;
    std::vector<uint8_t> expected;
    {
        OutputFile out = OutputFile::create(dir.file("o.bin"));
        std::vector<uint8_t> small(1000, 0xAA);
        std::vector<uint8_t> large(OutputFile::kBufferSize + 5, 0xBB);
        for (int round = 0; round < 3; ++round) {
            out.write(small.data(), small.size());
            expected.insert(expected.end(), small.begin(), small.end());
            out.write(large.data(), large.size());
            expected.insert(expected.end(), large.begin(), large.end());
        }
        uint8_t tail[] = {1, 2, 3};
        out.write(tail, 3);
        expected.insert(expected.end(), tail, tail + 3);
        EXPECT_EQ(out.bytesWritten(), static_cast<int64_t>(expected.size()));
    }  // closed (and flushed) by the destructor
    EXPECT_EQ(readFileBytes(dir.file("o.bin")), expected);
}

TEST(OutputFileTest, CreateEmptiesAnExistingFile) {
    TempDir dir;
    writeFileBytes(dir.file("o.bin"), std::vector<uint8_t>(100, 1));
    OutputFile out = OutputFile::create(dir.file("o.bin"));
    out.close();
    EXPECT_TRUE(readFileBytes(dir.file("o.bin")).empty());
}

TEST(OutputFileTest, CreateInAMissingFolderGivesTheCreateMessage) {
    TempDir dir;
    try {
        OutputFile::create(dir.file("missing/o.bin"));
        FAIL() << "create succeeded";
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + dir.file("missing/o.bin") +
                                             "\". No such file or directory");
    }
}

TEST(OutputFileTest, AFullDiskFailsAtTheFlushWithStreamWriteError) {
    TempDir dir;
    std::filesystem::create_symlink("/dev/full", dir.file("full.bin"));
    OutputFile out = OutputFile::create(dir.file("full.bin"));
    uint8_t byte = 1;
    out.write(&byte, 1);  // buffered: nothing reaches the device yet
    try {
        out.close();
        FAIL() << "close succeeded on a full disk";
    } catch (const FileError& e) {
        EXPECT_STREQ(e.what(), "Stream write error");
    }
    EXPECT_FALSE(out.isOpen());
}

TEST(OutputFileTest, AFullDiskFailsALargeWriteAtOnce) {
    TempDir dir;
    std::filesystem::create_symlink("/dev/full", dir.file("full.bin"));
    OutputFile out = OutputFile::create(dir.file("full.bin"));
    std::vector<uint8_t> large(OutputFile::kBufferSize * 2);
    EXPECT_THROW(out.write(large.data(), large.size()), FileError);
}

TEST(FileExistsTest, FoldersAreNotFiles) {
    TempDir dir;
    EXPECT_FALSE(fileExists(dir.path()));
    EXPECT_FALSE(fileExists(dir.file("x")));
    writeFileBytes(dir.file("x"), {});
    EXPECT_TRUE(fileExists(dir.file("x")));
}

}  // namespace
}  // namespace morvale

namespace morvale {
namespace {

TEST(OutputFileTest, DevicesAreNotLockedSoTwoOutputsCanShareOne) {
    testing::TempDir dir;
    std::filesystem::create_symlink("/dev/null", dir.file("a"));
    std::filesystem::create_symlink("/dev/null", dir.file("b"));
    OutputFile first = OutputFile::create(dir.file("a"));
    EXPECT_NO_THROW(OutputFile::create(dir.file("b")));
}

TEST(OutputFileTest, ASecondExclusiveCreateOfTheSameFileIsRefused) {
    testing::TempDir dir;
    OutputFile first = OutputFile::create(dir.file("o.bin"));
    EXPECT_THROW(OutputFile::create(dir.file("o.bin")), FileError);
}

}  // namespace
}  // namespace morvale
