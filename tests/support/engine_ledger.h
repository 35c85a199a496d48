// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <memory>
#include <span>
#include <vector>

#include "engine/demux.h"
#include "rebuild/rebuild.h"
#include "support/recording_engine_host.h"

namespace morvale::testing {

// The per-slot presentation times of the slot owners of one call.
struct SlotTimesTable {
    std::array<StreamTimes, kVideoSlots> video{};
    std::array<StreamTimes, kAudioSlots> audio{};
    std::array<StreamTimes, kSubpictureSlots> subpicture{};
};

// What a test's calls of the engine and the rebuild left, added up the way the commands add
// them: the slot owners, times, frame periods and LPCM bytes of the last call; the pictures
// counted over the calls (none after a call that was interrupted, as the commands show
// them); the smallest first timestamp of the scans, which is also the time base of the
// subpicture records of the demux calls; and the run control the calls share.
struct EngineLedger {
    EngineLedger() = default;
    EngineLedger(const EngineLedger&) = delete;
    EngineLedger& operator=(const EngineLedger&) = delete;

    // The slot owners, and the same per kind. A parser a test wires itself fills them.
    SlotTable slots;
    std::span<int32_t> videoStreamIds = slots.ids(SlotKind::Video);
    std::span<int32_t> audioStreamIds = slots.ids(SlotKind::Audio);
    std::span<int32_t> subpictureStreamIds = slots.ids(SlotKind::Subpicture);
    std::array<int32_t, kVideoSlots> frameCounts{};
    SlotTimesTable streamTimes;
    std::array<std::optional<LpcmHeaderBytes>, kAudioSlots> lpcmHeaders{};
    std::array<std::optional<FramePeriod>, kVideoSlots> framePeriods{};
    uint32_t minFirstPts = 0;

    RunControl control;
    bool& cancelRequested = control.cancelRequested;
    bool& cancelledByUser = control.cancelledByUser;
    bool& confirmCancel = control.confirmCancel;

    // The last call's whole value.
    PartScan lastScan;

    std::span<int32_t> streamIds(SlotKind kind) { return slots.ids(kind); }
    void clearStreamIds() { slots.clear(); }
    // Takes in what a call of the engine (or a parser and payload handler a test wired the
    // way the engine wires them) found.
    void take(const PartScan& scan);
};

// The engine's options as the test host sets them.
EngineOptions optionsOf(const RecordingEngineHost& host, EngineMode mode);

// The outputs of a test's Demux over its files, as a command makes them: elementary streams,
// and subpicture records against the time base (the smallest first timestamp of the scan).
class BoxSinks {
  public:
    explicit BoxSinks(uint32_t timeBase) : timeBase_(timeBase) {}
    void set(SlotKind kind, int slot, OutputFile& file);
    const DemuxOutputs& outputs() const { return outputs_; }

  private:
    uint32_t timeBase_;
    std::vector<std::unique_ptr<PayloadSink>> sinks_;
    DemuxOutputs outputs_;
};

// The outputs of the slots whose boxes the host ticks, as a command creates only those.
DemuxOutputs tickedOutputs(const DemuxOutputs& outputs, const RecordingEngineHost& host);

// A call of the engine on the ledger, with the host's options.
PartScan demux(EngineLedger& ledger, RecordingEngineHost& host, SourceFile& source, EngineMode mode,
               const DemuxOutputs* outputs = nullptr, const ReportSet& reports = ReportSet{});

// A call of the rebuild on the ledger's slot owners and the host's ticks.
void Rebuild(EngineLedger& ledger, RecordingEngineHost& host, SourceFile& source,
             OutputFile& output, RebuildNumbering& numbering);
bool rebuildPack(uint8_t* pack, const EngineLedger& ledger, const RecordingEngineHost& ticks,
                 RebuildNumbering& numbering);

}  // namespace morvale::testing
