// SPDX-License-Identifier: MIT
#include "subtitles/dvd_palette.h"

#include <algorithm>
#include <cstring>

namespace morvale {

namespace {

constexpr char kVtsMagic[] = "DVDVIDEO-VTS";
constexpr size_t kPgciSectorField = 0xCC;
constexpr size_t kSector = 2048;
constexpr size_t kFirstPgcOffsetField = 12;  // count, reserved, end address, category
constexpr size_t kPgcPalette = 0xA4;

// BT.601 video range of 000000, FFFFFF, 808080, C0C0C0, 404040, FF0000, 00FF00, 0000FF,
// FFFF00, 00FFFF, FF00FF, 800000, 008000, 000080, 808000, 008080.
constexpr DvdPalette kDefault = {{{0x10, 0x80, 0x80, 255},
                                  {0xEB, 0x80, 0x80, 255},
                                  {0x7E, 0x80, 0x80, 255},
                                  {0xB5, 0x80, 0x80, 255},
                                  {0x47, 0x80, 0x80, 255},
                                  {0x51, 0xF0, 0x5A, 255},
                                  {0x91, 0x22, 0x36, 255},
                                  {0x29, 0x6E, 0xF0, 255},
                                  {0xD2, 0x92, 0x10, 255},
                                  {0xAA, 0x10, 0xA6, 255},
                                  {0x6A, 0xDE, 0xCA, 255},
                                  {0x31, 0xB8, 0x6D, 255},
                                  {0x51, 0x51, 0x5B, 255},
                                  {0x1D, 0x77, 0xB8, 255},
                                  {0x71, 0x89, 0x48, 255},
                                  {0x5D, 0x48, 0x93, 255}}};

uint32_t u32At(std::span<const uint8_t> bytes, size_t at) {
    return (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) |
           (uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

bool holds(std::span<const uint8_t> bytes, uint64_t at, uint64_t size) {
    return at <= bytes.size() && size <= bytes.size() - at;
}

}  // namespace

std::optional<DvdPalette> readIfoPalette(std::span<const uint8_t> ifo) {
    const size_t magic = sizeof kVtsMagic - 1;
    if (!holds(ifo, 0, kPgciSectorField + 4) || std::memcmp(ifo.data(), kVtsMagic, magic) != 0)
        return std::nullopt;
    const uint64_t table = uint64_t{u32At(ifo, kPgciSectorField)} * kSector;
    if (!holds(ifo, table, kFirstPgcOffsetField + 4)) return std::nullopt;
    if (((ifo[table] << 8) | ifo[table + 1]) == 0) return std::nullopt;  // no program chain
    const uint64_t pgc = table + u32At(ifo, table + kFirstPgcOffsetField);
    if (!holds(ifo, pgc + kPgcPalette, 16 * 4)) return std::nullopt;
    DvdPalette palette;
    for (size_t i = 0; i < palette.size(); ++i) {
        const size_t at = pgc + kPgcPalette + 4 * i;
        palette[i] = {ifo[at + 1], ifo[at + 2], ifo[at + 3], 255};
    }
    return palette;
}

const DvdPalette& defaultDvdPalette() {
    return kDefault;
}

DvdPaletteChoice chooseDvdPalette(std::optional<std::span<const uint8_t>> ifo) {
    if (!ifo) return {kDefault, false, "no IFO"};
    if (auto palette = readIfoPalette(*ifo)) return {*palette, true, {}};
    return {kDefault, false, "no palette in the IFO"};
}

}  // namespace morvale
