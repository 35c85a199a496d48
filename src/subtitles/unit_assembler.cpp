// SPDX-License-Identifier: MIT
#include "subtitles/unit_assembler.h"

#include <algorithm>

namespace morvale {

int64_t unwrapPts(uint32_t low, std::optional<int64_t> previous) {
    if (!previous) return low;
    const auto step = static_cast<int32_t>(low - static_cast<uint32_t>(*previous));
    return *previous + step;
}

std::optional<SubpictureUnit> SubpictureAssembler::feed(std::span<const uint8_t> bytes,
                                                        bool firstOfPacket,
                                                        std::optional<uint32_t> pts) {
    if (firstOfPacket && pts) {
        if (inUnit_) drop(counts_.cutShort);
        start(*pts);
    } else if (firstOfPacket) {
        strayPacketCounted_ = false;
    }
    if (!inUnit_) {
        discard(bytes.size());
        return std::nullopt;
    }
    std::optional<SubpictureUnit> done = take(bytes);
    discard(bytes.size());
    return done;
}

void SubpictureAssembler::finish() {
    if (inUnit_) drop(counts_.cutShort);
}

void SubpictureAssembler::start(uint32_t pts) {
    inUnit_ = true;
    restOfDropped_ = false;
    size_.reset();
    unit_.bytes.clear();
    unit_.pts = unwrap(pts);
}

void SubpictureAssembler::drop(uint64_t& cause) {
    ++cause;
    counts_.droppedBytes += unit_.bytes.size();
    unit_.bytes.clear();
    inUnit_ = false;
}

// Bytes outside any unit: the rest of a unit dropped for its size, or stray bytes, counted
// once per packet.
void SubpictureAssembler::discard(size_t bytes) {
    if (bytes == 0) return;
    counts_.droppedBytes += bytes;
    if (restOfDropped_ || strayPacketCounted_) return;
    ++counts_.strayPackets;
    strayPacketCounted_ = true;
}

// Appends what the unit still lacks and hands the unit out when it is whole. The size header
// may itself be split between pieces; the first bytes of the unit are kept until it is read.
std::optional<SubpictureUnit> SubpictureAssembler::take(std::span<const uint8_t>& bytes) {
    while (!size_ && !bytes.empty()) {
        unit_.bytes.push_back(bytes.front());
        bytes = bytes.subspan(1);
        size_ = declaredUnitSize(unit_.bytes);
        if (size_ && !plausibleUnitSize(*size_)) {
            drop(counts_.badSize);
            restOfDropped_ = true;
            return std::nullopt;
        }
    }
    if (!size_) return std::nullopt;
    if (unit_.bytes.capacity() < size_->size) unit_.bytes.reserve(size_->size);
    const size_t wanted = size_->size - unit_.bytes.size();
    const size_t n = std::min(wanted, bytes.size());
    unit_.bytes.insert(unit_.bytes.end(), bytes.begin(), bytes.begin() + n);
    bytes = bytes.subspan(n);
    if (unit_.bytes.size() < size_->size) return std::nullopt;
    inUnit_ = false;
    ++counts_.units;
    SubpictureUnit done{std::move(unit_.bytes), unit_.pts};
    unit_.bytes = {};
    strayPacketCounted_ = false;
    restOfDropped_ = false;
    return done;
}

int64_t SubpictureAssembler::unwrap(uint32_t pts) {
    lastPts_ = unwrapPts(pts, lastPts_);
    return *lastPts_;
}

}  // namespace morvale
