// SPDX-License-Identifier: MIT
#pragma once

namespace morvale {

// A pack as HD DVD and DVD authoring write them: 2,048 bytes, a 14-byte MPEG-2 pack header
// without stuffing, and the pack's first packet (or the system header) right behind it.
inline constexpr int kPackSize = 2048;
// The stream id byte of the first packet's start code 00 00 01 xx.
inline constexpr int kFirstStreamIdOffset = 17;
// The first packet's PES_header_data_length; the optional fields follow it.
inline constexpr int kHeaderDataLengthOffset = 22;
// When the first packet is a system header: its audio_bound (bits 7-2) and video_bound
// (bits 4-0) bytes.
inline constexpr int kAudioBoundOffset = 23;
inline constexpr int kVideoBoundOffset = 24;

}  // namespace morvale
