// SPDX-License-Identifier: MIT
#pragma once

// Display events as HDMV presentation graphics (.sup, what mkvmerge takes as S_HDMV/PGS).
//
// Each event becomes one display set at its start: PCS (epoch start, one object, forced flag
// from the event), WDS (one window over the object), PDS, the object's ODS fragments (split
// at the 65,535-byte segment limit) and END. A fade step becomes a palette update: PCS
// (normal state, palette update flag, the same object), PDS with the next version, END; PGS
// decoders draw the object again in the new colours. The event is cleared (PCS with no
// object, WDS, END) at its stop, or at the next event's start when it has none or stops
// later; the last event without a stop is cleared at the end given to finish().
//
// Times: the events' 90 kHz times minus `offset` (the output timeline's zero). The PTS field
// has 32 bits, 13.25 hours: an event that starts beyond it is not written (counted); one that
// starts before zero starts at zero, unless it is over by then (counted).
//
// Colours: the events' Y, Cr, Cb are taken as `paletteMatrix` colours and written as the
// matrix PGS decoders assume for the canvas: BT.709 above 576 lines, BT.601 up to it.

#include <cstdint>
#include <optional>
#include <vector>

#include "subtitles/byte_sink.h"
#include "subtitles/colour_matrix.h"
#include "subtitles/display_event.h"

namespace morvale {

struct PgsOptions {
    int width = 1920;  // the canvas: the video's frame size
    int height = 1080;
    int64_t offset = 0;
    ColourMatrix paletteMatrix = ColourMatrix::Bt601;
};

struct PgsCounts {
    uint64_t events = 0;       // events written
    uint64_t displaySets = 0;  // display sets written (shows, palette updates, clears)
    uint64_t paletteUpdates = 0;
    uint64_t outOfOrder = 0;  // an event starting before the one before it
    uint64_t outOfRange = 0;  // over before zero, or starting beyond 2^32 - 1 ticks
    uint64_t offCanvas = 0;   // nothing of it on the canvas, or no time to show
    uint64_t tooLarge = 0;    // an object beyond the 24-bit data length
    uint64_t skipped() const { return outOfOrder + outOfRange + offCanvas + tooLarge; }
};

class PgsWriter {
  public:
    PgsWriter(ByteSink& sink, const PgsOptions& options);

    void add(const DisplayEvent& event);
    // Clears the last event at its stop, or at `end` (output-timeline ticks before the
    // offset is taken, like event times) when it has none; without either it stays shown.
    void finish(std::optional<int64_t> end = std::nullopt);

    const PgsCounts& counts() const { return counts_; }

  private:
    // The event on screen: its object's place and the steps still to come, times on the
    // output timeline.
    struct Shown {
        int64_t start = 0;
        std::optional<int64_t> stop;
        uint16_t x = 0, y = 0, width = 0, height = 0;
        uint8_t flags = 0;
        size_t paletteSize = 0;
        std::vector<PaletteStep> fades;
    };

    void closePending(std::optional<int64_t> by);
    void writeShow(const DisplayEvent& event, int64_t start);
    void putObject(uint32_t pts, const DisplayEvent& event, const Shown& shown);
    void writePaletteUpdate(const Shown& shown, const PaletteStep& step);
    void writeClear(const Shown& shown, uint32_t time);
    void putComposition(uint32_t pts, uint8_t state, bool paletteUpdate, const Shown* object);
    void putWindow(uint32_t pts, const Shown& shown);
    void putPalette(uint32_t pts, const Palette& palette, size_t entries);
    void emit();

    ByteSink& sink_;
    PgsOptions options_;
    ColourMatrix outputMatrix_;
    std::optional<Shown> pending_;
    std::optional<int64_t> lastStart_;
    uint16_t compositionNumber_ = 0;
    uint8_t paletteVersion_ = 0;
    std::vector<uint8_t> set_;  // the display set being built
    std::vector<uint8_t> rle_;
    Palette lastPalette_{};
    std::optional<Palette> converted_;
    PgsCounts counts_;
};

}  // namespace morvale
