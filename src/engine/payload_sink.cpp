// SPDX-License-Identifier: MIT
#include "engine/payload_sink.h"

namespace morvale {

std::array<uint8_t, 10> subpictureRecordHeader(uint32_t relativeTime) {
    return {'S',
            'P',
            static_cast<uint8_t>(relativeTime),
            static_cast<uint8_t>(relativeTime >> 8),
            static_cast<uint8_t>(relativeTime >> 16),
            static_cast<uint8_t>(relativeTime >> 24),
            0,
            0,
            0,
            0};
}

void SubpictureRecordSink::take(std::span<const uint8_t> bytes, bool firstOfPacket,
                                std::optional<uint32_t> pts) {
    if (firstOfPacket && pts) {
        const auto header = subpictureRecordHeader(*pts - timeBase_);
        file_.write(header.data(), header.size());
    }
    if (!bytes.empty()) file_.write(bytes.data(), bytes.size());
}

}  // namespace morvale
