// SPDX-License-Identifier: MIT
// The file layer's injected faults, which the commands' failure tests rely on: a read error
// at a chosen byte of one file, and a disk that fills up after a chosen number of bytes.

#include "support/file_faults.h"

#include <gtest/gtest.h>

#include "platform/file.h"
#include "support/file_fault_scopes.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

std::vector<uint8_t> counting(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<uint8_t>(i * 13);
    return bytes;
}

TEST(FileFaults, AReadFailsAtTheChosenByteOfTheChosenFileOnly) {
    TempDir dir;
    const std::vector<uint8_t> bytes = counting(10000);
    writeFileBytes(dir.file("a.evo"), bytes);
    writeFileBytes(dir.file("b.evo"), bytes);
    SourceFile a = SourceFile::open(dir.file("a.evo"), ShareMode::Shared);
    SourceFile b = SourceFile::open(dir.file("b.evo"), ShareMode::Shared);
    std::vector<uint8_t> got(10000);
    {
        InjectedFileFaults faults({.readPath = dir.file("a.evo"), .readFailsAt = 6000});
        EXPECT_EQ(a.read(got.data(), 4000), 4000);
        // The read that crosses byte 6000 fails as a whole, without moving on.
        try {
            a.read(got.data() + 4000, 4000);
            FAIL() << "no error";
        } catch (const FileError& e) {
            EXPECT_STREQ(e.what(), "Stream read error");
        }
        EXPECT_EQ(a.position(), 4000);
        EXPECT_EQ(b.read(got.data(), 10000), 10000);  // another file reads on
        EXPECT_EQ(got, bytes);
    }
    // Without the fault the same read goes through.
    EXPECT_EQ(a.read(got.data(), 6000), 6000);
    EXPECT_EQ(got[0], bytes[4000]);
}

TEST(FileFaults, WritesFailOnceTheFileHoldsTheLimitAndKeepWhatWentBefore) {
    TempDir dir;
    const std::vector<uint8_t> bytes = counting(3 * OutputFile::kBufferSize);
    InjectedFileFaults faults(
        {.writePath = dir.file("out.mpv"), .writeLimit = OutputFile::kBufferSize + 100});
    OutputFile other = OutputFile::create(dir.file("other.mpv"));
    other.write(bytes.data(), bytes.size());
    other.close();
    EXPECT_EQ(readFileBytes(dir.file("other.mpv")), bytes);

    OutputFile out = OutputFile::create(dir.file("out.mpv"));
    out.write(bytes.data(), 1000);
    try {
        out.write(bytes.data() + 1000, bytes.size() - 1000);
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_STREQ(e.what(), "Stream write error");
    }
    out.close();
    EXPECT_EQ(readFileBytes(dir.file("out.mpv")),
              std::vector<uint8_t>(bytes.begin(), bytes.begin() + OutputFile::kBufferSize + 100));
}

TEST(FileFaults, PermissionBitsApplyInsideTheScopeEvenForRoot) {
    TempDir dir;
    openToEveryone(dir.path());
    writeFileBytes(dir.file("closed.evo"), {1, 2, 3});
    ASSERT_EQ(::chmod(dir.file("closed.evo").c_str(), 0), 0);
    {
        PermissionsApply permissions;
        if (!permissions.active()) GTEST_SKIP() << "root may not change its file-system user";
        try {
            SourceFile::open(dir.file("closed.evo"), ShareMode::Shared);
            FAIL() << "opened";
        } catch (const FileError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Cannot open file \"" + dir.file("closed.evo") + "\". Permission denied");
        }
    }
    if (::geteuid() == 0) {
        EXPECT_NO_THROW(SourceFile::open(dir.file("closed.evo"), ShareMode::Shared));
    }
}

}  // namespace
}  // namespace morvale::testing
