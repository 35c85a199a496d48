// SPDX-License-Identifier: MIT
// A rebuild of a source larger than 4 GiB: the packs it keeps, drops and renumbers beyond the
// 4 GiB mark, the final short pack past it, and the progress it shows. The file is sparse and
// the rebuild starts close to the mark (Rebuild copies from where the source stands).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/engine_ledger.h"
#include "platform/clock.h"
#include "rebuild/rebuild.h"
#include "support/program_stream_builder.h"
#include "support/recording_engine_host.h"
#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

using ::testing::ElementsAre;

constexpr uint64_t kMiB = 1 << 20;
constexpr uint64_t kMark = uint64_t{1} << 32;  // 4 GiB

Bytes audioPack(uint8_t subStreamId, uint8_t seed) {
    return pack({privateStream1Packet(subStreamId, PesHeader().pts(90000), filler(900, seed))});
}

// The pack with its first packet's sub-stream id replaced.
Bytes withSubStreamId(Bytes pack, uint8_t id) {
    pack[23 + pack[22]] = id;
    return pack;
}

TEST(RebuildBeyond4GiB, PacksAroundTheMarkAreKeptDroppedAndRenumberedWithTheWholePosition) {
    TempDir dir;
    const std::string path = dir.file("huge.evo");
    const Bytes first =
        pack({systemHeader(3, 1), pesPacket(0xFD, PesHeader().pts(90000).streamIdExtension(0x55),
                                            pictures(0x0D, 2, 400))});
    const Bytes dropped1 = audioPack(0x80, 1), kept = audioPack(0x81, 2);
    const Bytes subpicture =
        pack({privateStream1Packet(0x20, PesHeader().pts(91000), filler(300, 3))});
    const Bytes dropped2 = audioPack(0x80, 4);
    const Bytes last = audioPack(0x81, 5);
    const uint64_t size = kMark + 8 * kMiB + 700;  // ends in a short pack past the mark
    writeSparseFile(path, size,
                    {{kMark - 8 * kMiB, first},
                     {kMark - 2048, dropped1},
                     {kMark, kept},
                     {kMark + 2048, subpicture},
                     {kMark + 4 * kMiB, dropped2},
                     {kMark + 8 * kMiB, Bytes(last.begin(), last.begin() + 700)}});

    // As the scan left them: VC-1 in video slot 0, Dolby Digital 0x80 and 0x81 in audio
    // slots 0 and 1, subpicture 0x20 in slot 0. Audio slot 0 is unticked.
    EngineLedger state;
    state.videoStreamIds[0] = 0x55;
    state.audioStreamIds[0] = 0x80;
    state.audioStreamIds[1] = 0x81;
    state.subpictureStreamIds[0] = 0x20;
    RecordingEngineHost host;
    host.videoTicks[0] = host.audioTicks[1] = host.subpictureTicks[0] = true;
    // At each progress point as many seconds have passed as MiB have been read.
    const double start = 45000.0;
    double elapsedSeconds = 4092;
    int calls = 0;
    host.nowDays = [&] { return calls++ == 0 ? start : start + elapsedSeconds * kOneSecond; };
    host.onPump = [&] { elapsedSeconds += 4; };

    SourceFile source = SourceFile::open(path, ShareMode::Exclusive);
    source.seek(static_cast<int64_t>(kMark - 8 * kMiB));
    OutputFile output = OutputFile::create(dir.file("huge.rebuilt.EVO"));
    RebuildNumbering numbering;
    Rebuild(state, host, source, output, numbering);
    output.close();

    EXPECT_EQ(static_cast<uint64_t>(source.position()), size);
    Bytes firstRebuilt = first;
    firstRebuilt[23] = static_cast<uint8_t>((first[23] & 0x03) + 4);  // one audio box ticked
    firstRebuilt[24] = static_cast<uint8_t>((first[24] & 0xE0) + 1);  // one video box ticked
    // 0x81 is the first audio stream kept: it becomes 0x80.
    const Bytes lastRebuilt = withSubStreamId(last, 0x80);
    EXPECT_EQ(readFileBytes(dir.file("huge.rebuilt.EVO")),
              concat({firstRebuilt, withSubStreamId(kept, 0x80), subpicture,
                      Bytes(lastRebuilt.begin(), lastRebuilt.begin() + 700)}));
    EXPECT_THAT(host.progressTexts,
                ElementsAre("Rebuilding huge.evo 4092/4104 Mbytes, Remaining time: 0:00:13",
                            "Rebuilding huge.evo 4096/4104 Mbytes, Remaining time: 0:00:09",
                            "Rebuilding huge.evo 4100/4104 Mbytes, Remaining time: 0:00:05",
                            "Rebuilding huge.evo 4104/4104 Mbytes, Remaining time: 0:00:01"));
}

}  // namespace
}  // namespace morvale::testing
