// SPDX-License-Identifier: MIT
// A demux into every output the program has (2 video, 16 audio and 16 subpicture streams)
// by the real morvale-cli, with and without the file layer's threads: the same lines and
// files, and no more than 32 MiB of memory however many outputs are written.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "cli_process.h"
#include "support/program_stream_builder.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

constexpr long kMostKiB = 32 * 1024;

// A sanitizer's own memory says nothing of the program's.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer) || __has_feature(thread_sanitizer);
#else
constexpr bool kSanitized = false;
#endif
constexpr size_t kStreamBytes = 3 * 0x100000 / 2;  // more than a buffer of each output

// The packs of every stream in turn, a pack of each at a time.
Bytes everyStream() {
    std::vector<Bytes> streams;
    for (uint8_t id : {0xE0, 0xE1})
        streams.push_back(packetizeInPacks(id, PesHeader().pts(90000), mpeg2Pictures(1600, 1000)));
    for (int k = 0; k < 16; ++k) {
        streams.push_back(packetizePrivateStream1(static_cast<uint8_t>(0xC0 + k),
                                                  PesHeader().pts(90000 + k),
                                                  filler(kStreamBytes, static_cast<uint8_t>(k))));
        streams.push_back(
            packetizePrivateStream1(static_cast<uint8_t>(0x20 + k), PesHeader().pts(90000 + k),
                                    filler(kStreamBytes, static_cast<uint8_t>(k + 16))));
    }
    Bytes file;
    for (size_t at = 0;; at += kPackSize) {
        bool any = false;
        for (const Bytes& stream : streams) {
            if (at >= stream.size()) continue;
            file.insert(file.end(), stream.begin() + static_cast<ptrdiff_t>(at),
                        stream.begin() + static_cast<ptrdiff_t>(at + kPackSize));
            any = true;
        }
        if (!any) return file;
    }
}

// MORVALE_FILE_THREADS for the children started meanwhile.
class ChildFileThreads {
  public:
    explicit ChildFileThreads(const char* value) { ::setenv("MORVALE_FILE_THREADS", value, 1); }
    ~ChildFileThreads() { ::unsetenv("MORVALE_FILE_THREADS"); }
};

// Demuxes into dir/out, then moves the folder to dir/out-<threads>.
CliResult demuxIn(const TempDir& dir, const char* threads) {
    std::filesystem::create_directory(dir.file("out"));
    ChildFileThreads mode(threads);
    CliResult result =
        runCliProcess({"demux", "--no-fast-check", "-o", dir.file("out"), dir.file("all.evo")});
    std::filesystem::rename(dir.file("out"), dir.file(std::string("out-") + threads));
    return result;
}

TEST(ManyOutputsTest, EveryOutputWrittenAlikeWithAndWithoutThreadsInBoundedMemory) {
    TempDir dir;
    // Written, and its memory handed back, before the children start: a child's peak counts
    // what it shared with this program until it became morvale-cli.
    writeFileBytes(dir.file("all.evo"), everyStream());
    const CliResult plain = demuxIn(dir, "0");
    const CliResult threaded = demuxIn(dir, "1");
    ASSERT_EQ(plain.status, 0) << plain.err;
    ASSERT_EQ(threaded.status, 0) << threaded.err;
    EXPECT_EQ(threaded.out, plain.out);
    if (!kSanitized) {
        EXPECT_LE(plain.peakKiB, kMostKiB);
        EXPECT_LE(threaded.peakKiB, kMostKiB);
    }
    int outputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.file("out-0"))) {
        const std::string name = entry.path().filename().string();
        const Bytes bytes = readFileBytes(entry.path().string());
        EXPECT_GT(bytes.size(), kStreamBytes - 100) << name;
        EXPECT_TRUE(readFileBytes(dir.file("out-1/" + name)) == bytes) << name;
        ++outputs;
    }
    EXPECT_EQ(outputs, 34);
}

}  // namespace
}  // namespace morvale::testing
