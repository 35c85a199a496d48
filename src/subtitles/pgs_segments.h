// SPDX-License-Identifier: MIT
#pragma once

// HDMV presentation graphics (PGS) as a .sup file holds them: segments of "PG", PTS, DTS,
// type, payload size and payload, grouped into display sets that end with an END segment;
// and the run-length code of PGS objects.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace morvale {

enum PgsSegmentType : uint8_t {
    kPgsPalette = 0x14,
    kPgsObject = 0x15,
    kPgsComposition = 0x16,
    kPgsWindow = 0x17,
    kPgsEnd = 0x80,
};

inline constexpr size_t kPgsSegmentHeader = 13;
inline constexpr size_t kPgsMaxPayload = 0xFFFF;
// ODS fragments: object id, version, sequence flags; the first adds data length and size.
inline constexpr size_t kPgsObjectFragmentHeader = 4;
inline constexpr size_t kPgsFirstObjectFragmentHeader = 11;
// The object data length field (24 bits) counts the RLE bytes and the width and height.
inline constexpr size_t kPgsMaxObjectData = 0xFFFFFF - 4;

inline constexpr uint8_t kPgsEpochStart = 0x80;
inline constexpr uint8_t kPgsNormal = 0x00;
inline constexpr uint8_t kPgsForcedObject = 0x40;
inline constexpr uint8_t kPgsFirstFragment = 0x80;
inline constexpr uint8_t kPgsLastFragment = 0x40;

// Appends one segment (DTS 0) to `out`; the payload is at most kPgsMaxPayload bytes.
void appendPgsSegment(std::vector<uint8_t>& out, uint32_t pts, uint8_t type,
                      std::span<const uint8_t> payload);

// Appends big-endian fields to a payload.
void putU16(std::vector<uint8_t>& out, uint32_t value);
void putU24(std::vector<uint8_t>& out, uint32_t value);
void putU32(std::vector<uint8_t>& out, uint32_t value);

// PGS run-length code of `height` lines of `width` indices, `stride` bytes apart: a non-zero
// byte is one pixel of that colour; 00 escapes a run of colour 0 or of the next colour, with
// a 6- or 14-bit length; 00 00 ends every line.
void encodePgsRle(const uint8_t* pixels, int width, int height, size_t stride,
                  std::vector<uint8_t>& out);

// The inverse, into a width x height bitmap; an empty string, or why the code is broken
// (a line longer than the width, a line or the code cut short, lines beyond the height).
std::string decodePgsRle(std::span<const uint8_t> rle, int width, int height,
                         std::vector<uint8_t>& bitmap);

}  // namespace morvale
