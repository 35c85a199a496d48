// SPDX-License-Identifier: MIT
// Payload pieces into whole units: however the pieces cut a unit, it comes out whole with its
// PTS; a broken unit is dropped and counted by its cause, and assembly goes on.

#include <gtest/gtest.h>

#include "sample_disc/hd_subpicture_unit.h"
#include "subtitles/subtitle_peers.h"
#include "subtitles/unit_assembler.h"

namespace morvale {
namespace {

using testing::Bytes;
using testing::concat;
using testing::PayloadPiece;

Bytes dvdUnit(uint32_t seed) {
    sample::DvdPicture p;
    p.x = 10, p.y = 10, p.width = 40, p.height = 8;
    p.codes.assign(40 * 8, static_cast<uint8_t>(seed % 4));
    p.stopTicks = 9000;
    return sample::dvdSubpictureUnit(p);
}

Bytes hdUnit(uint32_t seed) {
    sample::HdPicture p;
    p.x = 10, p.y = 10, p.width = 40, p.height = 8;
    p.pixels.assign(40 * 8, static_cast<uint8_t>(seed));
    return sample::hdSubpictureUnit(p);
}

// The unit cut into packets of `size` bytes, the first with the PTS.
std::vector<PayloadPiece> packets(const Bytes& unit, uint32_t pts, size_t size) {
    std::vector<PayloadPiece> pieces;
    for (size_t at = 0; at < unit.size(); at += size) {
        const size_t n = std::min(size, unit.size() - at);
        std::optional<uint32_t> p;
        if (at == 0) p = pts;
        pieces.push_back({Bytes(unit.begin() + at, unit.begin() + at + n), true, p});
    }
    return pieces;
}

std::vector<PayloadPiece> join(std::initializer_list<std::vector<PayloadPiece>> parts) {
    std::vector<PayloadPiece> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

struct AssemblyCase {
    const char* name;
    std::vector<PayloadPiece> pieces;
    std::vector<int64_t> unitPts;  // of the whole units, in order
    uint64_t cutShort, badSize, strayPackets;
};

TEST(UnitAssembly, WholeUnitsComeOutAndBrokenOnesAreCounted) {
    const Bytes dvd = dvdUnit(1), hd = hdUnit(2);
    const Bytes dvdHalf(dvd.begin(), dvd.begin() + dvd.size() / 2);
    const Bytes zeroSize = {0, 0, 0, 0, 0, 0, 0xAA, 0xBB};
    const Bytes hugeSize = {0, 0, 0x04, 0, 0, 0, 0xAA, 0xBB};  // 64 MiB
    const Bytes tinyDvd = {0x00, 0x05, 0xAA, 0xBB, 0xCC};
    const std::vector<AssemblyCase> cases = {
        {"DVD unit a byte per packet", packets(dvd, 900, 1), {900}, 0, 0, 0},
        {"HD DVD size split over packets", packets(hd, 900, 3), {900}, 0, 0, 0},
        {"units back to back",
         join({packets(dvd, 900, 100), packets(hd, 1800, 2000)}),
         {900, 1800},
         0,
         0,
         0},
        {"new PTS before the end",
         join({packets(dvdHalf, 900, 50), packets(hd, 1800, 50)}),
         {1800},
         1,
         0,
         0},
        {"end before the end", packets(dvdHalf, 900, 50), {}, 1, 0, 0},
        {"HD DVD size 0",
         join({packets(zeroSize, 900, 4), packets(dvd, 1800, 64)}),
         {1800},
         0,
         1,
         0},
        {"HD DVD size beyond any unit", packets(hugeSize, 900, 8), {}, 0, 1, 0},
        {"DVD size below the smallest unit", packets(tinyDvd, 900, 8), {}, 0, 1, 0},
        {"bytes before any unit",
         join({{{{1, 2, 3}, true, std::nullopt}}, packets(dvd, 900, 64)}),
         {900},
         0,
         0,
         1},
        {"bytes after a unit, in its packet and the next",
         join({packets(concat({dvd, {7, 7}}), 900, 4096), {{{8, 8}, true, std::nullopt}}}),
         {900},
         0,
         0,
         2},
        {"PTS across 2^32",
         join({packets(dvd, 0xFFFFF000u, 64), packets(hd, 0x800, 64)}),
         {0xFFFFF000, 0x100000800},
         0,
         0,
         0},
    };
    for (const AssemblyCase& c : cases) {
        SCOPED_TRACE(c.name);
        SubpictureAssembler assembler;
        std::vector<int64_t> pts;
        std::vector<Bytes> units;
        for (const PayloadPiece& piece : c.pieces) {
            if (auto unit = assembler.feed(piece.bytes, piece.firstOfPacket, piece.pts)) {
                pts.push_back(unit->pts);
                units.push_back(unit->bytes);
            }
        }
        assembler.finish();
        EXPECT_EQ(pts, c.unitPts);
        for (const Bytes& unit : units)
            EXPECT_TRUE(unit == dvd || unit == hd);
        EXPECT_EQ(assembler.counts().units, c.unitPts.size());
        EXPECT_EQ(assembler.counts().cutShort, c.cutShort);
        EXPECT_EQ(assembler.counts().badSize, c.badSize);
        EXPECT_EQ(assembler.counts().strayPackets, c.strayPackets);
    }
}

}  // namespace
}  // namespace morvale
