// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/stream_kinds.h"
#include "reports/video_headers.h"

namespace morvale {

// What a stream's first header says, as far as later steps need it (zero where it says
// nothing): a video stream's picture size and frame period from its first sequence header
// (the MPEG-1/MPEG-2 sequence header, an ISO/IEC 14496-10 sequence parameter set with its
// timing information, an SMPTE 421M advanced-profile sequence header); an audio stream's
// sampling rate and channels from its first frame header (A/52 and its Annex E, DTS, the
// major sync of MLP/TrueHD). LPCM carries its format in its sub-stream header instead.
struct StreamFacts {
    std::optional<FramePeriod> framePeriod;
    uint32_t width = 0;
    uint32_t height = 0;
    int32_t sampleRate = 0;
    int channels = 0;
};

// Looks for a stream's first header: fed the stream's payload piece by piece, in order, it
// keeps the bytes a header cut by a piece boundary still needs, and stops looking after the
// first MiB of payload.
class HeaderFinder {
  public:
    // The next piece of a stream of the format.
    void look(std::span<const uint8_t> piece, StreamFormat format);
    // Looking is over: a header was read, or none will be.
    bool done() const { return done_; }
    const StreamFacts& facts() const { return facts_; }

  private:
    void finish();

    std::vector<uint8_t> pending_;  // the end of the pieces seen, from a possible header on
    size_t looked_ = 0;
    bool done_ = false;
    StreamFacts facts_;
};

}  // namespace morvale
