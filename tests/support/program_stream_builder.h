// SPDX-License-Identifier: MIT
#pragma once

// Byte-exact MPEG-2 program streams for tests (ISO/IEC 13818-1 with the DVD and HD DVD
// conventions: private stream 1 sub-streams, the extended stream id 0xFD for VC-1, 2,048-byte
// packs). Every function returns the bytes it describes and nothing else, so tests can put
// packets anywhere, cut them, or write them into files of any size.
//
//   ProgramStream ps;
//   ps.addPack({systemHeader(1, 1),
//               pesPacket(0xE0, PesHeader().pts(90000).dts(86400), mpeg2Pictures(2, 900))});
//   ps.addPack({privateStream1Packet(0x80, PesHeader().pts(90000), ac3Frames)});
//   ps.writeFile(dir.file("a.vob"));

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace morvale::testing {

using Bytes = std::vector<uint8_t>;

inline constexpr size_t kPackSize = 2048;
inline constexpr size_t kPackHeaderSize = 14;

// ---- Pack and system headers ----

// The fields of an MPEG-2 pack header, set by chaining: PackHeader().scr(900).stuffing(2).
struct PackHeader {
    uint64_t scrBase = 0;       // system_clock_reference_base, 33 bits
    uint16_t scrExtension = 0;  // 9 bits
    uint32_t muxRate = 25200;   // program_mux_rate, 22 bits (units of 50 bytes/s)
    int stuffingBytes = 0;      // pack_stuffing_length, 0-7 bytes of 0xFF

    PackHeader& scr(uint64_t base, uint16_t extension = 0);
    PackHeader& rate(uint32_t muxRateValue);
    PackHeader& stuffing(int n);
};
// 00 00 01 BA and the MPEG-2 pack header: 14 bytes plus the stuffing.
Bytes packHeader(const PackHeader& fields = PackHeader());

struct SystemHeaderStream {
    uint8_t streamId;
    bool bufferScale;     // P-STD_buffer_bound_scale (1: units of 1,024 bytes)
    uint16_t bufferSize;  // P-STD_buffer_size_bound, 13 bits
};
// 00 00 01 BB, header_length and the fields; audio_bound (6 bits) is in byte 9 (bits 7-2)
// and video_bound (5 bits) in byte 10 (bits 4-0) of the header, so in bytes 23 and 24 of a
// first pack with a plain pack header.
Bytes systemHeader(int audioBound = 1, int videoBound = 1,
                   const std::vector<SystemHeaderStream>& streams = {}, uint32_t rateBound = 25200);

// ---- PES packets ----

// The optional fields of a PES header (MPEG-2 syntax), set by chaining:
// PesHeader().pts(90000).dts(86400), PesHeader().pts(1).streamIdExtension(0x55).
struct PesHeader {
    std::optional<uint64_t> ptsValue;  // 33 bits; PTS_DTS_flags 10, or 11 with a DTS
    std::optional<uint64_t> dtsValue;  // only together with a PTS
    // PES extension with a P-STD buffer field: 13-bit size, scale flag in bit 13.
    std::optional<uint16_t> pstdValue;
    // PES extension with the extension-2 field carrying stream_id_extension (7 bits).
    std::optional<uint8_t> extensionValue;
    int stuffingBytes = 0;       // 0xFF bytes at the end of the header
    uint8_t flags1Value = 0x81;  // '10', not scrambled, original
    // Overrides PES_packet_length (otherwise the exact length of what follows it).
    std::optional<uint16_t> lengthValue;

    PesHeader& pts(uint64_t t);
    PesHeader& dts(uint64_t t);
    PesHeader& pstdBuffer(uint16_t scaleAndSize);
    PesHeader& streamIdExtension(uint8_t id);
    PesHeader& stuffing(int n);
    PesHeader& flags1(uint8_t b);
    PesHeader& packetLength(uint16_t length);
};

// A five-byte PTS/DTS field with the given four-bit prefix (0x2 lone PTS, 0x3 PTS before a
// DTS, 0x1 DTS) and marker bits.
Bytes timestampField(uint8_t prefix, uint64_t timestamp);

// 00 00 01 id, PES_packet_length, the header and the payload.
Bytes pesPacket(uint8_t streamId, const PesHeader& header, std::span<const uint8_t> payload);
// The size of a PES header with these fields: 9 bytes plus the optional fields.
size_t pesHeaderSize(const PesHeader& header);

// The sub-stream header that leads a private stream 1 payload, by the id's kind:
// 4 bytes for Dolby Digital 0x80-0x87, DTS 0x88-0x8F and Dolby Digital Plus 0xC0-0xCF
// (id, number_of_frame_headers, first_access_unit_pointer), 7 for LPCM 0xA0-0xA7 (three
// more bytes: frame number, 16-bit 48 kHz stereo, dynamic range), 5 for TrueHD/MLP
// 0xB0-0xB7, 1 for subpictures 0x20-0x3F and 0x60-0x7F, 4 for any other id.
Bytes subStreamHeader(uint8_t subStreamId);

// A private stream 1 (0xBD) packet: the sub-stream header of the id, then the payload.
Bytes privateStream1Packet(uint8_t subStreamId, const PesHeader& header,
                           std::span<const uint8_t> payload);

// A padding packet (0xBE) of exactly totalSize bytes (at least 6), filled with fill.
Bytes paddingPacket(size_t totalSize, uint8_t fill = 0xFF);
// A private stream 2 packet (0xBF) or any other packet without a PES header: 00 00 01 id,
// PES_packet_length and the data.
Bytes rawPacket(uint8_t streamId, std::span<const uint8_t> data);
Bytes privateStream2Packet(std::span<const uint8_t> data);

// ---- ISO/IEC 11172-1 (MPEG-1) system streams ----

// 00 00 01 BA and the 12-byte MPEG-1 pack header: '0010', the 33-bit SCR, mux_rate (22 bits,
// units of 50 bytes/s), with their marker bits.
Bytes mpeg1PackHeader(uint64_t scr = 0, uint32_t muxRate = 2520);

// The fields of an MPEG-1 packet header, set by chaining: Mpeg1Header().stuffing(2).pts(9000).
struct Mpeg1Header {
    int stuffingBytes = 0;             // 0xFF bytes first (up to 16)
    std::optional<uint16_t> stdValue;  // STD_buffer_scale (bit 13) and size (13 bits)
    std::optional<uint64_t> ptsValue;  // '0010' and the PTS, or '0011' with a DTS
    std::optional<uint64_t> dtsValue;

    Mpeg1Header& stuffing(int n);
    Mpeg1Header& stdBuffer(uint16_t scaleAndSize);
    Mpeg1Header& pts(uint64_t t);
    Mpeg1Header& dts(uint64_t t);
};

// 00 00 01 id, packet_length, the MPEG-1 header (0x0F when it has no timestamp) and the data.
Bytes mpeg1Packet(uint8_t streamId, const Mpeg1Header& header, std::span<const uint8_t> payload);

// ---- Packs ----

// A 2,048-byte pack as real EVOs and VOBs hold them: the pack header and the packets, then
// a padding packet over the rest, or pack-header stuffing when fewer than 8 bytes remain.
// Throws std::length_error when the packets do not fit.
Bytes pack(std::initializer_list<Bytes> packets, const PackHeader& header = PackHeader());
Bytes pack(const std::vector<Bytes>& packets, const PackHeader& header = PackHeader());

// The most payload a packet of this header can carry in one 2,048-byte pack after a plain
// pack header, leaving room for the sub-stream header of a private stream 1 packet.
size_t payloadRoomInPack(const PesHeader& header, size_t subStreamHeaderSize = 0);

// One elementary stream cut into 2,048-byte packs, one PES packet per pack, each as large
// as the pack allows. The first packet has the header's timestamps; every packet has its
// other fields (the stream_id_extension of VC-1 is repeated in each).
Bytes packetizeInPacks(uint8_t streamId, const PesHeader& first,
                       std::span<const uint8_t> elementaryStream);
// The same for a private stream 1 sub-stream, each packet with its sub-stream header.
Bytes packetizePrivateStream1(uint8_t subStreamId, const PesHeader& first,
                              std::span<const uint8_t> elementaryStream);

// ---- Payloads ----

// n bytes that contain no 00 00 01 anywhere (never a zero byte), varying with seed.
Bytes filler(size_t n, uint8_t seed = 0);
// count MPEG-2 pictures: each 00 00 01 00 followed by filler up to pictureSize bytes.
Bytes mpeg2Pictures(int count, size_t pictureSize);
// The same with another start code byte (0x09 H.264 access unit delimiter, 0x0D VC-1 frame).
Bytes pictures(uint8_t startCodeByte, int count, size_t pictureSize);
Bytes concat(std::initializer_list<Bytes> parts);

// ---- Whole streams and files ----

class ProgramStream {
  public:
    ProgramStream& add(std::span<const uint8_t> bytes);
    ProgramStream& add(const Bytes& bytes) { return add(std::span<const uint8_t>(bytes)); }
    // Adds packets as one 2,048-byte pack.
    ProgramStream& addPack(std::initializer_list<Bytes> packets,
                           const PackHeader& header = PackHeader());
    // Pads up to a multiple of 2,048 bytes: a pack header and a padding packet, a padding
    // packet alone, or 0xFF bytes, whichever fits the gap.
    ProgramStream& padToPack();

    const Bytes& bytes() const { return bytes_; }
    size_t size() const { return bytes_.size(); }
    void writeFile(const std::string& path) const;

  private:
    Bytes bytes_;
};

// A file of exactly size bytes holding the given bytes at their offsets and zeros elsewhere;
// the zeros are holes (the file is sparse), so files of many GiB cost no disk space.
struct Placement {
    uint64_t offset;
    Bytes bytes;
};
void writeSparseFile(const std::string& path, uint64_t size,
                     const std::vector<Placement>& placements = {});

}  // namespace morvale::testing
