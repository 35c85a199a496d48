// SPDX-License-Identifier: MIT
#pragma once

// Packs for the rebuild tests and the offsets of their id bytes, known from how the builder
// lays them out (a plain 14-byte pack header, the first packet right behind it). Tests compute
// the expected rebuilt file from these packs themselves: which packs stay, which bytes change.

#include <initializer_list>
#include <string>
#include <vector>

#include "support/program_stream_builder.h"

namespace morvale::testing {

inline PesHeader audioHeader() {
    return PesHeader().pts(90000);
}
inline PesHeader videoHeader() {
    return PesHeader().pts(93003).dts(90000);
}
inline PesHeader vc1Header(uint8_t extension) {
    return PesHeader().pts(93003).streamIdExtension(extension);
}

// The byte at 17: the stream id of the first packet.
inline constexpr size_t kStreamIdAt = 17;
// The first payload byte of a private stream 1 packet: its sub-stream id.
inline const size_t kSubStreamIdAt = kPackHeaderSize + pesHeaderSize(audioHeader());
// The last byte of a VC-1 packet's PES header: its stream_id_extension.
inline const size_t kExtensionAt = kPackHeaderSize + pesHeaderSize(vc1Header(0x55)) - 1;
// audio_bound with fixed_flag and CSPS_flag; the lock flags, the marker and video_bound.
inline constexpr size_t kAudioBoundAt = 23;
inline constexpr size_t kVideoBoundAt = 24;

// A private stream 1 pack of sub-stream id (audio or subpicture).
inline Bytes subStreamPack(uint8_t id, uint8_t seed = 0, size_t payload = 600) {
    return pack({privateStream1Packet(id, audioHeader(), filler(payload, seed))});
}
// An MPEG video (0xE0-0xE3) or MPEG audio (0xC0-0xDF) pack.
inline Bytes streamIdPack(uint8_t streamId, uint8_t seed = 0) {
    return pack(
        {pesPacket(streamId, videoHeader(), concat({mpeg2Pictures(1, 400), filler(300, seed)}))});
}
// A VC-1 pack with stream id 0xFD.
inline Bytes vc1Pack(uint8_t extension, uint8_t seed = 0) {
    return pack({pesPacket(0xFD, vc1Header(extension),
                           concat({pictures(0x0D, 1, 500), filler(200, seed)}))});
}
// A navigation pack: the system header first, then two private stream 2 packets.
inline Bytes navigationPack(int audioBound, int videoBound) {
    return pack({systemHeader(audioBound, videoBound), privateStream2Packet(filler(980)),
                 privateStream2Packet(filler(1000, 7))});
}
// A pack whose first packet is padding.
inline Bytes paddingPack() {
    return pack({paddingPacket(2048 - kPackHeaderSize)});
}

inline Bytes patched(Bytes bytes, size_t at, uint8_t value) {
    bytes.at(at) = value;
    return bytes;
}

inline Bytes joined(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes firstBytes(const Bytes& bytes, size_t n) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
}

}  // namespace morvale::testing
