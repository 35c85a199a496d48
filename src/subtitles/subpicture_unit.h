// SPDX-License-Identifier: MIT
#pragma once

// A subpicture unit (SPU) as private stream 1 sub-streams 0x20-0x3F carry it, and the size
// header its first bytes hold. Two layouts exist: the DVD one (u16 size at 0, never 0) and
// the HD DVD one (0x0000, then a u32 size at 2).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace morvale {

enum class SpuLayout { Dvd, HdDvd };

// One whole unit and its presentation time in 90 kHz ticks. The time is the unit's PES PTS
// on a continuous timeline: the 32-bit PTS values the engine keeps are unwrapped, so it keeps
// growing past 2^32 (see SubpictureAssembler).
struct SubpictureUnit {
    std::vector<uint8_t> bytes;
    int64_t pts = 0;
    SpuLayout layout() const;
};

// Bytes needed at the start of a unit before its size is known.
inline constexpr size_t kDvdSizeHeader = 2;
inline constexpr size_t kHdDvdSizeHeader = 6;

// The smallest whole units: the size and first-sequence fields, one control sequence of
// delay, link and CMD_END.
inline constexpr size_t kDvdMinUnit = 4 + 5;
inline constexpr size_t kHdDvdMinUnit = 10 + 7;

// The largest HD DVD unit taken. The layout's 32-bit size would allow 4 GiB; a unit that
// covers a whole 1920x1080 frame with 8-bit colours needs about 2.6 MB even when every pixel
// is a code of its own (10 bits), plus 1 KiB of palette. Twice that leaves room for fades
// and odd encoders, and bounds what one broken size field can make us hold.
inline constexpr uint32_t kMaxHdDvdUnit = 6u << 20;

// The layout and declared size of a unit from its first bytes; nullopt while fewer bytes
// than the layout's size header are at hand.
struct UnitSize {
    SpuLayout layout;
    uint32_t size;
};
std::optional<UnitSize> declaredUnitSize(std::span<const uint8_t> head);

// Whether a declared size can be a unit of its layout (not below the smallest unit, an HD
// DVD unit not beyond kMaxHdDvdUnit).
bool plausibleUnitSize(const UnitSize& size);

}  // namespace morvale
