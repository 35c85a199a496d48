#include "engine/frame_period.h"

#include <algorithm>

namespace morvale {

namespace {

// Payload looked at per stream and file before giving up, and the most a cut header may
// keep waiting for the next piece.
constexpr size_t kLookLimit = 1 << 20;
constexpr size_t kLongestHeader = 4096;

constexpr uint8_t kMpegSequenceHeader = 0xB3;
constexpr uint8_t kVc1SequenceHeader = 0x0F;
constexpr uint8_t kH264SequenceParameterSet = 7;

// Whether the sequence header was read (not cut), and the period it gives.
template <typename Header>
bool take(const Header& header, std::optional<FramePeriod>& period) {
    period = header.whole() ? header.framePeriod : std::nullopt;
    return header.whole() || !header.cut;
}

bool readFramePeriod(std::span<const uint8_t> fields, VideoKind kind,
                     std::optional<FramePeriod>& period) {
    switch (kind) {
        case VideoKind::VideoH264:
            return take(readH264SequenceParameters(fields), period);
        case VideoKind::VideoVc1:
            return take(readVc1SequenceHeader(fields), period);
        default:
            return take(readMpegVideoSequence(fields), period);
    }
}

// Whether the start code byte begins the kind's sequence header (H.264: forbidden_zero_bit
// 0 and nal_unit_type 7, whatever nal_ref_idc).
bool isSequenceHeader(uint8_t code, VideoKind kind) {
    if (kind == VideoKind::VideoH264) return (code & 0x9F) == kH264SequenceParameterSet;
    return code == (kind == VideoKind::VideoVc1 ? kVc1SequenceHeader : kMpegSequenceHeader);
}

}  // namespace

void FramePeriodFinder::finish(std::optional<FramePeriod> period) {
    period_ = period;
    done_ = true;
    pending_.clear();
    pending_.shrink_to_fit();
}

// The pieces are joined only while looking (the first packet of a stream usually begins with
// its sequence header), so the search costs nothing once it is over.
void FramePeriodFinder::look(std::span<const uint8_t> piece, VideoKind kind) {
    if (done_) return;
    const size_t take = std::min(piece.size(), kLookLimit - looked_);
    pending_.insert(pending_.end(), piece.begin(), piece.begin() + static_cast<long>(take));
    looked_ += take;
    const std::span<const uint8_t> bytes(pending_);
    const size_t n = bytes.size();
    size_t keepFrom = n >= 3 ? n - 3 : 0;  // a start code prefix may end the piece
    for (size_t code = nextStartCode(bytes, 2); code < n; code = nextStartCode(bytes, code)) {
        if (!isSequenceHeader(bytes[code], kind)) continue;
        std::optional<FramePeriod> period;
        if (!readFramePeriod(bytes.subspan(code + 1), kind, period)) {
            keepFrom = code - 3;  // wait for the rest of it
            break;
        }
        finish(period);
        return;
    }
    if (looked_ >= kLookLimit || n - keepFrom > kLongestHeader) {
        finish(std::nullopt);
        return;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(keepFrom));
}

}  // namespace morvale
