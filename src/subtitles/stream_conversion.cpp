// SPDX-License-Identifier: MIT
#include "subtitles/stream_conversion.h"

#include "subtitles/unit_parser.h"

namespace morvale {

PgsConversion::PgsConversion(ByteSink& sup, const PgsOptions& options, const DvdPalette& dvdPalette)
    : writer_(sup, options), dvdPalette_(dvdPalette) {}

void PgsConversion::feed(std::span<const uint8_t> bytes, bool firstOfPacket,
                         std::optional<uint32_t> pts) {
    const std::optional<SubpictureUnit> unit = assembler_.feed(bytes, firstOfPacket, pts);
    if (!unit) return;
    if (unit->layout() == SpuLayout::Dvd) ++dvdUnits_;
    const UnitParse parsed = parseSubpictureUnit(*unit, dvdPalette_);
    if (!parsed.malformed.empty()) {
        ++malformed_.count;
        malformed_.lastReason = parsed.malformed;
    }
    if (parsed.event) writer_.add(*parsed.event);
}

void PgsConversion::finish(std::optional<int64_t> end) {
    assembler_.finish();
    writer_.finish(end);
}

VobSubConversion::VobSubConversion(ByteSink& sub, ByteSink& idx, const VobSubOptions& options)
    : writer_(sub, idx, options) {}

void VobSubConversion::feed(std::span<const uint8_t> bytes, bool firstOfPacket,
                            std::optional<uint32_t> pts) {
    const std::optional<SubpictureUnit> unit = assembler_.feed(bytes, firstOfPacket, pts);
    if (!unit) return;
    if (unit->layout() == SpuLayout::Dvd) {
        const UnitParse parsed = parseSubpictureUnit(*unit, defaultDvdPalette());
        if (!parsed.malformed.empty()) {
            ++malformed_.count;
            malformed_.lastReason = parsed.malformed;
            return;
        }
    }
    writer_.add(*unit);
}

void VobSubConversion::finish() {
    assembler_.finish();
}

}  // namespace morvale
