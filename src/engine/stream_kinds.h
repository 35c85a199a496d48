// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/engine_types.h"

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

// The slots of a kind that have a tick box and an output file.
constexpr int boxedSlots(SlotKind kind) {
    return kind == SlotKind::Video   ? kVideoSlots
           : kind == SlotKind::Audio ? kAudioSlots
                                     : kSubpictureOutputSlots;
}

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
    ExtendedSubpicture,
    MpegAudio
};

// How the rebuild gives a kept stream of a kind its new identifier, counter being the number
// of streams of the same slot kind kept before it.
struct Renumbering {
    // The new id is (id AND mask) OR counter...
    uint8_t mask;
    // ...or, where set, the first id of the kind plus the counter.
    bool fromFirst = false;
};

// One kind of stream: the identifiers that announce it, where they are carried, the slot they
// take (the identifier's distance from the first id of its row), the words the program shows
// for it, and how the rebuild renumbers it.
struct StreamKind {
    IdCarrier carrier;
    uint8_t first;  // identifier range, inclusive
    uint8_t last;
    StreamFormat format;
    SlotKind slotKind;
    // A stream with a slot is announced, counted, written and listed in a box; one without
    // (MPEG audio) is parsed and passed over, and the rebuild never drops it.
    bool hasSlot;
    std::string_view foundMessage;  // the slot number and " found!" follow
    std::string_view boxName;       // the slot suffix (".0", ".00") follows
    Renumbering renumbering;
};

// Every stream the program knows. Any identifier outside these rows is no stream of its own.
// clang-format off
inline constexpr StreamKind kStreamKinds[] = {
    {IdCarrier::PesStreamId, 0xE0, 0xE1, StreamFormat::Mpeg2Video, SlotKind::Video, true,
     "MPEG-2 video stream ", "MPEG-2.stream", {0xFE}},
    {IdCarrier::PesStreamId, 0xE2, 0xE3, StreamFormat::H264Video, SlotKind::Video, true,
     "H.264 video stream ", "H.264.stream", {0xFE}},
    {IdCarrier::StreamIdExtension, 0x55, 0x56, StreamFormat::Vc1Video, SlotKind::Video, true,
     "VC-1 video stream ", "VC-1.stream", {0x00, true}},
    {IdCarrier::SubStreamId, 0x80, 0x87, StreamFormat::DolbyDigital, SlotKind::Audio, true,
     "Dolby Digital audio stream ", "DD.stream", {0xF8}},
    {IdCarrier::SubStreamId, 0x88, 0x8F, StreamFormat::Dts, SlotKind::Audio, true,
     "DTS HD (DTS) audio stream ", "DTSHD.stream", {0xF8}},
    {IdCarrier::SubStreamId, 0xA0, 0xA7, StreamFormat::Lpcm, SlotKind::Audio, true,
     "LPCM audio stream ", "LPCM.stream", {0xF8}},
    {IdCarrier::SubStreamId, 0xB0, 0xB7, StreamFormat::TrueHd, SlotKind::Audio, true,
     "Dolby TrueHD (MLP) audio stream ", "MLP.stream", {0xF8}},
    {IdCarrier::SubStreamId, 0xC0, 0xCF, StreamFormat::DolbyDigitalPlus, SlotKind::Audio, true,
     "Dolby Digital Plus audio stream ", "DD+.stream", {0xF0}},
    {IdCarrier::SubStreamId, 0x20, 0x3F, StreamFormat::Subpicture, SlotKind::Subpicture, true,
     "Subpicture stream ", "Subpicture", {0xE0}},
    {IdCarrier::SubStreamId, 0x60, 0x7F, StreamFormat::ExtendedSubpicture, SlotKind::Subpicture,
     true, "Extended subpicture stream ", "Ext.Subpicture", {0xE0}},
    {IdCarrier::PesStreamId, 0xC0, 0xCF, StreamFormat::MpegAudio, SlotKind::Audio, false,
     "", "", {0xF0}},
    {IdCarrier::PesStreamId, 0xD0, 0xDF, StreamFormat::MpegAudio, SlotKind::Audio, false,
     "", "", {0xF8}},
};
// clang-format on

// The row of an identifier, if any.
constexpr const StreamKind* streamKindOf(IdCarrier carrier, uint8_t id) {
    for (const StreamKind& kind : kStreamKinds) {
        if (kind.carrier == carrier && id >= kind.first && id <= kind.last) return &kind;
    }
    return nullptr;
}

// The row a slot's table entry belongs to: the identifier stored in a slot of the kind.
constexpr const StreamKind* streamKindInSlot(SlotKind slotKind, int32_t id) {
    for (const StreamKind& kind : kStreamKinds) {
        if (kind.hasSlot && kind.slotKind == slotKind && id >= kind.first && id <= kind.last) {
            return &kind;
        }
    }
    return nullptr;
}

// The row that announces a format with a slot.
constexpr const StreamKind& streamKindOf(StreamFormat format) {
    for (const StreamKind& kind : kStreamKinds) {
        if (kind.format == format) return kind;
    }
    return kStreamKinds[0];
}

constexpr uint8_t renumbered(const StreamKind& kind, uint8_t id, uint8_t counter) {
    if (kind.renumbering.fromFirst) return static_cast<uint8_t>(kind.first + counter);
    return static_cast<uint8_t>((id & kind.renumbering.mask) | counter);
}

struct SlotAssignment {
    StreamFormat format;
    SlotKind kind;
    int slot;
};

// The slot of an identifier by a search of the rows.
constexpr std::optional<SlotAssignment> slotByRules(IdCarrier carrier, uint8_t id) {
    const StreamKind* kind = streamKindOf(carrier, id);
    if (kind == nullptr || !kind->hasSlot) return std::nullopt;
    return SlotAssignment{kind->format, kind->slotKind, id - kind->first};
}

// The same mapping as a table per carrier, built from the rows at compile time: the parser
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

// The stream ids of the packets the parser does not take as a stream of a row above.
inline constexpr uint8_t kProgramStreamMap = 0xBC;
inline constexpr uint8_t kPrivateStream1 = 0xBD;
inline constexpr uint8_t kPaddingStream = 0xBE;
inline constexpr uint8_t kPrivateStream2 = 0xBF;
inline constexpr uint8_t kExtendedStreamId = 0xFD;
inline constexpr uint8_t kPackStartCode = 0xBA;
inline constexpr uint8_t kSystemHeaderStartCode = 0xBB;

// What a start code 00 00 01 xx does to the parser. Codes without an action (pack header
// 0xBA, system header 0xBB, end code 0xB9, video 0xE4-0xEF...) change nothing: the bytes
// after them are only searched for the next start code.
enum class StartCodeAction : uint8_t {
    None,
    Video,             // MPEG-2 and H.264 video, slot from the stream id
    ExtendedStreamId,  // 0xFD: VC-1, slot from the stream_id_extension
    MpegAudio,         // passed over
    PrivateStream1,    // 0xBD: audio and subpicture sub-streams
    SkipPacket         // program stream map, padding, private stream 2
};

inline constexpr std::array<StartCodeAction, 256> kStartCodeActions = [] {
    std::array<StartCodeAction, 256> table{};
    for (const StreamKind& kind : kStreamKinds) {
        if (kind.carrier != IdCarrier::PesStreamId) continue;
        for (int id = kind.first; id <= kind.last; ++id) {
            table[id] = kind.slotKind == SlotKind::Video ? StartCodeAction::Video
                                                         : StartCodeAction::MpegAudio;
        }
    }
    table[kExtendedStreamId] = StartCodeAction::ExtendedStreamId;
    table[kPrivateStream1] = StartCodeAction::PrivateStream1;
    for (uint8_t id : {kProgramStreamMap, kPaddingStream, kPrivateStream2})
        table[id] = StartCodeAction::SkipPacket;
    return table;
}();

// The action of a start-code register value; None unless it holds 00 00 01 xx.
constexpr StartCodeAction startCodeAction(uint32_t startCodeRegister) {
    if ((startCodeRegister & 0xFFFFFF00u) != 0x00000100u) return StartCodeAction::None;
    return kStartCodeActions[startCodeRegister & 0xFFu];
}

}  // namespace morvale
