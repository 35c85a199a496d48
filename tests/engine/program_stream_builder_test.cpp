// SPDX-License-Identifier: MIT
// The test builder itself: every other test trusts its bytes.

#include "support/program_stream_builder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/temp_dir.h"

namespace morvale::testing {
namespace {

TEST(ProgramStreamBuilder, TimestampsAndTheTracedVc1Header) {
    EXPECT_EQ(timestampField(0x2, 90000), (Bytes{0x21, 0x00, 0x05, 0xBF, 0x21}));
    EXPECT_EQ(timestampField(0x3, 0x1FFFFFFFF), (Bytes{0x3F, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(timestampField(0x1, 0), (Bytes{0x11, 0x00, 0x01, 0x00, 0x01}));
    const Bytes packet =
        pesPacket(0xFD, PesHeader().pts(90000).streamIdExtension(0x55), Bytes(2017, 0x42));
    // As an HD DVD VC-1 packet, with the extension flag byte's reserved bits set.
    const Bytes header = {0x00, 0x00, 0x01, 0xFD, 0x07, 0xEC, 0x81, 0x81, 0x08,
                          0x21, 0x00, 0x05, 0xBF, 0x21, 0x0F, 0x81, 0x55};
    EXPECT_EQ(Bytes(packet.begin(), packet.begin() + 17), header);
    EXPECT_EQ(packet.size(), 17u + 2017u);
    EXPECT_EQ(pesHeaderSize(PesHeader().pts(1).dts(1).pstdBuffer(1).stuffing(2)),
              9u + 10u + 3u + 2u);
}

TEST(ProgramStreamBuilder, PackAndSystemHeaderFields) {
    EXPECT_EQ(packHeader(), (Bytes{0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x01,
                                   0x89, 0xC3, 0xF8}));
    const Bytes scr = packHeader(PackHeader().scr(0x1FFFFFFFF, 0x1FF).stuffing(2));
    EXPECT_EQ(Bytes(scr.begin() + 4, scr.end()),
              (Bytes{0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x89, 0xC3, 0xFA, 0xFF, 0xFF}));
    const Bytes first = pack({systemHeader(3, 1)});
    EXPECT_EQ(first[16], 0x01);
    EXPECT_EQ(first[17], 0xBB);
    EXPECT_EQ((first[23] >> 2) & 0x3F, 3);
    EXPECT_EQ(first[24] & 0x1F, 1);
}

TEST(ProgramStreamBuilder, SubStreamHeadersByKind) {
    EXPECT_EQ(subStreamHeader(0x80), (Bytes{0x80, 0x01, 0x00, 0x01}));
    EXPECT_EQ(subStreamHeader(0x8F).size(), 4u);
    EXPECT_EQ(subStreamHeader(0xC7).size(), 4u);
    EXPECT_EQ(subStreamHeader(0xA3).size(), 7u);
    EXPECT_EQ(subStreamHeader(0xB1).size(), 5u);
    EXPECT_EQ(subStreamHeader(0x3F), Bytes{0x3F});
    EXPECT_EQ(subStreamHeader(0x60), Bytes{0x60});
}

// Every amount of contents fills exactly one pack, by padding packet or pack stuffing.
TEST(ProgramStreamBuilder, PacksAreAlways2048Bytes) {
    for (size_t n = 6; n <= kPackSize - kPackHeaderSize; ++n) {
        SCOPED_TRACE(n);
        const Bytes packet = rawPacket(0xBF, Bytes(n - 6, 0x33));
        const Bytes p = pack({packet});
        ASSERT_EQ(p.size(), kPackSize);
        const size_t stuffing = p[13] & 0x07;
        ASSERT_EQ(Bytes(p.begin() + 14 + stuffing, p.begin() + 14 + stuffing + n), packet);
        const size_t rest = kPackSize - 14 - stuffing - n;
        if (rest > 0) {
            ASSERT_EQ(p[14 + stuffing + n + 3], 0xBE);
            ASSERT_EQ((p[14 + stuffing + n + 4] << 8 | p[14 + stuffing + n + 5]) + 6u, rest);
        }
    }
    EXPECT_THROW(pack({rawPacket(0xBF, Bytes(kPackSize, 0))}), std::length_error);
}

TEST(ProgramStreamBuilder, SparseFilesHoldTheirPlacements) {
    TempDir dir;
    const std::string path = dir.file("sparse.evo");
    writeSparseFile(path, uint64_t{5} << 30, {{(uint64_t{5} << 30) - 3, Bytes{1, 2, 3}}});
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, int64_t{5} << 30);
    EXPECT_LT(st.st_blocks * 512, int64_t{1} << 20);  // holes, not zeros on disk

    ProgramStream ps;
    ps.add(Bytes{0x00, 0x00, 0x01, 0xB9}).padToPack();
    EXPECT_EQ(ps.size(), kPackSize);
    ps.writeFile(path);
    EXPECT_EQ(readFileBytes(path), ps.bytes());
}

}  // namespace
}  // namespace morvale::testing
