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

TEST(FileErrorReasonsTest, FailingReadsAndWritesTellWhyAndOfWhichFile) {
    TempDir dir;
    const std::string source = dir.file("FEATURE_1.EVO");
    const std::string output = dir.file("FEATURE_1.VC-1.stream.0.mpv");
    const std::string other = dir.file("FEATURE_1.DD+.stream.00.ac3");
    const std::string full = dir.file("full.mpv");
    writeFileBytes(source, std::vector<uint8_t>(3 << 20, 0x47));
    std::filesystem::create_symlink("/dev/full", full);
    const std::vector<uint8_t> bytes(2 * OutputFile::kBufferSize, 0xE0);
    struct Case {
        const char* name;
        FileFaults faults;
        std::function<void()> steps;
        Failure failure;
    };
    const Case cases[] = {
        {"a read error",
         {.readPath = source, .readFailsAt = 1 << 20},
         [&] {
             SourceFile file = SourceFile::open(source, ShareMode::Shared);
             std::vector<uint8_t> buffer(1 << 18);
             while (file.position() < file.size())
                 file.readSomeInPlace(buffer.data(), std::ssize(buffer));
         },
         {"Stream read error", "Stream read error: Input/output error (" + source + ")"}},
        {"a size the system cannot tell",
         {.sizePath = source, .sizeFailsAfter = 1},
         [&] {
             SourceFile file = SourceFile::open(source, ShareMode::Shared);
             file.size();
             file.size();
         },
         {"Stream read error", "Stream read error: Input/output error (" + source + ")"}},
        {"a disk that fills up",
         {.writePath = output, .writeLimit = 1000},
         [&] {
             OutputFile file = OutputFile::create(output);
             file.write(bytes.data(), bytes.size());
             file.close();
         },
         {"Stream write error", "Stream write error: No space left on device (" + output + ")"}},
        {"a full device at the closing flush",
         {},
         [&] {
             OutputFile file = OutputFile::create(full);
             file.write(bytes.data(), 10);
             file.close();
         },
         {"Stream write error", "Stream write error: No space left on device (" + full + ")"}},
        {"a failed write seen by another output",
         {.writePath = output, .writeLimit = 0},
         [&] {
             OutputFile failing = OutputFile::create(output);
             OutputFile next = OutputFile::create(other);
             failing.write(bytes.data(), OutputFile::kBufferSize - 10);
             failing.write(bytes.data(), 100);  // hands the full buffer over
             next.write(bytes.data(), 10);
             finishOutputWrites();
             next.close();
         },
         {"Stream write error", "Stream write error: No space left on device (" + output + ")"}},
    };
    for (const Case& c : cases) {
        for (const FileThreads mode : kModes) {
            SCOPED_TRACE(std::string(c.name) + (mode == FileThreads::None ? "" : ", threads"));
            InjectedFileFaults faults(c.faults);
            FileThreadsMode threads(mode);
            const Failure failure = failureOf(c.steps);
            EXPECT_EQ(failure.message, c.failure.message);
            EXPECT_EQ(failure.logLine, c.failure.logLine);
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
