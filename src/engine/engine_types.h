// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>

namespace morvale {

enum class EngineMode : uint8_t { Scan, Demux };

// Progress over a whole run of several files (and what comes after them): the bytes before
// this file and in all, from the run's start.
struct RunProgress {
    int64_t before = 0;
    int64_t total = 0;
    double startDays = 0;
};

// How a run of the engine goes: what it does and the options it reads.
struct EngineOptions {
    EngineMode mode = EngineMode::Scan;
    bool countFrames = false;  // "Count frames"
    bool details = false;      // "Detailed info"
    bool fastCheck = false;    // "Fast EVO checking": a scan stops after kFastCheckLimit bytes
    // The progress shown: of this file alone, or of the whole run this file is part of.
    std::optional<RunProgress> runProgress;
};

enum class VideoKind : uint8_t { VideoMpeg2 = 0, VideoH264 = 1, VideoVc1 = 2 };

enum class AudioKind : uint8_t {
    AudioAc3 = 0,
    AudioDdPlus = 1,
    AudioDts = 2,
    AudioLpcm = 3,
    AudioMlp = 4
};

// What the bytes of the packet being parsed are.
enum class PacketTarget : uint8_t {
    TargetNone,
    TargetVideo,
    TargetAudio,
    TargetDiscard,
    TargetSkipPacket,
    TargetMpegAudio,
    TargetPrivate1,
    TargetSubpicture
};

}  // namespace morvale
