// SPDX-License-Identifier: MIT
#include "subtitles/subpicture_unit.h"

namespace morvale {

SpuLayout SubpictureUnit::layout() const {
    return bytes.size() >= 2 && bytes[0] == 0 && bytes[1] == 0 ? SpuLayout::HdDvd : SpuLayout::Dvd;
}

std::optional<UnitSize> declaredUnitSize(std::span<const uint8_t> head) {
    if (head.size() < kDvdSizeHeader) return std::nullopt;
    const uint32_t dvdSize = (uint32_t{head[0]} << 8) | head[1];
    if (dvdSize != 0) return UnitSize{SpuLayout::Dvd, dvdSize};
    if (head.size() < kHdDvdSizeHeader) return std::nullopt;
    const uint32_t size =
        (uint32_t{head[2]} << 24) | (uint32_t{head[3]} << 16) | (uint32_t{head[4]} << 8) | head[5];
    return UnitSize{SpuLayout::HdDvd, size};
}

bool plausibleUnitSize(const UnitSize& size) {
    if (size.layout == SpuLayout::Dvd) return size.size >= kDvdMinUnit;
    return size.size >= kHdDvdMinUnit && size.size <= kMaxHdDvdUnit;
}

}  // namespace morvale
