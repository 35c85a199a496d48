// SPDX-License-Identifier: MIT
#include "subtitles/pgs_writer.h"

#include <algorithm>
#include <limits>

#include "subtitles/pgs_segments.h"

namespace morvale {

namespace {

constexpr int64_t kMaxPts = std::numeric_limits<uint32_t>::max();
constexpr uint8_t kFrameRate = 0x10;
// PGS decoders assume BT.709 colours on HD canvases and BT.601 up to 576 lines.
constexpr int kStandardDefinitionLines = 576;

}  // namespace

PgsWriter::PgsWriter(ByteSink& sink, const PgsOptions& options)
    : sink_(sink),
      options_(options),
      outputMatrix_(options.height > kStandardDefinitionLines ? ColourMatrix::Bt709
                                                              : ColourMatrix::Bt601) {}

void PgsWriter::add(const DisplayEvent& event) {
    if (lastStart_ && event.start < *lastStart_) {
        ++counts_.outOfOrder;
        return;
    }
    const int64_t start = event.start - options_.offset;
    std::optional<int64_t> stop;
    if (event.stop) stop = *event.stop - options_.offset;
    if (start > kMaxPts || (stop && *stop <= 0)) {
        ++counts_.outOfRange;
        return;
    }
    lastStart_ = event.start;
    // The unit replaces what was shown, whether or not it can be written itself.
    closePending(std::max<int64_t>(start, 0));
    if (stop && *stop <= start) {
        ++counts_.offCanvas;
        return;
    }
    writeShow(event, std::max<int64_t>(start, 0));
}

void PgsWriter::finish(std::optional<int64_t> end) {
    if (end) end = *end - options_.offset;
    if (pending_ && pending_->stop) end.reset();
    closePending(end);
}

// Writes the steps of the shown event before its clearing time, and the clear: at its stop,
// or at `by` if that comes first or it has no stop.
void PgsWriter::closePending(std::optional<int64_t> by) {
    if (!pending_) return;
    const Shown shown = std::move(*pending_);
    pending_.reset();
    std::optional<int64_t> clear = shown.stop;
    if (by && (!clear || *by < *clear)) clear = by;
    if (clear) clear = std::clamp(*clear, shown.start, kMaxPts);
    for (const PaletteStep& step : shown.fades) {
        if ((clear && step.time >= *clear) || step.time > kMaxPts) break;
        writePaletteUpdate(shown, step);
    }
    if (clear) writeClear(shown, static_cast<uint32_t>(*clear));
}

void PgsWriter::writeShow(const DisplayEvent& event, int64_t start) {
    const DisplayArea& a = event.area;
    if (a.width <= 0 || a.height <= 0 || a.x >= options_.width || a.y >= options_.height) {
        ++counts_.offCanvas;
        return;
    }
    Shown shown;
    shown.start = start;
    shown.stop = event.stop ? std::optional<int64_t>(*event.stop - options_.offset) : std::nullopt;
    shown.x = static_cast<uint16_t>(a.x);
    shown.y = static_cast<uint16_t>(a.y);
    shown.width = static_cast<uint16_t>(std::min(a.width, options_.width - a.x));
    shown.height = static_cast<uint16_t>(std::min(a.height, options_.height - a.y));
    shown.flags = event.forced ? kPgsForcedObject : 0;
    shown.paletteSize = event.eightBit ? 256 : 4;
    rle_.clear();
    encodePgsRle(event.pixels.data(), shown.width, shown.height, static_cast<size_t>(a.width),
                 rle_);
    if (rle_.size() > kPgsMaxObjectData) {
        ++counts_.tooLarge;
        return;
    }
    for (const PaletteStep& step : event.fades)
        shown.fades.push_back(
            {std::max<int64_t>(step.time - options_.offset, start), step.palette});

    const auto pts = static_cast<uint32_t>(start);
    paletteVersion_ = 0;
    putComposition(pts, kPgsEpochStart, false, &shown);
    putWindow(pts, shown);
    putPalette(pts, event.palette, shown.paletteSize);
    putObject(pts, event, shown);
    emit();
    ++counts_.events;
    pending_ = std::move(shown);
}

// The object's RLE in ODS fragments of at most one segment each.
void PgsWriter::putObject(uint32_t pts, const DisplayEvent&, const Shown& shown) {
    std::vector<uint8_t> payload;
    size_t at = 0;
    bool first = true;
    do {
        payload.clear();
        putU16(payload, 0);    // object id
        payload.push_back(0);  // object version
        const size_t header = first ? kPgsFirstObjectFragmentHeader : kPgsObjectFragmentHeader;
        const size_t n = std::min(rle_.size() - at, kPgsMaxPayload - header);
        const bool last = at + n == rle_.size();
        payload.push_back(
            static_cast<uint8_t>((first ? kPgsFirstFragment : 0) | (last ? kPgsLastFragment : 0)));
        if (first) {
            putU24(payload, static_cast<uint32_t>(rle_.size() + 4));
            putU16(payload, shown.width);
            putU16(payload, shown.height);
        }
        payload.insert(payload.end(), rle_.begin() + static_cast<ptrdiff_t>(at),
                       rle_.begin() + static_cast<ptrdiff_t>(at + n));
        appendPgsSegment(set_, pts, kPgsObject, payload);
        at += n;
        first = false;
    } while (at < rle_.size());
}

void PgsWriter::writePaletteUpdate(const Shown& shown, const PaletteStep& step) {
    const auto pts = static_cast<uint32_t>(step.time);
    ++paletteVersion_;
    putComposition(pts, kPgsNormal, true, &shown);
    putPalette(pts, step.palette, shown.paletteSize);
    emit();
    ++counts_.paletteUpdates;
}

void PgsWriter::writeClear(const Shown& shown, uint32_t time) {
    putComposition(time, kPgsNormal, false, nullptr);
    putWindow(time, shown);
    emit();
}

void PgsWriter::putComposition(uint32_t pts, uint8_t state, bool paletteUpdate,
                               const Shown* object) {
    std::vector<uint8_t> p;
    putU16(p, static_cast<uint32_t>(options_.width));
    putU16(p, static_cast<uint32_t>(options_.height));
    p.push_back(kFrameRate);
    putU16(p, compositionNumber_++);
    p.push_back(state);
    p.push_back(paletteUpdate ? 0x80 : 0x00);
    p.push_back(0);  // palette id
    p.push_back(object ? 1 : 0);
    if (object) {
        putU16(p, 0);    // object id
        p.push_back(0);  // window id
        p.push_back(object->flags);
        putU16(p, object->x);
        putU16(p, object->y);
    }
    appendPgsSegment(set_, pts, kPgsComposition, p);
}

void PgsWriter::putWindow(uint32_t pts, const Shown& shown) {
    std::vector<uint8_t> p{1, 0};  // one window, id 0
    putU16(p, shown.x);
    putU16(p, shown.y);
    putU16(p, shown.width);
    putU16(p, shown.height);
    appendPgsSegment(set_, pts, kPgsWindow, p);
}

void PgsWriter::putPalette(uint32_t pts, const Palette& palette, size_t entries) {
    // Units of one stream mostly repeat one palette: convert it once.
    if (!converted_ || palette != lastPalette_) {
        lastPalette_ = palette;
        converted_.emplace();
        for (size_t i = 0; i < palette.size(); ++i)
            (*converted_)[i] = convertMatrix(palette[i], options_.paletteMatrix, outputMatrix_);
    }
    std::vector<uint8_t> p{0, paletteVersion_};  // palette id, version
    for (size_t i = 0; i < entries; ++i) {
        const PaletteEntry& c = (*converted_)[i];
        p.insert(p.end(), {static_cast<uint8_t>(i), c.y, c.cr, c.cb, c.alpha});
    }
    appendPgsSegment(set_, pts, kPgsPalette, p);
}

void PgsWriter::emit() {
    appendPgsSegment(set_, 0, kPgsEnd, {});
    // The END segment shares the set's PTS.
    const size_t end = set_.size() - kPgsSegmentHeader;
    std::copy(set_.begin() + 2, set_.begin() + 6, set_.begin() + static_cast<ptrdiff_t>(end) + 2);
    sink_.write(set_);
    set_.clear();
    ++counts_.displaySets;
}

}  // namespace morvale
