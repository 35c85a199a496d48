#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "engine/frame_period.h"
#include "engine/stream_kinds.h"
#include "engine/stream_times.h"

namespace morvale {

inline constexpr int kBlockSize = 0x40000;  // 262,144 bytes per read

// Program-wide engine state: it outlives a call of demux and is shared with the commands,
// the playlist reader and the reports. One instance lives as long as the application.
struct EngineState {
    EngineState();

    // Per slot: -1 for no stream, otherwise the identifier byte that identified it in the
    // last run of the engine.
    std::array<int32_t, kVideoSlots> videoStreamIds;
    std::array<int32_t, kAudioSlots> audioStreamIds;
    std::array<int32_t, kSubpictureSlots> subpictureStreamIds;

    // The table of a kind of slot.
    std::span<int32_t> streamIds(SlotKind kind);
    std::span<const int32_t> streamIds(SlotKind kind) const;

    std::array<bool, kAudioSlots> audioPtsReported{};
    std::array<bool, kVideoSlots> videoPtsReported{};

    std::array<int32_t, kVideoSlots> frameCounts{};
    // Of the last run of the engine (one file): each slot's presentation times, and each
    // LPCM slot's format bytes. They are what the hand-off to other tools needs per part.
    StreamTimes streamTimes;
    std::array<std::optional<LpcmHeaderBytes>, kAudioSlots> lpcmHeaders{};
    // Of the last run of the engine (one file): the frame period each video stream's sequence
    // header gave (empty when it gave none), for the running time of its pictures.
    std::array<std::optional<FramePeriod>, kVideoSlots> framePeriods{};
    // Smallest first audio/video timestamp of the last scan: the subpicture time base.
    uint32_t minFirstPts = 0;

    bool cancelRequested = false;
    // The stop was the user's (Cancel, closing the window, a stop signal), not the
    // fast-check limit: the command says so when it ends.
    bool cancelledByUser = false;
    // The running operation writes files, so Cancel asks first.
    bool confirmCancel = false;

    // The block of the source read last; the rebuild uses its first 2,048 bytes for packs.
    std::unique_ptr<uint8_t[]> blockBuffer;

    // Sets every entry of the three identifier tables to -1.
    void clearStreamIds();
    // The user's stop (Cancel, closing the window, a stop signal): the running loop stops at
    // its next block, and the command says why when it ends.
    void requestStopByUser() { cancelRequested = cancelledByUser = true; }
};

}  // namespace morvale
