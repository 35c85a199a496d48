#include "engine/picture_counter.h"

#include <gtest/gtest.h>

#include <random>

#include "support/program_stream_builder.h"

namespace morvale::testing {
namespace {

int count(const Bytes& bytes, VideoKind kind) {
    const int simple = countPictureStartCodesSimple(bytes, kind);
    EXPECT_EQ(countPictureStartCodes(bytes, kind), simple) << "fast and simple differ";
    return simple;
}

TEST(PictureCounter, EachKindCountsOnlyItsOwnStartCode) {
    const Bytes twoMpeg2 = {0x00, 0x00, 0x01, 0x00, 0xAA, 0x00, 0x00, 0x01, 0x00};
    EXPECT_EQ(count(twoMpeg2, VideoKind::VideoMpeg2), 2);
    EXPECT_EQ(count(twoMpeg2, VideoKind::VideoH264), 0);
    EXPECT_EQ(count(twoMpeg2, VideoKind::VideoVc1), 0);
    EXPECT_EQ(count(pictures(0x09, 3, 10), VideoKind::VideoH264), 3);
    EXPECT_EQ(count(pictures(0x0D, 4, 10), VideoKind::VideoVc1), 4);
    EXPECT_EQ(count(pictures(0x0D, 4, 10), VideoKind::VideoMpeg2), 0);
}

// The register starts at zero for every piece, as if three zero bytes came before it.
TEST(PictureCounter, APieceBeginsWithAFreshRegister) {
    EXPECT_EQ(count({0x01, 0x0D, 0x22}, VideoKind::VideoVc1), 1);  // 00 00 ended the last
    EXPECT_EQ(count({0x00, 0x01, 0x0D}, VideoKind::VideoVc1), 1);  // 00 ended the last
    EXPECT_EQ(count({0x0D, 0x22, 0x33}, VideoKind::VideoVc1), 0);  // 00 00 01 ended it
    EXPECT_EQ(count({0x01, 0x00}, VideoKind::VideoMpeg2), 1);      // whatever came before
    EXPECT_EQ(count({0x00, 0x00, 0x00, 0x01, 0x00}, VideoKind::VideoMpeg2), 1);
    EXPECT_EQ(count({0x00}, VideoKind::VideoMpeg2), 0);
    EXPECT_EQ(count({}, VideoKind::VideoMpeg2), 0);
    EXPECT_EQ(count({0x01}, VideoKind::VideoMpeg2), 0);
}

TEST(PictureCounter, OverlappingAndNearMissCodes) {
    // 00 00 01 00 00 01 00: two MPEG-2 picture codes sharing nothing but zeros.
    EXPECT_EQ(count({0x00, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00}, VideoKind::VideoMpeg2), 2);
    EXPECT_EQ(count({0x00, 0x01, 0x01, 0x00}, VideoKind::VideoMpeg2), 0);
    EXPECT_EQ(count({0x07, 0x00, 0x01, 0x00}, VideoKind::VideoMpeg2), 0);
    EXPECT_EQ(count({0x00, 0x02, 0x01, 0x09}, VideoKind::VideoH264), 0);
}

// The fast count must equal the plain one on every input; random data dense in the bytes
// that make up start codes finds the corner cases.
TEST(PictureCounter, FastCountEqualsThePlainOneOnRandomInput) {
    std::mt19937 random(1234);
    const uint8_t alphabet[] = {0x00, 0x00, 0x00, 0x01, 0x01, 0x09, 0x0D, 0x42};
    std::uniform_int_distribution<int> pick(0, 7);
    std::uniform_int_distribution<int> length(0, 64);
    for (int round = 0; round < 20000; ++round) {
        Bytes bytes(static_cast<size_t>(length(random)));
        for (uint8_t& b : bytes)
            b = alphabet[pick(random)];
        for (VideoKind kind : {VideoKind::VideoMpeg2, VideoKind::VideoH264, VideoKind::VideoVc1}) {
            ASSERT_EQ(countPictureStartCodes(bytes, kind),
                      countPictureStartCodesSimple(bytes, kind))
                << "round " << round;
        }
    }
}

}  // namespace
}  // namespace morvale::testing
