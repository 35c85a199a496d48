// SPDX-License-Identifier: MIT
// Failing reads and writes keep the message the user sees and tell the log why and of which
// file, with and without the file layer's threads; a lock held elsewhere is said in words.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/file.h"
#include "support/file_fault_scopes.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

constexpr FileThreads kModes[] = {FileThreads::None, FileThreads::Background};

struct Failure {
    std::string message;
    std::string logLine;
};

// What `steps` threw (empty when nothing did).
Failure failureOf(const std::function<void()>& steps) {
    try {
        steps();
    } catch (const FileError& error) {
        return {error.what(), error.logLine()};
    }
    return {};
}

// The engine's read loop over a whole source.
void readAll(const std::string& path) {
    SourceFile file = SourceFile::open(path, ShareMode::Shared);
    std::vector<uint8_t> buffer(1 << 18);
    while (file.position() < file.size())
        file.readSomeInPlace(buffer.data(), std::ssize(buffer));
}

TEST(FileErrorReasonsTest, FailingReadsAndWritesTellWhyAndOfWhichFile) {
    TempDir dir;
    const std::string source = dir.file("FEATURE_1.EVO");
    const std::string output = dir.file("FEATURE_1.VC-1.stream.0.mpv");
    const std::string full = dir.file("full.mpv");
    writeFileBytes(source, std::vector<uint8_t>(3 << 20, 0x47));
    std::filesystem::create_symlink("/dev/full", full);
    const std::vector<uint8_t> bytes(2 * OutputFile::kBufferSize, 0xE0);
    const auto write = [&](const std::string& path, size_t n) {
        return [&, path, n] {
            OutputFile file = OutputFile::create(path);
            file.write(bytes.data(), n);
            file.close();
        };
    };
    // A full buffer handed over for writing behind fails after its output went on: the
    // failure shows at another output's write or at finishOutputWrites.
    const auto seenElsewhere = [&] {
        OutputFile failing = OutputFile::create(output);
        OutputFile next = OutputFile::create(dir.file("FEATURE_1.DD+.stream.00.ac3"));
        failing.write(bytes.data(), OutputFile::kBufferSize - 10);
        failing.write(bytes.data(), 100);
        next.write(bytes.data(), 10);
        finishOutputWrites();
    };
    const std::string readError = "Stream read error: Input/output error (" + source + ")";
    const std::string diskFull = "Stream write error: No space left on device (";
    struct Case {
        const char* name;
        FileFaults faults;
        std::function<void()> steps;
        std::string logLine;
    };
    const Case cases[] = {
        {"a read error",
         {.readPath = source, .readFailsAt = 1 << 20},
         [&] { readAll(source); },
         readError},
        {"a size not told",
         {.sizePath = source, .sizeFailsAfter = 1},
         [&] { readAll(source); },
         readError},
        {"a disk that fills up",
         {.writePath = output, .writeLimit = 1000},
         write(output, bytes.size()),
         diskFull + output + ")"},
        {"a full device at the closing flush", {}, write(full, 10), diskFull + full + ")"},
        {"a failure seen by another output",
         {.writePath = output, .writeLimit = 0},
         seenElsewhere,
         diskFull + output + ")"},
    };
    for (const Case& c : cases) {
        for (const FileThreads mode : kModes) {
            SCOPED_TRACE(std::string(c.name) + (mode == FileThreads::None ? "" : ", threads"));
            InjectedFileFaults faults(c.faults);
            FileThreadsMode threads(mode);
            const Failure failure = failureOf(c.steps);
            EXPECT_EQ(failure.logLine, c.logLine);
            EXPECT_EQ(failure.message, c.logLine.substr(0, c.logLine.find(':')));
        }
    }
}

TEST(FileErrorReasonsTest, AFileLockedByAnotherProgramIsSaidInWords) {
    TempDir dir;
    const std::string path = dir.file("FEATURE_1.EVO");
    writeFileBytes(path, {0, 0, 1, 0xBA});
    HeldFile held(path);
    ASSERT_TRUE(held.held());
    const std::string reason = "\". another program has the file open exclusively";
    const Failure openFailure = failureOf([&] { SourceFile::open(path, ShareMode::Exclusive); });
    EXPECT_EQ(openFailure.message, "Cannot open file \"" + path + reason);
    EXPECT_EQ(openFailure.logLine, openFailure.message);
    EXPECT_EQ(failureOf([&] { OutputFile::create(path); }).message,
              "Cannot create file \"" + path + reason);
    EXPECT_EQ(readFileBytes(path).size(), 4u) << "the held file is left as it was";
}

}  // namespace
}  // namespace morvale::testing
