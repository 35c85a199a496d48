// SPDX-License-Identifier: MIT
// The file layer with its threads (a source read ahead, outputs written behind) against the
// same calls without them: the same bytes for every pattern of reads, the same read failing
// at an unreadable byte, a file changed while read read as it is then, and outputs that hold
// the same bytes when a disk fills up in the middle of a run.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/file.h"
#include "support/file_fault_scopes.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr int64_t kBlock = 0x40000;
constexpr int64_t kMiB = 0x100000;
constexpr FileThreads kModes[] = {FileThreads::None, FileThreads::Background};

Bytes numbered(size_t n, unsigned seed) {
    Bytes bytes(n);
    uint32_t x = seed * 2654435761u + 1;
    for (uint8_t& byte : bytes) {
        x = x * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(x >> 24);
    }
    return bytes;
}

// ---- Reads ----

// One call on a source: read(n), readSomeInPlace(n), seek(n), or a seek to where the reads
// got to (as the rebuild does after every chunk).
struct Step {
    enum Kind { Read, InPlace, Seek, SeekHere } kind;
    int64_t n = 0;
};

// What a call saw: the position after it and the bytes it returned.
struct Seen {
    int64_t position;
    Bytes bytes;
    bool operator==(const Seen&) const = default;
};

struct ReadPattern {
    const char* name;
    std::vector<Step> steps;
    int repeat;  // the steps, this many times over
};

const ReadPattern kReadPatterns[] = {
    {"engine blocks", {{Step::InPlace, kBlock}}, 13},
    {"rebuild chunks", {{Step::Read, 127 * 2048}, {Step::SeekHere}}, 13},
    {"odd sizes",
     {{Step::Read, 1}, {Step::InPlace, 7}, {Step::Read, 300001}, {Step::InPlace, 70000}},
     8},
    {"in place across blocks", {{Step::Read, 1000}, {Step::InPlace, kBlock}}, 12},
    {"seeks back and forth",
     {{Step::Read, 100000},
      {Step::Seek, 50},
      {Step::InPlace, kBlock},
      {Step::Seek, 2 * kMiB + 3},
      {Step::Read, 300000},
      {Step::Seek, 0},
      {Step::InPlace, kBlock}},
     2},
};

class FileThreadsTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::string path = dir.file("source.evo");
    Bytes content = numbered(3 * kMiB + 1000, 5);

    void SetUp() override { writeFileBytes(path, content); }

    // The calls until they are done or a read throws; `error` tells the call that threw.
    std::vector<Seen> readIn(FileThreads mode, const ReadPattern& pattern, int* error = nullptr) {
        FileThreadsMode threads(mode);
        SourceFile file = SourceFile::open(path, ShareMode::Shared);
        std::vector<Seen> seen;
        Bytes buffer(4 * kBlock);
        for (int round = 0; round < pattern.repeat; ++round) {
            for (const Step& step : pattern.steps) {
                try {
                    std::span<const uint8_t> got;
                    if (step.kind == Step::Seek || step.kind == Step::SeekHere)
                        file.seek(step.kind == Step::Seek ? step.n : file.position());
                    else if (step.kind == Step::Read)
                        got = {buffer.data(), size_t(file.read(buffer.data(), step.n))};
                    else
                        got = file.readSomeInPlace(buffer.data(), step.n);
                    seen.push_back({file.position(), Bytes(got.begin(), got.end())});
                } catch (const FileError& e) {
                    EXPECT_STREQ(e.what(), "Stream read error");
                    if (error != nullptr) *error = static_cast<int>(seen.size());
                    return seen;
                }
            }
        }
        return seen;
    }

    // Every call saw the file's own bytes, those before the position it left.
    void expectFileBytes(const std::vector<Seen>& seen) const {
        for (const Seen& s : seen) {
            const auto end = content.begin() + s.position;
            ASSERT_TRUE(s.bytes == Bytes(end - std::ssize(s.bytes), end)) << s.position;
        }
    }
};

TEST_F(FileThreadsTest, EveryPatternOfReadsSeesTheSameBytesWithAndWithoutReadAhead) {
    for (const ReadPattern& pattern : kReadPatterns) {
        SCOPED_TRACE(pattern.name);
        const std::vector<Seen> plain = readIn(FileThreads::None, pattern);
        const std::vector<Seen> ahead = readIn(FileThreads::Background, pattern);
        EXPECT_EQ(ahead, plain);
        expectFileBytes(ahead);
        EXPECT_EQ(ahead.size(), pattern.steps.size() * size_t(pattern.repeat));
    }
}

// The read that reaches an unreadable byte fails, in the same call, wherever the byte lies
// among the blocks read ahead; the reads before it deliver everything up to it.
TEST_F(FileThreadsTest, AReadErrorFailsTheSameReadWithAndWithoutReadAhead) {
    for (const ReadPattern& pattern : {kReadPatterns[0], kReadPatterns[2], kReadPatterns[3]}) {
        for (int64_t at : {0l, 1000l, kBlock, 3 * kBlock + 5, 2 * kMiB, 3 * kMiB + 999}) {
            SCOPED_TRACE(std::string(pattern.name) + ", unreadable at " + std::to_string(at));
            InjectedFileFaults faults({.readPath = path, .readFailsAt = at});
            int plainError = -1, aheadError = -1;
            const std::vector<Seen> plain = readIn(FileThreads::None, pattern, &plainError);
            const std::vector<Seen> ahead = readIn(FileThreads::Background, pattern, &aheadError);
            EXPECT_EQ(ahead, plain);
            EXPECT_EQ(aheadError, plainError);
            EXPECT_LE(ahead.empty() ? 0 : ahead.back().position, at);
        }
    }
}

// A source still being written seems to end once (its writer has not caught up yet): the read
// that meets that end stops there, with or without the read-ahead, and the next one goes on.
TEST_F(FileThreadsTest, AnEndMetOnceEndsTheSameReadWithAndWithoutReadAhead) {
    for (const ReadPattern& pattern : {kReadPatterns[0], kReadPatterns[1], kReadPatterns[2]}) {
        for (int64_t at : {1000l, kBlock, 3 * kBlock + 5, 2 * kMiB + 2048}) {
            SCOPED_TRACE(std::string(pattern.name) + ", seems to end at " + std::to_string(at));
            int plainError = -1, aheadError = -1;
            std::vector<Seen> plain, ahead;
            {
                InjectedFileFaults faults({.pausePath = path, .pauseAt = at});
                plain = readIn(FileThreads::None, pattern, &plainError);
            }
            {
                InjectedFileFaults faults({.pausePath = path, .pauseAt = at});
                ahead = readIn(FileThreads::Background, pattern, &aheadError);
            }
            EXPECT_EQ(ahead, plain);
            EXPECT_EQ(aheadError, plainError);
            expectFileBytes(ahead);
            // Some read stopped at the end it met.
            EXPECT_TRUE(std::any_of(plain.begin(), plain.end(),
                                    [&](const Seen& s) { return s.position == at; }));
        }
    }
}

// Another program changes the source after the first block was read: what is read after that
// is the file as it is then, as when every read reads the file.
TEST_F(FileThreadsTest, AFileChangedWhileReadIsReadAsItIsThen) {
    const Bytes grown = [&] {
        Bytes more = numbered(kMiB + 17, 9);
        more.insert(more.begin(), content.begin(), content.end());
        return more;
    }();
    const Bytes cut(content.begin(), content.begin() + kMiB + kBlock / 2);
    Bytes rewritten = numbered(content.size(), 11);
    std::copy(content.begin(), content.begin() + kMiB, rewritten.begin());
    for (const Bytes* changed : {&grown, &cut, static_cast<const Bytes*>(&rewritten)}) {
        for (FileThreads mode : kModes) {
            SCOPED_TRACE(std::to_string(changed->size()) + " bytes, mode " +
                         std::to_string(int(mode)));
            writeFileBytes(path, content);
            // An old modification time, so the change shows even within the clock's tick.
            const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
            FileThreadsMode threads(mode);
            SourceFile file = SourceFile::open(path, ShareMode::Shared);
            Bytes got(kBlock);
            ASSERT_EQ(file.read(got.data(), kBlock), kBlock);
            if (changed == &cut)
                std::filesystem::resize_file(path, cut.size());
            else
                writeFileBytes(path, *changed);
            Bytes block(kBlock);
            while (const int64_t n = file.read(block.data(), kBlock))
                got.insert(got.end(), block.begin(), block.begin() + n);
            EXPECT_TRUE(got == *changed);
        }
    }
}

// A source cut while it is read is a read error, not an early end: a size below one told
// before, or below what was read already, fails the size query. A source that grows is read on.
TEST_F(FileThreadsTest, ASourceCutWhileItIsReadFailsAndOneThatGrowsIsReadOn) {
    struct Case {
        const char* name;
        int64_t newSize;
        bool sizeToldFirst;  // the size was asked before the first read
        bool fails;
    };
    const int64_t whole = std::ssize(content);
    const Case cases[] = {
        {"cut behind the position", 2 * kMiB, true, true},
        {"cut at the position", kMiB, true, true},
        {"cut before the position", kMiB / 2, true, true},
        {"cut before the position, no size told", kMiB / 2, false, true},
        {"cut behind the position, no size told", 2 * kMiB, false, false},
        {"left as it is", whole, true, false},
        {"grown", whole + kMiB + 5, true, false},
    };
    const Bytes more = numbered(2 * kMiB, 21);
    for (const Case& c : cases) {
        for (const FileThreads mode : kModes) {
            SCOPED_TRACE(std::string(c.name) + (mode == FileThreads::None ? "" : ", threads"));
            writeFileBytes(path, content);
            FileThreadsMode threads(mode);
            SourceFile file = SourceFile::open(path, ShareMode::Shared);
            if (c.sizeToldFirst) {
                EXPECT_EQ(file.size(), whole);
            }
            Bytes got(kMiB), block(kBlock);
            ASSERT_EQ(file.read(got.data(), kMiB), kMiB);
            // Cut or added to in place, as another program would, with no moment between.
            Bytes changed(content.begin(), content.begin() + std::min(c.newSize, whole));
            if (c.newSize < whole) std::filesystem::resize_file(path, c.newSize);
            if (c.newSize > whole) {
                const Bytes added(more.begin(), more.begin() + (c.newSize - whole));
                std::ofstream(path, std::ios::binary | std::ios::app)
                    .write(reinterpret_cast<const char*>(added.data()), std::ssize(added));
                changed.insert(changed.end(), added.begin(), added.end());
            }
            std::string reason;
            try {
                // The engine's loop: read on while the position is below the size.
                while (file.position() < file.size()) {
                    const std::span<const uint8_t> bytes =
                        file.readSomeInPlace(block.data(), kBlock);
                    got.insert(got.end(), bytes.begin(), bytes.end());
                }
            } catch (const FileError& error) {
                EXPECT_STREQ(error.what(), "Stream read error");
                reason = error.reason();
            }
            EXPECT_EQ(reason, c.fails ? "the file became shorter while it was read" : "");
            if (!c.fails) {
                EXPECT_TRUE(got == changed);
            }
        }
    }
}

// ---- Writes ----

// A run's writes over three outputs: pieces of many sizes, now and then one larger than any
// buffer, in an order that mixes the outputs.
struct Piece {
    int output;
    size_t size;
};

std::vector<Piece> runOfPieces() {
    std::vector<Piece> pieces;
    uint32_t x = 7;
    for (int i = 0; i < 3000; ++i) {
        x = x * 1664525u + 1013904223u;
        const int output = (x >> 8) % 10 < 7 ? 0 : 1 + static_cast<int>((x >> 12) % 2);
        const size_t size = i % 500 == 499 ? OutputFile::kBufferSize + 3000 : 1 + (x >> 16) % 9000;
        pieces.push_back({output, size});
    }
    return pieces;
}

struct WriteFault {
    const char* name;
    int output;     // -1: none
    int64_t limit;  // the disk is full once the output holds this many bytes
};

// How a run of writes ended.
struct WriteRun {
    std::vector<Bytes> outputs;
    size_t piecesWritten = 0;  // before a write threw
    bool failed = false;       // at a write, at finishOutputWrites or at a close
};

class WriteBehindTest : public FileThreadsTest {
  protected:
    const std::vector<Piece> pieces = runOfPieces();
    const Bytes source = numbered(OutputFile::kBufferSize + 9000, 3);

    std::string output(int k) const { return dir.file("out" + std::to_string(k) + ".bin"); }

    size_t bytesFor(int k) const {
        size_t total = 0;
        for (const Piece& piece : pieces)
            total += piece.output == k ? piece.size : 0;
        return total;
    }

    WriteRun writeIn(FileThreads mode, const WriteFault& fault) {
        FileFaults faults;
        if (fault.output >= 0)
            faults = {.writePath = output(fault.output), .writeLimit = fault.limit};
        InjectedFileFaults faultScope(faults);
        FileThreadsMode threads(mode);
        WriteRun run;
        {
            std::vector<OutputFile> outputs;
            for (int k = 0; k < 3; ++k)
                outputs.push_back(OutputFile::create(output(k)));
            try {
                for (const Piece& piece : pieces) {
                    outputs[piece.output].write(source.data(), piece.size);
                    ++run.piecesWritten;
                }
                finishOutputWrites();
                for (OutputFile& file : outputs)
                    file.close();
            } catch (const FileError& e) {
                EXPECT_STREQ(e.what(), "Stream write error");
                run.failed = true;
            }
        }  // the outputs close
        for (int k = 0; k < 3; ++k)
            run.outputs.push_back(readFileBytes(output(k)));
        return run;
    }
};

// The outputs end as if the run had stopped at the failed write, as it does when it writes
// them itself: the failed output holds what fitted, the others what they were given before.
// The failure shows at that write or later, by finishOutputWrites at the latest.
TEST_F(WriteBehindTest, OutputsHoldTheSameBytesWithAndWithoutWriteBehindWhenADiskFills) {
    const WriteFault faults[] = {
        {"no fault", -1, -1},
        {"at once", 0, 0},
        {"in the first buffer", 1, 1000},
        {"at a buffer's end", 0, static_cast<int64_t>(OutputFile::kBufferSize)},
        {"in a large piece", 0, 2 * kMiB + 12345},
        {"late", 2, static_cast<int64_t>(bytesFor(2) * 3 / 4)},
        {"at the closing flush", 0, static_cast<int64_t>(bytesFor(0)) - 10},
    };
    for (const WriteFault& fault : faults) {
        SCOPED_TRACE(fault.name);
        const WriteRun plain = writeIn(FileThreads::None, fault);
        const WriteRun behind = writeIn(FileThreads::Background, fault);
        EXPECT_EQ(plain.failed, fault.output >= 0);
        EXPECT_EQ(behind.failed, plain.failed);
        EXPECT_GE(behind.piecesWritten, plain.piecesWritten);
        for (int k = 0; k < 3; ++k)
            EXPECT_TRUE(behind.outputs[k] == plain.outputs[k]) << "output " << k;
        if (fault.output >= 0) {
            EXPECT_EQ(plain.outputs[fault.output].size(), static_cast<size_t>(fault.limit));
        }
    }
}

}  // namespace
}  // namespace morvale::testing
