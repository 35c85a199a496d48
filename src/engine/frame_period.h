#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/engine_types.h"
#include "reports/video_headers.h"

namespace morvale {

// The frame period of a video stream, from its first sequence header: the MPEG-1/MPEG-2
// video sequence header's frame_rate_code, the timing information of an ISO/IEC 14496-10
// sequence parameter set, or the frame rate of an SMPTE 421M advanced-profile sequence
// header. It is fed the stream's payload piece by piece, in order, keeps the bytes a header
// cut by a piece boundary still needs, and stops looking after the first MiB of payload.
class FramePeriodFinder {
  public:
    // The next piece of the stream, of the given kind.
    void look(std::span<const uint8_t> piece, VideoKind kind);
    // Looking is over: a header was read, or none will be.
    bool done() const { return done_; }
    // The period the first sequence header gave; empty when it gave none (or none was found).
    std::optional<FramePeriod> period() const { return period_; }

  private:
    void finish(std::optional<FramePeriod> period);

    std::vector<uint8_t> pending_;  // the end of the pieces seen, from a possible header on
    size_t looked_ = 0;
    bool done_ = false;
    std::optional<FramePeriod> period_;
};

}  // namespace morvale
