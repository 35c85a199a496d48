// SPDX-License-Identifier: MIT
#pragma once

// DVD subpicture units as VobSub (.idx + .sub, what mkvmerge takes as S_VOBSUB). The units
// pass through unchanged. The .sub is an MPEG-2 program stream of 2,048-byte packs: a unit
// starts a pack (pack header, private stream 1 PES packet with the PTS and sub-stream 0x20,
// the first bytes of the unit), goes on in packs whose packets carry no PTS, and each pack is
// filled up with a padding packet (or, for a gap under a padding packet's six bytes, PES
// header stuffing). The .idx is the text index: header, frame size, the 16-colour palette in
// RGB, the language, and one line per unit with its time and the offset of its first pack.
//
// Times: the units' PTS minus `offset`. A unit before zero, or before the unit before it, is
// not written (counted); the PTS field keeps the low 33 bits, the index the whole time.

#include <cstdint>
#include <string>
#include <vector>

#include "subtitles/byte_sink.h"
#include "subtitles/dvd_palette.h"
#include "subtitles/subpicture_unit.h"

namespace morvale {

struct VobSubOptions {
    int width = 720;  // the video's frame size
    int height = 576;
    DvdPalette palette = defaultDvdPalette();  // chooseDvdPalette() gives the IFO's
    // ISO 639-1, two lower-case letters ("de"); anything else is written as "--", which
    // readers take as undetermined.
    std::string language;
    int64_t offset = 0;
};

struct VobSubCounts {
    uint64_t units = 0;  // written
    uint64_t packs = 0;
    uint64_t notDvd = 0;      // HD DVD units: 32-bit sizes and 256 colours do not fit VobSub
    uint64_t outOfRange = 0;  // before zero
    uint64_t outOfOrder = 0;
    uint64_t skipped() const { return notDvd + outOfRange + outOfOrder; }
};

// The .idx lines before the first timestamp line.
std::string vobSubIndexHeader(const VobSubOptions& options);
// "timestamp: HH:MM:SS:mmm, filepos: 000000000" and its newline; the time rounded to ms.
std::string vobSubIndexLine(int64_t ticks, uint64_t filePosition);

class VobSubWriter {
  public:
    // Writes the index header to `idx` at once.
    VobSubWriter(ByteSink& sub, ByteSink& idx, const VobSubOptions& options);

    void add(const SubpictureUnit& unit);
    const VobSubCounts& counts() const { return counts_; }

  private:
    size_t putPack(std::span<const uint8_t> payload, std::optional<uint64_t> pts, uint64_t scr);

    ByteSink& sub_;
    ByteSink& idx_;
    VobSubOptions options_;
    uint64_t position_ = 0;
    std::optional<int64_t> lastPts_;
    std::vector<uint8_t> pack_;
    VobSubCounts counts_;
};

}  // namespace morvale
