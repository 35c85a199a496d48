// SPDX-License-Identifier: MIT
#include "engine/stream_kinds.h"

#include <gtest/gtest.h>

#include "engine/slot_table.h"

namespace morvale {
namespace {

// An independent statement of the mapping, by carrier, for every identifier value.
std::optional<SlotAssignment> expectedSlot(IdCarrier carrier, int id) {
    auto video = [](StreamFormat f, int slot) { return SlotAssignment{f, SlotKind::Video, slot}; };
    auto audio = [](StreamFormat f, int slot) { return SlotAssignment{f, SlotKind::Audio, slot}; };
    auto sub = [](StreamFormat f, int slot) {
        return SlotAssignment{f, SlotKind::Subpicture, slot};
    };
    switch (carrier) {
        case IdCarrier::PesStreamId:
            if (id == 0xE0 || id == 0xE1) return video(StreamFormat::Mpeg2Video, id & 1);
            if (id == 0xE2 || id == 0xE3) return video(StreamFormat::H264Video, id & 1);
            return std::nullopt;
        case IdCarrier::StreamIdExtension:
            if (id == 0x55 || id == 0x56) return video(StreamFormat::Vc1Video, id - 0x55);
            return std::nullopt;
        case IdCarrier::SubStreamId:
            if ((id & 0xF8) == 0x80) return audio(StreamFormat::DolbyDigital, id & 7);
            if ((id & 0xF8) == 0x88) return audio(StreamFormat::Dts, id & 7);
            if ((id & 0xF0) == 0xC0) return audio(StreamFormat::DolbyDigitalPlus, id & 0x0F);
            if ((id & 0xF8) == 0xA0) return audio(StreamFormat::Lpcm, id & 0x0F);
            if ((id & 0xF8) == 0xB0) return audio(StreamFormat::TrueHd, id & 7);
            if ((id & 0xE0) == 0x20) return sub(StreamFormat::Subpicture, id & 0x1F);
            if ((id & 0xE0) == 0x60) return sub(StreamFormat::ExtendedSubpicture, id & 0x1F);
            return std::nullopt;
    }
    return std::nullopt;
}

class SlotMappingTest : public ::testing::TestWithParam<IdCarrier> {};

TEST_P(SlotMappingTest, EveryIdentifierValueMapsAsTheTableSays) {
    for (int id = 0; id < 256; ++id) {
        SCOPED_TRACE(id);
        auto expected = expectedSlot(GetParam(), id);
        auto actual = slotFor(GetParam(), static_cast<uint8_t>(id));
        ASSERT_EQ(actual.has_value(), expected.has_value());
        if (!expected) continue;
        EXPECT_EQ(actual->format, expected->format);
        EXPECT_EQ(actual->kind, expected->kind);
        EXPECT_EQ(actual->slot, expected->slot);
    }
}

INSTANTIATE_TEST_SUITE_P(AllCarriers, SlotMappingTest,
                         ::testing::Values(IdCarrier::PesStreamId, IdCarrier::StreamIdExtension,
                                           IdCarrier::SubStreamId));

TEST(SlotMappingTest, AudioSlotsEightToFifteenBelongOnlyToDolbyDigitalPlus) {
    for (int id = 0; id < 256; ++id) {
        auto a = slotFor(IdCarrier::SubStreamId, static_cast<uint8_t>(id));
        if (a && a->kind == SlotKind::Audio && a->slot >= 8) {
            EXPECT_EQ(a->format, StreamFormat::DolbyDigitalPlus) << id;
            EXPECT_EQ(id, 0xC0 + a->slot);
        }
    }
}

TEST(SlotMappingTest, KindsShareTheirSlots) {
    EXPECT_EQ(slotFor(IdCarrier::PesStreamId, 0xE0)->slot, 0);
    EXPECT_EQ(slotFor(IdCarrier::PesStreamId, 0xE2)->slot, 0);
    EXPECT_EQ(slotFor(IdCarrier::StreamIdExtension, 0x55)->slot, 0);
    EXPECT_EQ(slotFor(IdCarrier::SubStreamId, 0x35)->slot, 21);
    EXPECT_EQ(slotFor(IdCarrier::SubStreamId, 0x21)->slot, slotFor(IdCarrier::SubStreamId, 0x61)->slot);
}

TEST(SlotTableTest, StartsEmptyAndClears) {
    SlotTable table;
    for (SlotKind kind : {SlotKind::Video, SlotKind::Audio, SlotKind::Subpicture}) {
        for (int id : table.ids(kind)) EXPECT_EQ(id, -1);
    }
    EXPECT_FALSE(table.any());
    table.ids(SlotKind::Audio)[3] = 0x83;
    EXPECT_TRUE(table.any());
    table.clear();
    EXPECT_EQ(table.owner(SlotKind::Audio, 3), -1);
}

}  // namespace
}  // namespace morvale
