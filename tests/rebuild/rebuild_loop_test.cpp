// SPDX-License-Identifier: MIT
// The rebuild's pack loop on real files: the final partial pack, chunk boundaries, progress
// with its estimate, Cancel, files beyond 4 GiB, the empty source and read errors.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/clock.h"
#include "rebuild_packs.h"
#include "rebuild_run.h"

namespace morvale::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int64_t kMiB = 1 << 20;
constexpr double kStart = 45000.5;

class RebuildLoop : public ::testing::Test, public RebuildRun {
  protected:
    // n packs alternating between sub-streams 0xC0 and 0xC1, each with its own payload.
    static std::vector<Bytes> alternatingPacks(size_t n) {
        std::vector<Bytes> packs;
        for (size_t k = 0; k < n; ++k)
            packs.push_back(subStreamPack(k % 2 ? 0xC1 : 0xC0, static_cast<uint8_t>(k)));
        return packs;
    }
    // Packs of 0xC1 renumbered to 0xC0; packs of 0xC0 left out.
    static Bytes keptOfAlternating(const std::vector<Bytes>& packs, size_t count) {
        Bytes out;
        for (size_t k = 1; k < count; k += 2) {
            const Bytes p = patched(packs[k], kSubStreamIdAt, 0xC0);
            out.insert(out.end(), p.begin(), p.end());
        }
        return out;
    }
    void keepOnlyC1() {
        audio(0, 0xC0, false);
        audio(1, 0xC1, true);
    }
};

// ---- The final partial pack ----

TEST_F(RebuildLoop, AFinalPartialPackIsTestedOnItsOwnBytesAndOnlyTheyAreWritten) {
    keepOnlyC1();
    const Bytes c1 = subStreamPack(0xC1, 1);
    // 1,000 bytes: its own sub-stream id decides.
    EXPECT_EQ(run(joined({c1, firstBytes(subStreamPack(0xC1, 2), 1000)})),
              joined({patched(c1, kSubStreamIdAt, 0xC0),
                      patched(firstBytes(subStreamPack(0xC1, 2), 1000), kSubStreamIdAt, 0xC0)}));
    EXPECT_EQ(run(joined({c1, firstBytes(subStreamPack(0xC0, 2), 1000)})),
              patched(c1, kSubStreamIdAt, 0xC0));
}

TEST_F(RebuildLoop, AFinalPartialPackSeesThePackBeforeBehindItsOwnBytes) {
    keepOnlyC1();
    // 20 bytes end before the header length and the sub-stream id: those are the previous
    // pack's, as the rules left them (0xC1 already rewritten to 0xC0, which is unticked).
    const Bytes c1 = subStreamPack(0xC1, 1);
    const Bytes c0 = subStreamPack(0xC0, 2);
    EXPECT_EQ(run(joined({c1, firstBytes(c1, 20)})), patched(c1, kSubStreamIdAt, 0xC0));

    // After a pack of another stream that was left out with its id unchanged (0xC0, unticked
    // and never numbered), the partial pack is left out too.
    EXPECT_EQ(run(joined({c1, c0, firstBytes(c1, 20)})), patched(c1, kSubStreamIdAt, 0xC0));

    // After a kept VC-1 pack, the bytes at the sub-stream id's offset belong to that pack's
    // payload: no rule matches the 20-byte private stream 1 pack, and it is kept.
    video(0, 0x55, true);
    const Bytes v = vc1Pack(0x55, 3);
    ASSERT_EQ(slotFor(IdCarrier::SubStreamId, v[kSubStreamIdAt + 3]), std::nullopt);
    EXPECT_EQ(run(joined({v, firstBytes(c1, 20)})), joined({v, firstBytes(c1, 20)}));
}

TEST_F(RebuildLoop, PacksAcrossChunkBoundariesAndAPartialPackStartingAChunk) {
    audio(0, 0xC0, true);
    audio(1, 0xC1, false);
    // 127 packs fill one read: with 127 and 254 packs the partial pack starts the next read
    // and must still see the last pack of the one before.
    for (size_t count : {126u, 127u, 128u, 254u, 255u}) {
        const std::vector<Bytes> packs = alternatingPacks(count);
        Bytes source = joined(packs);
        // 20 bytes of a 0xC1 pack: the id at the previous pack's offset decides, kept after
        // a pack of 0xC0 and left out after one of 0xC1.
        source.insert(source.end(), packs[1].begin(), packs[1].begin() + 20);
        Bytes expected;
        for (size_t k = 0; k < count; k += 2)
            expected.insert(expected.end(), packs[k].begin(), packs[k].end());
        if ((count - 1) % 2 == 0)
            expected.insert(expected.end(), packs[1].begin(), packs[1].begin() + 20);
        EXPECT_EQ(run(source), expected) << count << " packs";
        EXPECT_EQ(endPosition, static_cast<int64_t>(source.size()));
    }
}

// ---- Progress and Cancel ----

TEST_F(RebuildLoop, ProgressEvery4MiBWithItsOwnEstimate) {
    // A sparse 1 GiB file of zeros: no pack is written, every 4 MiB is a progress point.
    const std::string path = dir.file("FEATURE_1.EVO");
    writeSparseFile(path, 1024 * kMiB);
    int calls = 0;
    host.nowDays = [&] { return kStart + 60.0 * calls++ / kSecondsPerDay; };  // 60 s per call

    EXPECT_THAT(runFile(path), IsEmpty());

    ASSERT_EQ(host.progressTexts.size(), 256u);
    EXPECT_EQ(host.pumpCount, 256);
    // 60 s for 4 MiB of 1,024: 15,360 s in all, 15,301 s (4:15:01) left.
    EXPECT_EQ(host.progressTexts[0],
              "Rebuilding FEATURE_1.EVO 4/1024 Mbytes, Remaining time: 4:15:01");
    // 120 s for 8 MiB: 15,360 - 120 + 1 s.
    EXPECT_EQ(host.progressTexts[1],
              "Rebuilding FEATURE_1.EVO 8/1024 Mbytes, Remaining time: 4:14:01");
    EXPECT_EQ(host.progressTexts[255],
              "Rebuilding FEATURE_1.EVO 1024/1024 Mbytes, Remaining time: 0:00:01");
    EXPECT_THAT(host.cancelEnabledChanges, ElementsAre(true, false));
    EXPECT_TRUE(state.confirmCancel);
}

TEST_F(RebuildLoop, NoProgressUnder4MiBAndAStartTimePerCall) {
    keepOnlyC1();
    int calls = 0;
    host.nowDays = [&] { return kStart + 60.0 * calls++ / kSecondsPerDay; };  // 60 s per call
    const std::vector<Bytes> packs = alternatingPacks(2047);
    EXPECT_EQ(run(joined(packs)), keptOfAlternating(packs, 2047));
    EXPECT_THAT(host.progressTexts, IsEmpty());
    EXPECT_EQ(host.pumpCount, 0);

    // A second call (the second part) starts its estimate afresh: 60 s for 4 MiB of 8.
    writeSparseFile(dir.file("b.evo"), 8 * kMiB);
    runFile(dir.file("b.evo"));
    ASSERT_EQ(host.progressTexts.size(), 2u);
    EXPECT_EQ(host.progressTexts[0], "Rebuilding b.evo 4/8 Mbytes, Remaining time: 0:01:01");
}

TEST_F(RebuildLoop, CancelStopsAfterThePackAtTheProgressPoint) {
    keepOnlyC1();
    const std::vector<Bytes> packs = alternatingPacks(4096);
    state.cancelRequested = true;  // left by an earlier run: cleared at the start
    state.confirmCancel = false;
    host.onPump = [&] { state.cancelRequested = true; };

    const Bytes out = run(joined(packs));

    EXPECT_EQ(out, keptOfAlternating(packs, 2048));
    EXPECT_EQ(endPosition, 4 * kMiB);
    EXPECT_EQ(host.pumpCount, 1);
    EXPECT_TRUE(state.cancelRequested);
    EXPECT_TRUE(state.confirmCancel);
    EXPECT_THAT(host.cancelEnabledChanges, ElementsAre(true, false));
}

TEST_F(RebuildLoop, PositionsAndSizesBeyond4GiB) {
    audio(3, 0xC3, true);
    const std::string path = dir.file("huge.evo");
    const int64_t size = 4096 * kMiB + 8 * kMiB + 100;
    const Bytes a = subStreamPack(0xC3, 1);
    const Bytes b = subStreamPack(0xC3, 2);
    writeSparseFile(path, static_cast<uint64_t>(size),
                    {{static_cast<uint64_t>(4096 * kMiB - 2048), a},
                     {static_cast<uint64_t>(4096 * kMiB + 4 * kMiB), b}});
    SourceFile source = SourceFile::open(path, ShareMode::Exclusive);
    source.seek(4088 * kMiB);
    OutputFile out = OutputFile::create(dir.file("out.evo"));
    Rebuild(state, host, source, out, numbering);
    out.close();

    EXPECT_EQ(source.position(), size);
    EXPECT_EQ(output(),
              joined({patched(a, kSubStreamIdAt, 0xC0), patched(b, kSubStreamIdAt, 0xC0)}));
    ASSERT_EQ(host.progressTexts.size(), 4u);
    EXPECT_EQ(host.progressTexts[0].substr(0, 30), "Rebuilding huge.evo 4092/4104 ");
    EXPECT_EQ(host.progressTexts[3].substr(0, 30), "Rebuilding huge.evo 4104/4104 ");
}

// ---- Empty sources and read errors ----

TEST_F(RebuildLoop, AnEmptySourceWritesNothingAndShowsNoProgress) {
    EXPECT_THAT(run(Bytes{}), IsEmpty());
    EXPECT_EQ(endPosition, 0);
    EXPECT_THAT(host.progressTexts, IsEmpty());
    EXPECT_EQ(host.pumpCount, 0);
    EXPECT_THAT(host.cancelEnabledChanges, ElementsAre(true, false));
}

TEST_F(RebuildLoop, AReadThatDeliversNothingBeforeTheEndIsAStreamReadError) {
    keepOnlyC1();
    const std::vector<Bytes> packs = alternatingPacks(4096);
    const std::string path = dir.file("source.evo");
    writeFileBytes(path, joined(packs));
    // Another program cuts the file to 2 MiB while the rebuild is at 4 MiB: the size is now
    // below the position, and reading there delivers nothing.
    host.onPump = [&] { ASSERT_EQ(::truncate(path.c_str(), 2 * kMiB), 0); };
    try {
        runFile(path);
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
    EXPECT_EQ(output(), keptOfAlternating(packs, 2048));  // what was written stays
    EXPECT_THAT(host.cancelEnabledChanges, ElementsAre(true));
}

TEST_F(RebuildLoop, AFileCutShortWhileEventsArePumpedIsAStreamReadError) {
    keepOnlyC1();
    const std::vector<Bytes> packs = alternatingPacks(4096);
    const std::string path = dir.file("source.evo");
    writeFileBytes(path, joined(packs));
    // Cut to 4 MiB + 3 packs + 100 bytes at the first progress point: the file became shorter
    // than it was, so what follows it is no longer the file the rebuild began to copy.
    host.onPump = [&] { ASSERT_EQ(::truncate(path.c_str(), 4 * kMiB + 3 * 2048 + 100), 0); };
    try {
        runFile(path);
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
        EXPECT_NE(e.logLine().find("shorter"), std::string::npos) << e.logLine();
    }
    EXPECT_EQ(output(), keptOfAlternating(packs, 2048));  // what was written stays
}

}  // namespace
}  // namespace morvale::testing
