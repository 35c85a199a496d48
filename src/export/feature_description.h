// SPDX-License-Identifier: MIT
#pragma once

// One description of a feature for other tools: the streams a scan found, with their
// timestamps and what the scan learnt of their format, joined with the playlist title that
// plays the feature (its name, tracks, languages and chapters).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/stream_kinds.h"
#include "export/disc_titles.h"
#include "export/playlist_model.h"

namespace morvale {

inline constexpr int kTicksPerSecond = 90000;  // MPEG system clock units of PTS and DTS

enum class ScanStreamKind { Video, Audio, Subpicture };

// The engine's kind of slot that holds a stream of the kind.
constexpr SlotKind slotKindOf(ScanStreamKind kind) {
    switch (kind) {
        case ScanStreamKind::Video:
            return SlotKind::Video;
        case ScanStreamKind::Audio:
            return SlotKind::Audio;
        case ScanStreamKind::Subpicture:
            return SlotKind::Subpicture;
    }
    return SlotKind::Video;
}

// One stream's timestamps in one part (file) of the feature, in 90 kHz units (the low 32
// bits of the 33-bit PTS). Nothing where the part holds no timestamp of the stream.
struct ScanPartTimes {
    std::optional<uint32_t> firstPts;  // the earliest presentation time of the stream
    std::optional<uint32_t> lastPts;   // the latest presentation time of the stream
    // The time its payload in this part lasts (the last unit's end minus the first's start),
    // when it is known.
    std::optional<int64_t> durationTicks;
};

// What the scan knows of one stream of the feature.
struct ScanStream {
    ScanStreamKind kind = ScanStreamKind::Video;
    int slot = 0;
    int id = 0;         // the identifier byte: sub-stream id, stream_id_extension or stream id
    StreamFormat format = StreamFormat::Vc1Video;
    std::string codec;  // the name the stream boxes give it: "VC-1", "DD+", "LPCM"...
    std::optional<uint32_t> firstPts;  // of the first part in which the stream appears
    std::optional<int> channels;
    std::optional<int> sampleRate;
    std::optional<int> bitsPerSample;
    int64_t frameCount = 0;                // pictures counted (video)
    std::optional<double> runningSeconds;  // video running time
    std::vector<ScanPartTimes> parts;      // one entry per part of the feature
};

struct FeatureScan {
    std::vector<std::string> partPaths;  // FEATURE_1.EVO, FEATURE_2.EVO
    std::vector<ScanStream> streams;
};

struct DescribedChapter {
    std::string name;
    std::string timeCode;
    int64_t startMs = 0;
    int64_t startNs = 0;
};

struct DescribedTitle {
    std::string playlistName;
    std::string id;
    std::string name;
    std::string durationTimeCode;
    std::optional<int64_t> durationMs;
    int timeBaseFps = kDefaultTimeBaseFps;
    std::vector<std::string> clips;     // the clip files it plays, in order ("FEATURE_1.MAP")
    std::vector<PlaylistTrack> tracks;  // every track the title lists, found by a scan or not
    std::vector<DescribedChapter> chapters;
};

struct DescribedStream {
    ScanStream scan;
    // From the playlist track that plays this slot, when the title has one.
    std::optional<PlaylistTrack> track;
    std::string name;      // the track's description; empty when none
    std::string language;  // ISO 639 code from the playlist; "und" when unknown
    bool isDefault = false;
    // Start relative to the first video timestamp, in milliseconds (rounded), over the
    // feature and per part (each part against its own first video timestamp).
    std::optional<int64_t> delayMs;
    std::vector<std::optional<int64_t>> partDelayMs;
};

struct FeatureDescription {
    // 2: the disc, its titles and its DVD title sets (empty unless a disc is described);
    // playlist times at the rate the time base has on discs (24, 30 and 60fps slowed by 1.001).
    static constexpr int kVersion = 2;
    std::vector<std::string> partPaths;
    std::string playlistPath;
    std::string playlistError;  // why the playlist could not be read; empty when it was
    std::optional<DescribedTitle> title;
    std::vector<DescribedStream> streams;
    // The disc whose titles are listed (describeDisc, disc_description.h); none otherwise.
    std::optional<DiscTitles> disc;
};

// A signed difference of two 32-bit timestamps (the shorter way round the 2^32 wrap).
int64_t ptsDifference(uint32_t later, uint32_t earlier);
// 90 kHz ticks in milliseconds, rounded to the nearest (halves away from zero).
int64_t ticksToMilliseconds(int64_t ticks);

// Joins the scan with the title `title` of the playlist (none: the scan alone). A stream
// takes the track whose slot it plays (video track t: video slot t-1; audio and subtitle
// streamNumber s: slot s-1). The default tracks are the first video stream and the first
// audio stream the title lists (without a playlist, the lowest audio slot); subtitles are
// never default.
FeatureDescription describeFeature(const FeatureScan& scan, const PlaylistTitle* title,
                                   const std::string& playlistName = {});

}  // namespace morvale
