// SPDX-License-Identifier: MIT
// The pack-by-pack rebuild over arbitrary bytes.
//
// Input: 7 control bytes (41 when byte 0 asks for given tables), then the source.
//   0     bits 0-1: the identifier tables: 1 = given by bytes 7-40 (0xFF is -1), 2 = the
//         marks Read XPL leaves (1 for each ticked slot), otherwise a Scan of the source as
//         Read EVO leaves them (of the second part when there are two)
//         bits 2-3: the source is the data once (0, 3), twice (1), or repeated beyond one
//         read chunk (2)
//         bit 4: the source is a feature in two parts, cut where byte 6 says
//   1     video ticks (bits 0-1); 2-3 audio ticks; 4-5 subpicture ticks (slots 0-15)
//   6     where the feature is cut (a share of the source's length)
//   7-40  video slots 0-1, audio slots 0-15, subpicture slots 0-15 (with bit 0 = 1)
//
// Rebuild runs over each part into one output with one numbering, as the command runs it.
// Checked: the output of each part is never longer than the part; it is a run of whole packs
// of the part, in order, each starting 00 00 01 BA and differing from its source pack only
// in the bytes the rules rewrite (the two bounds of a system header, and of each packet the
// pack holds the stream id and the bytes where a sub-stream or extension id may lie),
// possibly followed by the part's final short pack; and it is byte for byte what a plain
// pack-at-a-time loop of rebuildPack writes, so reading in large chunks changes nothing.

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "engine/demux.h"
#include "engine_checks.h"
#include "fuzz_support.h"
#include "output_set.h"
#include "platform/file.h"
#include "rebuild/rebuild.h"
#include "support/recording_engine_host.h"

namespace morvale::fuzzing {
namespace {

using morvale::testing::RecordingEngineHost;

constexpr size_t kControlBytes = 7;
constexpr size_t kTableBytes = 2 + 16 + 16;
constexpr size_t kPack = kPackSize;
constexpr std::array<uint8_t, 4> kPackStartCode = {0x00, 0x00, 0x01, 0xBA};
// A little more than one read of the rebuild (127 packs).
constexpr size_t kBeyondOneChunk = 128 * kPack + 100;

enum class Tables { Scanned, Given, PlaylistMarks };

Tables tablesOf(uint8_t control) {
    switch (control & 3) {
        case 1:
            return Tables::Given;
        case 2:
            return Tables::PlaylistMarks;
        default:
            return Tables::Scanned;
    }
}

Bytes sourceOf(std::span<const uint8_t> data, uint8_t control) {
    Bytes source(data.begin(), data.end());
    const int repeats = (control >> 2) & 3;
    if (data.empty() || (repeats != 1 && repeats != 2)) return source;
    do {
        source.insert(source.end(), data.begin(), data.end());
    } while (repeats == 2 && source.size() < kBeyondOneChunk);
    return source;
}

void setTicks(RecordingEngineHost& host, const ControlBytes& control) {
    for (int k = 0; k < 2; ++k)
        host.videoTicks[k] = (control[1] >> k) & 1;
    for (int k = 0; k < 16; ++k) {
        host.audioTicks[k] = (control.mask16(2) >> k) & 1;
        host.subpictureTicks[k] = (control.mask16(4) >> k) & 1;
    }
}

int32_t givenEntry(uint8_t b) {
    return b == 0xFF ? -1 : b;
}

void setTables(EngineLedger& state, const RecordingEngineHost& host, const ControlBytes& control,
               const std::vector<const MemoryFile*>& parts) {
    switch (tablesOf(control[0])) {
        case Tables::Given:
            for (size_t k = 0; k < 2; ++k)
                state.videoStreamIds[k] = givenEntry(control[7 + k]);
            for (size_t k = 0; k < 16; ++k) {
                state.audioStreamIds[k] = givenEntry(control[9 + k]);
                state.subpictureStreamIds[k] = givenEntry(control[25 + k]);
            }
            break;
        case Tables::PlaylistMarks:
            for (size_t k = 0; k < 2; ++k)
                state.videoStreamIds[k] = host.videoTicks[k] ? 1 : -1;
            for (size_t k = 0; k < 16; ++k) {
                state.audioStreamIds[k] = host.audioTicks[k] ? 1 : -1;
                state.subpictureStreamIds[k] = host.subpictureTicks[k] ? 1 : -1;
            }
            break;
        case Tables::Scanned: {
            RecordingEngineHost scanHost;
            for (const MemoryFile* part : parts) {
                SourceFile source = SourceFile::open(part->path(), ShareMode::Shared);
                demux(state, scanHost, source, EngineMode::Scan);
            }
            break;
        }
    }
}

// The rebuild as a plain loop, one pack at a time, a final short pack laid over the pack
// before it.
Bytes packByPack(std::span<const uint8_t> part, const EngineLedger& state,
                 const RecordingEngineHost& host, RebuildNumbering& numbering,
                 std::array<uint8_t, kPack>& previous) {
    Bytes out;
    for (size_t offset = 0; offset < part.size(); offset += kPack) {
        const size_t n = std::min(kPack, part.size() - offset);
        std::memcpy(previous.data(), part.data() + offset, n);
        if (rebuildPack(previous.data(), state, host, numbering)) {
            out.insert(out.end(), previous.begin(), previous.begin() + static_cast<long>(n));
        }
    }
    return out;
}

// The bytes of a pack the rules may rewrite: the system header bounds, and for the first
// packet (at 14, start code or not) and each packet after it that begins with a start code,
// its stream id and the two bytes after its PES header.
std::vector<bool> rewritableBytes(std::span<const uint8_t> pack) {
    std::vector<bool> rewritable(pack.size() + 2 + 256, false);
    rewritable[23] = rewritable[24] = true;
    auto byteAt = [&](size_t i) -> size_t { return i < pack.size() ? pack[i] : 0; };
    size_t at = 14;
    do {
        const size_t h = byteAt(at + 8);
        rewritable[at + 3] = rewritable[at + 8 + h] = rewritable[at + 9 + h] = true;
        at += 6 + (byteAt(at + 4) << 8 | byteAt(at + 5));
    } while (at + 9 < pack.size() && pack[at] == 0 && pack[at + 1] == 0 && pack[at + 2] == 1);
    return rewritable;
}

// A rebuilt pack is its source pack with at most the rewritable bytes changed.
bool rewriteOf(std::span<const uint8_t> rebuilt, std::span<const uint8_t> source) {
    if (rebuilt.size() != source.size()) return false;
    const std::vector<bool> rewritable = rewritableBytes(source);
    for (size_t i = 0; i < rebuilt.size(); ++i) {
        if (rebuilt[i] != source[i] && !rewritable[i]) return false;
    }
    return true;
}

bool startsLikeAPack(std::span<const uint8_t> bytes) {
    const size_t n = std::min(bytes.size(), kPackStartCode.size());
    return std::equal(bytes.begin(), bytes.begin() + static_cast<long>(n), kPackStartCode.begin());
}

void checkWholePacks(std::span<const uint8_t> rebuilt, std::span<const uint8_t> part) {
    FUZZ_CHECK(rebuilt.size() <= part.size());
    const size_t shortLength = part.size() % kPack;
    const size_t fullInPart = part.size() / kPack;
    FUZZ_CHECK(rebuilt.size() % kPack == 0 || rebuilt.size() % kPack == shortLength);

    size_t next = 0;  // the next source pack a rebuilt pack may come from
    for (size_t at = 0; at + kPack <= rebuilt.size(); at += kPack) {
        const auto pack = rebuilt.subspan(at, kPack);
        FUZZ_CHECK(startsLikeAPack(pack));
        while (next < fullInPart && !rewriteOf(pack, part.subspan(next * kPack, kPack)))
            ++next;
        FUZZ_CHECK(next < fullInPart);
        ++next;
    }
    if (rebuilt.size() % kPack != 0) {
        const auto tail = rebuilt.last(shortLength);
        FUZZ_CHECK(startsLikeAPack(tail));
        FUZZ_CHECK(rewriteOf(tail, part.last(shortLength)));
    }
}

}  // namespace
}  // namespace morvale::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace morvale;
    using namespace morvale::fuzzing;
    static MemoryFile firstPart;
    static MemoryFile secondPart;
    static OutputChannel output;
    static EngineLedger state;

    const bool givenTables = size > 0 && tablesOf(data[0]) == Tables::Given;
    const ControlBytes control(data, size, kControlBytes + (givenTables ? kTableBytes : 0));
    const Bytes source = sourceOf(control.data(), control[0]);
    const bool twoParts = (control[0] & 0x10) != 0;
    const size_t cut = twoParts ? source.size() * control[6] / 256 : source.size();
    const std::span<const uint8_t> sourceBytes(source);
    const std::vector<std::span<const uint8_t>> parts =
        twoParts ? std::vector{sourceBytes.first(cut), sourceBytes.subspan(cut)}
                 : std::vector{sourceBytes};
    firstPart.assign(parts[0], parts[0].size());
    std::vector<const MemoryFile*> files = {&firstPart};
    if (twoParts) {
        secondPart.assign(parts[1], parts[1].size());
        files.push_back(&secondPart);
    }

    resetEngineState(state);
    RecordingEngineHost host;
    setTicks(host, control);
    setTables(state, host, control, files);

    // A short pack is laid over the pack handled last; before any, over zeros.
    RebuildNumbering numbering;
    std::array<uint8_t, kPackSize> previous = numbering.lastPack;
    RebuildNumbering referenceNumbering;

    output.begin();
    for (size_t k = 0; k < files.size(); ++k) {
        SourceFile part = SourceFile::open(files[k]->path(), ShareMode::Exclusive);
        Rebuild(state, host, part, output.file(), numbering);
        FUZZ_CHECK(part.position() == static_cast<int64_t>(parts[k].size()));
        const Bytes rebuilt = output.collect();
        output.begin();
        checkWholePacks(rebuilt, parts[k]);
        FUZZ_CHECK(rebuilt == packByPack(parts[k], state, host, referenceNumbering, previous));
    }
    FUZZ_CHECK(numbering == referenceNumbering);
    return 0;
}
