// SPDX-License-Identifier: MIT
// The chunked pack loop against a plain rebuild that reads one pack at a time, written here on
// its own: random tables and ticks, random mixes of real and damaged packs (packs of one and
// of two packets), sizes that are not a multiple of 2,048, two parts, and Cancel at a progress
// point.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <random>

#include "support/engine_ledger.h"
#include "rebuild_packs.h"
#include "rebuild_run.h"

namespace morvale::testing {
namespace {

constexpr size_t kProgressBytes = 4 << 20;

struct IdRange {
    uint8_t first, last;
};
// Private stream 1 sub-stream ids by kind.
constexpr IdRange kAudioSubStreams[] = {{0x80, 0x8F}, {0xA0, 0xA7}, {0xB0, 0xB7}, {0xC0, 0xCF}};
constexpr IdRange kSubpictureSubStreams[] = {{0x20, 0x3F}, {0x60, 0x7F}};

template <size_t N>
bool inRanges(uint8_t id, const IdRange (&ranges)[N]) {
    return std::any_of(std::begin(ranges), std::end(ranges),
                       [id](IdRange r) { return id >= r.first && id <= r.last; });
}

enum Kind { kVideo, kAudio, kSubpicture };
// The id spaces: PES stream ids, stream_id_extension values, private stream 1 sub-stream ids.
enum Space { kStreamIds, kExtensions, kSubStreams };

// A packet's identifier: its space and kind, and where it lies in the pack.
struct PacketId {
    Space space;
    Kind kind;
    uint8_t* byte;
};

// One pack at a time: read 2,048 bytes (fewer at the end) into a pack buffer that keeps what
// the previous pack left behind them, apply the rules, write.
class ReferenceRebuild {
  public:
    ReferenceRebuild(const EngineLedger& tables, const RecordingEngineHost& ticks)
        : tables_(tables), ticks_(ticks) {
        for (auto& map : maps)
            map.fill(0xFF);
    }

    std::array<std::array<uint8_t, 256>, 3> maps;
    std::array<uint8_t, 3> counts{};
    size_t endPosition = 0;

    // cancelAt: the progress point (1, 2...) after whose pack the user's Cancel is seen.
    Bytes run(const Bytes& source, int cancelAt = 0) {
        Bytes out;
        size_t position = 0;
        int progressPoints = 0;
        while (position != source.size()) {
            const size_t n = std::min<size_t>(2048, source.size() - position);
            std::memcpy(buffer_.data(), source.data() + position, n);
            position += n;
            const bool cancel = position % kProgressBytes == 0 && ++progressPoints == cancelAt;
            if (keep()) out.insert(out.end(), buffer_.begin(), buffer_.begin() + n);
            if (cancel) break;
        }
        endPosition = position;
        return out;
    }

  private:
    bool keep() {
        uint8_t* p = buffer_.data();
        const uint8_t s = p[17];
        if (s == 0xBB) {
            int video = ticks_.videoTicks[0] + ticks_.videoTicks[1];
            int audio = 0;
            for (bool t : ticks_.audioTicks)
                audio += t;
            p[24] = static_cast<uint8_t>((p[24] & 0xE0) + video);
            p[23] = static_cast<uint8_t>((p[23] & 0x03) + 4 * audio);
        }
        if (!(p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == 0xBA)) return false;
        // The first packet decides; MPEG audio and unknown ids never drop a pack.
        const std::optional<PacketId> first = idAt(p, 14);
        if (first && listed(*first) && !ticked(*first)) return false;
        // Then the packets after it, as far as the pack holds them whole.
        if (first) renumber(*first);
        for (int at = 20 + (p[18] << 8 | p[19]);
             at + 6 <= 2048 && p[at] == 0 && p[at + 1] == 0 && p[at + 2] == 1;) {
            const int end = at + 6 + (p[at + 4] << 8 | p[at + 5]);
            if (end > 2048) break;
            const std::optional<PacketId> id = at + 8 < end ? idAt(p, at) : std::nullopt;
            if (id && id->byte < p + end) renumber(*id);
            at = end;
        }
        return true;
    }

    // The identifier of the packet at `at` as its MPEG-2 header places it.
    static std::optional<PacketId> idAt(uint8_t* p, int at) {
        const uint8_t s = p[at + 3];
        const int h = p[at + 8];
        if (s == 0xBD && inRanges(p[at + 9 + h], kAudioSubStreams)) {
            return PacketId{kSubStreams, kAudio, &p[at + 9 + h]};
        }
        if (s == 0xBD && inRanges(p[at + 9 + h], kSubpictureSubStreams)) {
            return PacketId{kSubStreams, kSubpicture, &p[at + 9 + h]};
        }
        if (s == 0xFD && (p[at + 8 + h] == 0x55 || p[at + 8 + h] == 0x56)) {
            return PacketId{kExtensions, kVideo, &p[at + 8 + h]};
        }
        if (s >= 0xE0 && s <= 0xE3) return PacketId{kStreamIds, kVideo, &p[at + 3]};
        return std::nullopt;
    }

    // Only ids the scan listed, and kept, get a new id, at their first packet in a kept pack.
    void renumber(const PacketId& id) {
        const uint8_t x = *id.byte;
        uint8_t& mapped = maps[id.space][x];
        if (mapped == 0xFF && listed(id) && ticked(id)) {
            const uint8_t c = counts[id.kind]++;
            if (id.kind == kVideo) {
                mapped = static_cast<uint8_t>(x == 0x55 || x == 0x56 ? 0x55 + c : (x & 0xFE) | c);
            } else if (id.kind == kAudio) {
                mapped = static_cast<uint8_t>((x & 0xF0) == 0xC0 ? 0xC0 | c : (x & 0xF8) | c);
            } else {
                mapped = static_cast<uint8_t>((x & 0xE0) | c);
            }
        }
        if (mapped != 0xFF) *id.byte = mapped;
    }

    // The first slot of the kind whose table entry is the id.
    std::optional<int> slotOf(const PacketId& id) const {
        const int slots = id.kind == kVideo ? 2 : 16;
        for (int slot = 0; slot < slots; ++slot) {
            const int32_t entry = id.kind == kVideo   ? tables_.videoStreamIds[slot]
                                  : id.kind == kAudio ? tables_.audioStreamIds[slot]
                                                      : tables_.subpictureStreamIds[slot];
            if (entry == *id.byte) return slot;
        }
        return std::nullopt;
    }
    bool listed(const PacketId& id) const { return slotOf(id).has_value(); }
    bool ticked(const PacketId& id) const {
        const std::optional<int> slot = slotOf(id);
        if (!slot) return true;
        return id.kind == kVideo   ? ticks_.videoTicks[*slot]
               : id.kind == kAudio ? ticks_.audioTicks[*slot]
                                   : ticks_.subpictureTicks[*slot];
    }

    const EngineLedger& tables_;
    const RecordingEngineHost& ticks_;
    std::array<uint8_t, 2048> buffer_{};  // a fresh block buffer is zeroed
};

class RandomSources {
  public:
    explicit RandomSources(uint32_t seed) : random_(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    uint8_t byte() { return static_cast<uint8_t>(below(256)); }

    uint8_t audioId() {
        const IdRange r = kAudioSubStreams[below(4)];
        return static_cast<uint8_t>(r.first + below(r.last - r.first + 1));
    }
    uint8_t subpictureId() {
        const IdRange r = kSubpictureSubStreams[below(2)];
        return static_cast<uint8_t>(r.first + below(r.last - r.first + 1));
    }
    uint8_t videoId() {
        constexpr uint8_t ids[] = {0x55, 0x56, 0xE0, 0xE1, 0xE2, 0xE3};
        return ids[below(6)];
    }

    // Tables as a scan might have left them (ids not always in their own slot) and random ticks.
    void fillTables(EngineLedger& state, RecordingEngineHost& host) {
        for (int slot = 0; slot < 2; ++slot) {
            state.videoStreamIds[slot] = below(3) ? videoId() : -1;
            host.videoTicks[slot] = below(2);
        }
        for (int slot = 0; slot < 16; ++slot) {
            state.audioStreamIds[slot] = below(3) ? audioId() : -1;
            host.audioTicks[slot] = below(2);
            state.subpictureStreamIds[slot] = below(3) ? subpictureId() : -1;
            host.subpictureTicks[slot] = below(2);
        }
    }

    // One 2,048-byte block: mostly packs of the listed kinds, some of other ids, system
    // headers, padding, PES headers with stuffing, and damaged or foreign blocks.
    Bytes block() {
        const uint8_t seed = byte();
        switch (below(12)) {
            case 0:
            case 1:
            case 2:
                return subStreamPack(audioId(), seed, 200 + below(1500));
            case 3:
                return subStreamPack(subpictureId(), seed, 100 + below(1800));
            case 4:
                return below(2) ? vc1Pack(below(4) ? videoId() : byte(), seed)
                                : streamIdPack(below(2) ? videoId() : 0xC0 + below(32), seed);
            case 5: {
                Bytes nav = navigationPack(below(64), below(32));
                nav[23] |= static_cast<uint8_t>(below(4));
                nav[24] = static_cast<uint8_t>((nav[24] & 0x1F) | (below(8) << 5));
                return nav;
            }
            case 6:
                if (below(2))
                    return below(2) ? paddingPack()
                                    : pack({privateStream2Packet(filler(1000, seed))});
                // Packs of two packets: a system header or a stream before another stream.
                return pack(
                    {below(2) ? systemHeader(below(64), below(32))
                              : privateStream1Packet(audioId(), audioHeader(), filler(500, seed)),
                     below(3) ? privateStream1Packet(below(2) ? audioId() : subpictureId(),
                                                     audioHeader(), filler(600, seed))
                              : pesPacket(below(2) ? videoId() : 0xC0 + below(32), videoHeader(),
                                          filler(700, seed))});
            case 7:  // a PES header with stuffing moves the id bytes
                return pack(
                    {privateStream1Packet(below(2) ? audioId() : byte(),
                                          audioHeader().stuffing(below(40)), filler(300, seed))});
            case 8:
                return subStreamPack(byte(), seed);  // any sub-stream id
            case 9: {                                // a pack start code before random bytes
                Bytes b = randomBytes();
                b[0] = 0, b[1] = 0, b[2] = 1, b[3] = 0xBA;
                if (below(2)) b[17] = below(2) ? 0xBD : 0xBB;
                return b;
            }
            case 10:
                return randomBytes();
            default: {  // a real pack with one byte of its start code damaged
                Bytes b = subStreamPack(audioId(), seed);
                b[static_cast<size_t>(below(4))] ^= static_cast<uint8_t>(1 + below(255));
                return b;
            }
        }
    }

    Bytes source(size_t packs) {
        Bytes out;
        out.reserve(packs * 2048 + 2048);
        for (size_t k = 0; k < packs; ++k) {
            const Bytes b = block();
            out.insert(out.end(), b.begin(), b.end());
        }
        // Mostly a final partial pack, cut from a block of its own; often so short that its
        // tests read bytes the previous pack left behind.
        if (below(4)) {
            const Bytes b = block();
            out.insert(out.end(), b.begin(), b.begin() + 1 + (below(2) ? below(40) : below(2047)));
        }
        return out;
    }

  private:
    Bytes randomBytes() {
        Bytes b(2048);
        for (uint8_t& x : b)
            x = byte();
        return b;
    }

    std::mt19937 random_;
};

struct Case {
    uint32_t seed;
    size_t packs;
    int cancelAt;  // 0: no Cancel
};

void expectSameRebuild(const Case& c) {
    SCOPED_TRACE("seed " + std::to_string(c.seed));
    RandomSources random(c.seed);
    RebuildRun run;
    random.fillTables(run.state, run.host);
    ReferenceRebuild reference(run.state, run.host);

    // The first part, then (unless cancelled) a second part appended with the numbering and
    // the pack buffer as the first left them.
    const Bytes first = random.source(c.packs);
    int pumps = 0;
    run.host.onPump = [&] {
        if (++pumps == c.cancelAt) run.state.cancelRequested = true;
    };
    EXPECT_EQ(run.run(first, "part1.evo"), reference.run(first, c.cancelAt));
    EXPECT_EQ(static_cast<size_t>(run.endPosition), reference.endPosition);
    if (c.cancelAt) return;

    const Bytes second = random.source(static_cast<size_t>(random.below(300)));
    EXPECT_EQ(run.run(second, "part2.evo"), reference.run(second));
    EXPECT_EQ(run.numbering.newIds, reference.maps);
    EXPECT_EQ(run.numbering.keptVideoCount, reference.counts[kVideo]);
    EXPECT_EQ(run.numbering.keptAudioCount, reference.counts[kAudio]);
    EXPECT_EQ(run.numbering.keptSubpictureCount, reference.counts[kSubpicture]);
}

TEST(RebuildDifferential, SmallSourcesOfRandomPacks) {
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        // Every fifth source fills whole reads of 127 packs, so the partial pack starts a read.
        const size_t packs = seed % 5 == 0 ? 127 * (seed % 3 + 1) : seed * 7 % 400;
        expectSameRebuild({seed, packs, 0});
    }
}

TEST(RebuildDifferential, SourcesOverProgressPointsWithAndWithoutCancel) {
    expectSameRebuild({101, 4500, 0});
    expectSameRebuild({102, 4500, 1});
    expectSameRebuild({103, 6200, 2});
    expectSameRebuild({104, 2048, 1});  // Cancel at the last full pack
}

}  // namespace
}  // namespace morvale::testing
