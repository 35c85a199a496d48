#pragma once

// Subpicture streams for the subtitle tests and ffmpeg as their independent reader: program
// streams of units in private stream 1, the payload pieces the engine would hand on for them,
// ffprobe's subtitle frames and ffmpeg's rendering of them over a clear canvas.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/program_stream_builder.h"

namespace morvale::testing {

struct TimedUnit {
    Bytes bytes;
    uint64_t pts;
};

struct PayloadPiece {
    Bytes bytes;
    bool firstOfPacket;
    std::optional<uint32_t> pts;
};

// One 2,048-byte pack per PES packet of sub-stream 0x20, a unit over as many as it needs,
// the first with its PTS; and the payload of each packet as a piece.
struct SubpictureSource {
    Bytes stream;
    std::vector<PayloadPiece> pieces;
};
SubpictureSource subpictureSource(const std::vector<TimedUnit>& units);

// ffprobe's subtitle frames of the first subtitle stream: its PTS (microseconds), display
// times (ms after it) and rectangle count. `inputOptions` go before -i (decoder options).
struct SubtitleFrame {
    int64_t ptsUs = 0;
    int64_t startMs = 0, endMs = 0;
    int rects = 0;
};
std::vector<SubtitleFrame> probeSubtitleFrames(const std::string& path,
                                               const std::string& inputOptions = "");

// ffmpeg's own drawing of the first subtitle stream over a fully transparent canvas at the
// given times (seconds, multiples of 0.1), as RGBA frames; empty when ffmpeg failed.
std::vector<Bytes> renderSubtitles(const std::string& path, int width, int height,
                                   const std::vector<double>& times,
                                   const std::string& inputOptions = "");

// The largest difference of one channel between two frames of the same size (256 when the
// sizes differ).
int largestChannelDifference(const Bytes& a, const Bytes& b);
// How many pixels of a frame are not fully transparent.
size_t visiblePixels(const Bytes& rgba);

}  // namespace morvale::testing
