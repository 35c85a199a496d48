// SPDX-License-Identifier: MIT
#include "export/feature_scan_recorder.h"

#include "engine/stream_kinds.h"
#include "platform/paths.h"

namespace morvale {

namespace {

// The name the stream boxes give the kind: "VC-1.stream" -> "VC-1", "Subpicture".
std::string codecName(const StreamKind& row) {
    std::string_view name = row.boxName;
    if (name.ends_with(".stream")) name.remove_suffix(7);
    return std::string(name);
}

}  // namespace

// How long a part of a video stream plays: its latest PTS less its earliest plus one frame
// period (ScannedStream::playPeriod).
int64_t videoPartDurationTicks(const ScanPartTimes& part, FramePeriod period) {
    if (!part.firstPts || !part.lastPts) return 0;
    const int64_t span = ptsDifference(*part.lastPts, *part.firstPts);
    const int64_t numerator = int64_t{kTicksPerSecond} * period.numerator;
    return span + (numerator + period.denominator / 2) / period.denominator;
}

ScanStream& FeatureScanRecorder::streamFor(ScanStreamKind kind, int slot, int id) {
    for (ScanStream& stream : scan_.streams) {
        if (stream.kind == kind && stream.slot == slot && stream.id == id) return stream;
    }
    ScanStream stream;
    stream.kind = kind;
    stream.slot = slot;
    stream.id = id;
    if (const StreamKind* row = streamKindInSlot(slotKindOf(kind), id)) {
        stream.format = row->format;
        stream.codec = codecName(*row);
    }
    stream.parts.resize(scan_.partPaths.size());
    scan_.streams.push_back(std::move(stream));
    lpcmHeaders_.emplace_back();
    lpcmKnown_.push_back(false);
    return scan_.streams.back();
}

void FeatureScanRecorder::addSlot(ScanStreamKind kind, int slot, int32_t id,
                                  const ScannedStream* scanned) {
    if (id < 0) return;
    ScanStream& stream = streamFor(kind, slot, id);
    stream.parts.resize(scan_.partPaths.size());
    ScanPartTimes& part = stream.parts.back();
    const StreamTimes times = scanned ? scanned->times : StreamTimes{};
    if (times.seen) {
        part.firstPts = times.minPts();
        part.lastPts = times.maxPts();
        if (!stream.firstPts) stream.firstPts = part.firstPts;
    }
    if (kind == ScanStreamKind::Video) {
        const int64_t pictures = scanned ? scanned->pictures : 0;
        stream.frameCount += pictures;
        if (times.seen) part.durationTicks = videoPartDurationTicks(part, scanned->playPeriod());
        // The running time the log gives: the pictures counted at the stream's frame period.
        if (scanned && stream.frameCount > 0) {
            const FramePeriod period = scanned->playPeriod();
            stream.runningSeconds = static_cast<double>(stream.frameCount) * period.numerator /
                                    period.denominator;
        }
    }
    // What the stream's first header says, as the log prints it.
    if (kind == ScanStreamKind::Audio && scanned) {
        if (!stream.sampleRate && scanned->facts.sampleRate > 0) stream.sampleRate = scanned->facts.sampleRate;
        if (!stream.channels && scanned->facts.channels > 0) stream.channels = scanned->facts.channels;
    }
}

// The format bytes of an LPCM stream's first part that held them.
void FeatureScanRecorder::addLpcmFormat(int slot, int32_t id, const ScannedStream* scanned) {
    if (id < 0 || scanned == nullptr || !scanned->lpcmHeader) return;
    for (size_t i = 0; i < scan_.streams.size(); ++i) {
        const ScanStream& s = scan_.streams[i];
        if (s.kind != ScanStreamKind::Audio || s.slot != slot || s.id != id || lpcmKnown_[i]) {
            continue;
        }
        lpcmHeaders_[i] = *scanned->lpcmHeader;
        lpcmKnown_[i] = true;
        if (std::optional<LpcmFormat> format = decodeLpcmHeader(lpcmHeaders_[i], layout_)) {
            scan_.streams[i].channels = format->channels;
            scan_.streams[i].sampleRate = format->sampleRate;
            scan_.streams[i].bitsPerSample = format->bitsPerSample;
        }
    }
}

void FeatureScanRecorder::addPart(const std::string& path, const PartScan& part) {
    scan_.partPaths.push_back(path);
    if (upperExtension(path) == ".EVO") layout_ = LpcmLayout::HdDvd;
    for (int slot = 0; slot < kVideoSlots; ++slot) {
        addSlot(ScanStreamKind::Video, slot, part.slotTable.owner(SlotKind::Video, slot),
                part.owner(SlotKind::Video, slot));
    }
    for (int slot = 0; slot < kAudioSlots; ++slot) {
        const int32_t id = part.slotTable.owner(SlotKind::Audio, slot);
        const ScannedStream* scanned = part.owner(SlotKind::Audio, slot);
        addSlot(ScanStreamKind::Audio, slot, id, scanned);
        addLpcmFormat(slot, id, scanned);
    }
    for (int slot = 0; slot < kSubpictureSlots; ++slot) {
        addSlot(ScanStreamKind::Subpicture, slot, part.slotTable.owner(SlotKind::Subpicture, slot),
                part.owner(SlotKind::Subpicture, slot));
    }
    // Streams the part does not hold get an empty entry for it.
    for (ScanStream& stream : scan_.streams)
        stream.parts.resize(scan_.partPaths.size());
}

std::optional<LpcmFormat> FeatureScanRecorder::lpcmFormat(const ScanStream& stream) const {
    for (size_t i = 0; i < scan_.streams.size(); ++i) {
        const ScanStream& s = scan_.streams[i];
        if (s.kind == stream.kind && s.slot == stream.slot && s.id == stream.id && lpcmKnown_[i]) {
            return decodeLpcmHeader(lpcmHeaders_[i], layout_);
        }
    }
    return std::nullopt;
}

}  // namespace morvale
