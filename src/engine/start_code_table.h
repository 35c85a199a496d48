#pragma once

#include <array>
#include <cstdint>

namespace morvale {

// What a start code 00 00 01 xx does to the parser. Codes without an action (pack header
// 0xBA, system header 0xBB, end code 0xB9, video 0xE4-0xEF...) change nothing: the bytes
// after them are only searched for the next start code.
enum class StartCodeAction : uint8_t {
    None,
    Video,             // 0xE0-0xE3: MPEG-2 and H.264 video, slot from the stream id
    ExtendedStreamId,  // 0xFD: VC-1, slot from the stream_id_extension
    MpegAudio,         // 0xC0-0xCF
    PrivateStream1,    // 0xBD: audio and subpicture sub-streams
    SkipPacket         // 0xBC program stream map, 0xBE padding, 0xBF private stream 2
};

inline constexpr std::array<StartCodeAction, 256> kStartCodeActions = [] {
    std::array<StartCodeAction, 256> table{};
    for (int id = 0xE0; id <= 0xE3; ++id)
        table[id] = StartCodeAction::Video;
    table[0xFD] = StartCodeAction::ExtendedStreamId;
    for (int id = 0xC0; id <= 0xCF; ++id)
        table[id] = StartCodeAction::MpegAudio;
    table[0xBD] = StartCodeAction::PrivateStream1;
    table[0xBC] = StartCodeAction::SkipPacket;
    table[0xBE] = StartCodeAction::SkipPacket;
    table[0xBF] = StartCodeAction::SkipPacket;
    return table;
}();

// The action of a start-code register value; None unless it holds 00 00 01 xx.
constexpr StartCodeAction startCodeAction(uint32_t startCodeRegister) {
    if ((startCodeRegister & 0xFFFFFF00u) != 0x00000100u) return StartCodeAction::None;
    return kStartCodeActions[startCodeRegister & 0xFFu];
}

}  // namespace morvale
