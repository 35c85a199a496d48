// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <bitset>
#include <cstdint>

#include "engine/engine_types.h"

namespace morvale {

// The parser's state for one call of demux. It carries over unchanged from one block to the
// next, so a start code, a PES header or a payload split by a block boundary continues in
// the next block; a new call (a continuation file) starts from these initial values.
struct ParserState {
    // The last four bytes examined, the newest in the low byte.
    uint32_t startCodeRegister = 0;
    PacketTarget packetTarget = PacketTarget::TargetNone;
    bool inPayload = false;
    // Bytes of the current packet not yet consumed, counted from the byte after
    // PES_packet_length; negative when the header fields overran the packet.
    int32_t pesRemaining = 0;
    // Bytes still to pass over in a packet skipped whole.
    int32_t skipRemaining = 0;
    // 2: the next byte is the high byte of PES_packet_length, 1: the low byte.
    uint8_t lengthPhase = 0;
    // Bytes left of the two flag bytes and PES_header_data_length.
    uint8_t fixedHeaderRemaining = 0;
    // The second PES flag byte: PTS_DTS_flags in bits 7-6, PES_extension_flag in bit 0.
    uint8_t pesFlags2 = 0;
    // Bytes left of the optional header fields (PES_header_data_length counting down; an
    // 8-bit counter, so fields longer than the declared length wrap it).
    uint8_t headerDataRemaining = 0;
    int32_t ptsRemaining = 0;     // 5..1 while a lone PTS is read
    int32_t ptsDtsRemaining = 0;  // 10..1 while a PTS and a DTS are read
    int32_t extFlagsRemaining = 0;
    uint8_t extFlags = 0;  // the PES extension flag byte
    int32_t pstdRemaining = 0;
    int32_t ext2Remaining = 0;
    uint32_t timestampAccumulator = 0;
    // Timestamps are the low 32 bits of the 33-bit PTS/DTS, in 90 kHz units.
    // The last PTS decoded from any PES header, kept until consumed (set to 0).
    uint32_t packetPts = 0;
    // The video timestamp handed to the video reports.
    uint32_t videoPts = 0;
    // The last DTS decoded.
    uint32_t videoDts = 0;
    // PacketPts at the first identification of the latest newly found audio slot.
    uint32_t audioPts = 0;
    // 4..1 while the first four bytes after a private stream 1 PES header are read.
    uint8_t substreamRemaining = 0;
    uint8_t lpcmHeaderRemaining = 0;
    // The three LPCM header bytes of the current packet (format, as the stream's header
    // gives it), as far as they were read.
    std::array<uint8_t, 3> lpcmHeader{};
    int32_t mlpHeaderRemaining = 0;
    int32_t videoSlot = -1;
    int32_t audioSlot = -1;
    int32_t subpictureSlot = -1;
    VideoKind videoKind = VideoKind::VideoMpeg2;
    AudioKind audioKind = AudioKind::AudioAc3;
    int32_t lastAudioSubstreamId = 0;
    // Length of the payload piece being handled.
    int32_t pieceLength = 0;

    // What the current packet is, beyond the fields above (they say where its bytes go):
    // the identifier of the stream it belongs to, or -1 when it has none (packets not yet past
    // their stream's identifier, a VC-1 packet before any stream_id_extension). A slot's
    // output and frame count take only the pieces whose identifier is the slot table's entry.
    int32_t packetStreamId = -1;
    // The packet's own header carried a PTS (packetOwnPts); a leftover PacketPts of an
    // earlier packet does not count.
    bool packetHasPts = false;
    uint32_t packetOwnPts = 0;
    // A piece of the current packet was already taken.
    bool packetPieceTaken = false;
    // The stream_id_extension of the last 0xFD packet that carried one: a 0xFD packet
    // without the extension-2 field belongs to that stream.
    int32_t lastVc1StreamId = -1;
    // The byte after a pack start code comes next; the packets after a pack header whose
    // marker bits are 0010 have ISO/IEC 11172-1 headers (mpeg1Packets) and their header
    // fields are read one state at a time (mpeg1Fields: 1, or 2 inside the STD buffer field).
    uint8_t packMarkerNext = 0;
    bool mpeg1Packets = false;
    uint8_t mpeg1Fields = 0;
    // The identifiers a scan has named as left out in this file, per id space (IdCarrier):
    // streams sharing another stream's slot, MPEG audio.
    std::array<std::bitset<256>, 3> namedLeftOut{};
};

}  // namespace morvale
