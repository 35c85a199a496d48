// SPDX-License-Identifier: MIT
#include "support/engine_ledger.h"

#include <algorithm>

namespace morvale::testing {

void EngineLedger::take(const PartScan& scan) {
    slots = scan.slotTable;
    streamTimes = {};
    lpcmHeaders = {};
    framePeriods = {};
    for (int slot = 0; slot < kVideoSlots; ++slot) {
        if (const ScannedStream* s = scan.owner(SlotKind::Video, slot)) {
            streamTimes.video[slot] = s->times;
            framePeriods[slot] = s->facts.framePeriod;
        }
        frameCounts[slot] += static_cast<int32_t>(scan.pictures(slot));
    }
    for (int slot = 0; slot < kAudioSlots; ++slot) {
        if (const ScannedStream* s = scan.owner(SlotKind::Audio, slot)) {
            streamTimes.audio[slot] = s->times;
            lpcmHeaders[slot] = s->lpcmHeader;
        }
    }
    for (int slot = 0; slot < kSubpictureSlots; ++slot) {
        if (const ScannedStream* s = scan.owner(SlotKind::Subpicture, slot))
            streamTimes.subpicture[slot] = s->times;
    }
    if (scan.firstTimestamp) minFirstPts = std::min(minFirstPts, *scan.firstTimestamp);
    if (scan.interrupted) frameCounts.fill(0);
    lastScan = scan;
}

EngineOptions optionsOf(const RecordingEngineHost& host, EngineMode mode) {
    return {.mode = mode,
            .countFrames = host.countFramesOption,
            .details = host.detailsOption,
            .fastCheck = host.fastCheckOption};
}

void BoxSinks::set(SlotKind kind, int slot, OutputFile& file) {
    if (kind == SlotKind::Subpicture) {
        sinks_.push_back(std::make_unique<SubpictureRecordSink>(file, timeBase_));
    } else {
        sinks_.push_back(std::make_unique<ElementaryStreamSink>(file));
    }
    outputs_.at(kind, slot) = sinks_.back().get();
}

DemuxOutputs tickedOutputs(const DemuxOutputs& outputs, const RecordingEngineHost& host) {
    DemuxOutputs ticked;
    for (SlotKind kind : {SlotKind::Video, SlotKind::Audio, SlotKind::Subpicture}) {
        for (int slot = 0; slot < boxedSlots(kind); ++slot) {
            if (host.ticked(kind, slot))
                ticked.at(kind, slot) = const_cast<DemuxOutputs&>(outputs).at(kind, slot);
        }
    }
    return ticked;
}

PartScan demux(EngineLedger& ledger, RecordingEngineHost& host, SourceFile& source, EngineMode mode,
               const DemuxOutputs* outputs, const ReportSet& reports) {
    const DemuxOutputs ticked = outputs ? tickedOutputs(*outputs, host) : DemuxOutputs{};
    const PartScan scan = demux(host, ledger.control, source, optionsOf(host, mode),
                                outputs ? &ticked : nullptr, reports);
    ledger.take(scan);
    return scan;
}

namespace {

SlotSelection ticksOf(const RecordingEngineHost& host) {
    SlotSelection ticks;
    for (SlotKind kind : {SlotKind::Video, SlotKind::Audio, SlotKind::Subpicture}) {
        for (int slot = 0; slot < boxedSlots(kind); ++slot)
            ticks.set(kind, slot, host.ticked(kind, slot));
    }
    return ticks;
}

}  // namespace

void Rebuild(EngineLedger& ledger, RecordingEngineHost& host, SourceFile& source,
             OutputFile& output, RebuildNumbering& numbering) {
    const SlotSelection ticks = ticksOf(host);
    morvale::Rebuild(host, ledger.control, source, output, {ledger.slots, ticks}, numbering);
}

bool rebuildPack(uint8_t* pack, const EngineLedger& ledger, const RecordingEngineHost& ticks,
                 RebuildNumbering& numbering) {
    return morvale::rebuildPack(pack, ledger.slots, ticksOf(ticks), numbering);
}

}  // namespace morvale::testing
