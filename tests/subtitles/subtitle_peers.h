// SPDX-License-Identifier: MIT
#pragma once

// Subpicture streams for the subtitle tests and ffmpeg as their independent reader: program
// streams of units in private stream 1, the payload pieces the engine would hand on for them,
// ffprobe's subtitle frames and ffmpeg's rendering of them over a clear canvas.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "subtitles/dvd_palette.h"
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

// ffprobe's subtitle frames of a subtitle stream (the first by default): its PTS
// (microseconds), display times (ms after it) and rectangle count. `inputOptions` go before
// -i (decoder options).
struct SubtitleFrame {
    int64_t ptsUs = 0;
    int64_t startMs = 0, endMs = 0;
    int rects = 0;
};
std::vector<SubtitleFrame> probeSubtitleFrames(const std::string& path,
                                               const std::string& inputOptions = "",
                                               int stream = 0);

// ffmpeg's own drawing of a subtitle stream (the first by default) over a fully transparent canvas at the
// given times (seconds, multiples of 0.1), as RGBA frames; empty when ffmpeg failed.
std::vector<Bytes> renderSubtitles(const std::string& path, int width, int height,
                                   const std::vector<double>& times,
                                   const std::string& inputOptions = "", int stream = 0);

// An event as ffmpeg's frames show it, in ms.
struct PeerEvent {
    double start = 0;
    std::optional<double> stop;
};
// dvdsub frames carry their display times; frames without a stop last to the next one.
std::vector<PeerEvent> sourceEvents(const std::vector<SubtitleFrame>& frames);
// PGS frames: one with objects after an empty one starts an event, an empty one ends it;
// one with objects after another is a palette update of the same event.
std::vector<PeerEvent> pgsEvents(const std::vector<SubtitleFrame>& frames);
// The same events `ms` earlier.
std::vector<PeerEvent> shiftedEvents(std::vector<PeerEvent> events, double ms);

// The same number of events, starts and stops within 1 ms; a source event without a stop
// stops at `end` (ms).
void expectSameEvents(const std::vector<PeerEvent>& source, const std::vector<PeerEvent>& out,
                      std::optional<double> end);
// The frames at `times` within `tolerance` per channel, something drawn in at least one.
// Where the colour matrix changes (an HD canvas, whose PGS colours are BT.709, from HD DVD
// colours that ffmpeg reads as BT.601), about one colour in a thousand lands 2 away: both
// 8-bit colours are as near the same R'G'B' as 8 bits allow, and ffmpeg's fixed-point
// decoding of each rounds on its own.
void expectSamePixels(const std::vector<Bytes>& source, const std::vector<Bytes>& out,
                      const std::vector<double>& times, int tolerance = 1);

// A title-set IFO whose first program chain holds `palette`.
Bytes ifoWithPalette(const DvdPalette& palette);
// Sixteen random colours from R'G'B'.
DvdPalette testPalette();
// ffmpeg's dvdsub option giving the palette ("-palette rrggbb,...").
std::string paletteOption(const DvdPalette& palette);

// The largest difference of one channel between two frames of the same size (256 when the
// sizes differ).
int largestChannelDifference(const Bytes& a, const Bytes& b);
// How many pixels of a frame are not fully transparent.
size_t visiblePixels(const Bytes& rgba);

}  // namespace morvale::testing
