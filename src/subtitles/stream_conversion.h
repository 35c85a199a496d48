// SPDX-License-Identifier: MIT
#pragma once

// One subpicture sub-stream converted as its payload pieces come, in file order: units
// assembled, parsed and written as PGS, or passed through as VobSub (DVD units that parse).
// What a Demux or Make MKV
// run holds per converted stream; memory stays within one unit.
//
//   PgsConversion pgs(supFile, {1920, 1080, minFirstPts, ColourMatrix::Bt601});
//   for each piece of sub-stream 0x20:
//       pgs.feed(piece.bytes, piece.firstOfPacket, packetHasPts ? pts : std::nullopt);
//   pgs.finish(featureEnd);
//   log(pgs.counts()...);

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "subtitles/dvd_palette.h"
#include "subtitles/pgs_writer.h"
#include "subtitles/unit_assembler.h"
#include "subtitles/vobsub_writer.h"

namespace morvale {

// Units that would not parse, and why the last one did not.
struct MalformedUnits {
    uint64_t count = 0;
    std::string lastReason;
};

class PgsConversion {
  public:
    // `dvdPalette` colours DVD-layout units (2-bit pictures) when a DVD stream goes to PGS.
    PgsConversion(ByteSink& sup, const PgsOptions& options,
                  const DvdPalette& dvdPalette = defaultDvdPalette());

    void feed(std::span<const uint8_t> bytes, bool firstOfPacket, std::optional<uint32_t> pts);
    // The end of the stream; `end` clears a last event without a stop (see PgsWriter).
    void finish(std::optional<int64_t> end = std::nullopt);

    const AssemblyCounts& assembly() const { return assembler_.counts(); }
    // Whole units of the DVD layout met, which took their colours from `dvdPalette`.
    uint64_t dvdUnits() const { return dvdUnits_; }
    const MalformedUnits& malformed() const { return malformed_; }
    const PgsCounts& written() const { return writer_.counts(); }

  private:
    SubpictureAssembler assembler_;
    PgsWriter writer_;
    DvdPalette dvdPalette_;
    uint64_t dvdUnits_ = 0;
    MalformedUnits malformed_;
};

class VobSubConversion {
  public:
    VobSubConversion(ByteSink& sub, ByteSink& idx, const VobSubOptions& options);

    void feed(std::span<const uint8_t> bytes, bool firstOfPacket, std::optional<uint32_t> pts);
    void finish();

    const AssemblyCounts& assembly() const { return assembler_.counts(); }
    // DVD units that would not parse: left out, since they pass through unchecked otherwise.
    const MalformedUnits& malformed() const { return malformed_; }
    const VobSubCounts& written() const { return writer_.counts(); }

  private:
    SubpictureAssembler assembler_;
    VobSubWriter writer_;
    MalformedUnits malformed_;
};

}  // namespace morvale
