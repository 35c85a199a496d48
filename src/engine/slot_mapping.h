#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "engine/stream_kinds.h"

namespace morvale {

inline constexpr int kVideoSlots = 2;
inline constexpr int kAudioSlots = 16;
inline constexpr int kSubpictureSlots = 32;
// Subpicture slots with a tick box and an output file.
inline constexpr int kSubpictureOutputSlots = 16;

// Where an identifier byte is carried in a program stream.
enum class IdCarrier : uint8_t {
    PesStreamId,        // the stream_id byte of a PES packet start code
    StreamIdExtension,  // the 7-bit stream_id_extension of a 0xFD packet
    SubStreamId         // the first payload byte of a private stream 1 packet
};

enum class SlotKind : uint8_t { Video, Audio, Subpicture };

// The stream format an identifier announces.
enum class StreamFormat : uint8_t {
    Mpeg2Video,
    H264Video,
    Vc1Video,
    DolbyDigital,
    Dts,
    DolbyDigitalPlus,
    Lpcm,
    TrueHd,
    Subpicture,
    ExtendedSubpicture
};

struct SlotRule {
    IdCarrier carrier;
    uint8_t first;  // identifier range, inclusive
    uint8_t last;
    StreamFormat format;
    SlotKind kind;
};

// The complete identifier-to-slot mapping; any identifier outside these rows has no slot.
// The slot is always the identifier's distance from the first id of its row.
inline constexpr SlotRule kSlotRules[] = {
    {IdCarrier::PesStreamId, 0xE0, 0xE1, StreamFormat::Mpeg2Video, SlotKind::Video},
    {IdCarrier::PesStreamId, 0xE2, 0xE3, StreamFormat::H264Video, SlotKind::Video},
    {IdCarrier::StreamIdExtension, 0x55, 0x56, StreamFormat::Vc1Video, SlotKind::Video},
    {IdCarrier::SubStreamId, 0x80, 0x87, StreamFormat::DolbyDigital, SlotKind::Audio},
    {IdCarrier::SubStreamId, 0x88, 0x8F, StreamFormat::Dts, SlotKind::Audio},
    {IdCarrier::SubStreamId, 0xC0, 0xCF, StreamFormat::DolbyDigitalPlus, SlotKind::Audio},
    {IdCarrier::SubStreamId, 0xA0, 0xA7, StreamFormat::Lpcm, SlotKind::Audio},
    {IdCarrier::SubStreamId, 0xB0, 0xB7, StreamFormat::TrueHd, SlotKind::Audio},
    {IdCarrier::SubStreamId, 0x20, 0x3F, StreamFormat::Subpicture, SlotKind::Subpicture},
    {IdCarrier::SubStreamId, 0x60, 0x7F, StreamFormat::ExtendedSubpicture, SlotKind::Subpicture},
};

struct SlotAssignment {
    StreamFormat format;
    SlotKind kind;
    int slot;
};

// The mapping by a search of the rules.
constexpr std::optional<SlotAssignment> slotByRules(IdCarrier carrier, uint8_t id) {
    for (const SlotRule& rule : kSlotRules) {
        if (rule.carrier == carrier && id >= rule.first && id <= rule.last) {
            return SlotAssignment{rule.format, rule.kind, id - rule.first};
        }
    }
    return std::nullopt;
}

// The same mapping as a table per carrier, built from the rules at compile time: the parser
// asks for every packet.
inline constexpr auto kSlotTables = [] {
    std::array<std::array<std::optional<SlotAssignment>, 256>, 3> tables{};
    for (int carrier = 0; carrier < 3; ++carrier) {
        for (int id = 0; id < 256; ++id) {
            tables[carrier][id] =
                slotByRules(static_cast<IdCarrier>(carrier), static_cast<uint8_t>(id));
        }
    }
    return tables;
}();

constexpr std::optional<SlotAssignment> slotFor(IdCarrier carrier, uint8_t id) {
    return kSlotTables[static_cast<size_t>(carrier)][id];
}

constexpr VideoKind videoKindOf(StreamFormat format) {
    switch (format) {
        case StreamFormat::H264Video:
            return VideoKind::VideoH264;
        case StreamFormat::Vc1Video:
            return VideoKind::VideoVc1;
        default:
            return VideoKind::VideoMpeg2;
    }
}

constexpr AudioKind audioKindOf(StreamFormat format) {
    switch (format) {
        case StreamFormat::Dts:
            return AudioKind::AudioDts;
        case StreamFormat::DolbyDigitalPlus:
            return AudioKind::AudioDdPlus;
        case StreamFormat::Lpcm:
            return AudioKind::AudioLpcm;
        case StreamFormat::TrueHd:
            return AudioKind::AudioMlp;
        default:
            return AudioKind::AudioAc3;
    }
}

}  // namespace morvale
