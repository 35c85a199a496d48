// SPDX-License-Identifier: MIT
#include "export/feature_description.h"

#include <algorithm>

namespace morvale {

namespace {

constexpr int64_t kWrap = int64_t{1} << 32;

PlaylistTrackKind trackKindOf(ScanStreamKind kind) {
    switch (kind) {
        case ScanStreamKind::Video:
            return PlaylistTrackKind::Video;
        case ScanStreamKind::Audio:
            return PlaylistTrackKind::Audio;
        case ScanStreamKind::Subpicture:
            return PlaylistTrackKind::Subtitle;
    }
    return PlaylistTrackKind::Video;
}

const PlaylistTrack* trackForSlot(const PlaylistTitle* title, ScanStreamKind kind, int slot) {
    if (title == nullptr) return nullptr;
    for (const PlaylistTrack& track : title->tracks) {
        if (track.kind == trackKindOf(kind) && track.slot == slot) return &track;
    }
    return nullptr;
}

const ScanStream* firstVideo(const FeatureScan& scan) {
    const ScanStream* video = nullptr;
    for (const ScanStream& stream : scan.streams) {
        if (stream.kind != ScanStreamKind::Video) continue;
        if (video == nullptr || stream.slot < video->slot) video = &stream;
    }
    return video;
}

std::optional<int64_t> delayAgainst(std::optional<uint32_t> pts, std::optional<uint32_t> video) {
    if (!pts || !video) return std::nullopt;
    return ticksToMilliseconds(ptsDifference(*pts, *video));
}

DescribedTitle describeTitle(const PlaylistTitle& title, const std::string& playlistName) {
    DescribedTitle described;
    described.playlistName = playlistName;
    described.id = title.id;
    described.name = title.name;
    described.durationTimeCode = title.durationTimeCode;
    described.timeBaseFps = title.timeBaseFps;
    if (title.durationFrames) {
        described.durationMs = unitsToMilliseconds(*title.durationFrames, title.timeBase);
    }
    for (const PlaylistClip& clip : title.clips)
        described.clips.push_back(clip.mapName);
    described.tracks = title.tracks;
    for (const PlaylistChapter& chapter : title.chapters) {
        // A chapter without a valid time cannot be placed: it is left out (the title's notes
        // say so).
        if (!chapter.beginFrame) continue;
        const int64_t units = *chapter.beginFrame;
        described.chapters.push_back({chapter.name, chapter.timeCode,
                                      unitsToMilliseconds(units, title.timeBase),
                                      unitsToNanoseconds(units, title.timeBase)});
    }
    return described;
}

// The audio stream that plays first: the title's first audio track that the scan found,
// otherwise the lowest audio slot.
DescribedStream* defaultAudio(std::vector<DescribedStream>& streams, const PlaylistTitle* title) {
    if (title != nullptr) {
        for (const PlaylistTrack& track : title->tracks) {
            if (track.kind != PlaylistTrackKind::Audio) continue;
            for (DescribedStream& stream : streams) {
                if (stream.scan.kind == ScanStreamKind::Audio && stream.scan.slot == track.slot) {
                    return &stream;
                }
            }
        }
    }
    DescribedStream* lowest = nullptr;
    for (DescribedStream& stream : streams) {
        if (stream.scan.kind != ScanStreamKind::Audio) continue;
        if (lowest == nullptr || stream.scan.slot < lowest->scan.slot) lowest = &stream;
    }
    return lowest;
}

}  // namespace

int64_t ptsDifference(uint32_t later, uint32_t earlier) {
    int64_t difference = (int64_t{later} - int64_t{earlier}) % kWrap;
    if (difference >= kWrap / 2) difference -= kWrap;
    if (difference < -kWrap / 2) difference += kWrap;
    return difference;
}

int64_t ticksToMilliseconds(int64_t ticks) {
    constexpr int64_t kTicksPerMs = kTicksPerSecond / 1000;
    return ticks >= 0 ? (ticks + kTicksPerMs / 2) / kTicksPerMs
                      : -((-ticks + kTicksPerMs / 2) / kTicksPerMs);
}

FeatureDescription describeFeature(const FeatureScan& scan, const PlaylistTitle* title,
                                   const std::string& playlistName) {
    FeatureDescription description;
    description.partPaths = scan.partPaths;
    if (title != nullptr) description.title = describeTitle(*title, playlistName);

    const ScanStream* video = firstVideo(scan);
    for (const ScanStream& stream : scan.streams) {
        DescribedStream described;
        described.scan = stream;
        if (const PlaylistTrack* track = trackForSlot(title, stream.kind, stream.slot)) {
            described.track = *track;
            described.name = track->description;
            described.language = track->language;
        }
        if (described.language.empty()) described.language = "und";
        if (video != nullptr) {
            described.delayMs = delayAgainst(stream.firstPts, video->firstPts);
            for (size_t part = 0; part < stream.parts.size(); ++part) {
                std::optional<uint32_t> videoFirst;
                if (part < video->parts.size()) videoFirst = video->parts[part].firstPts;
                described.partDelayMs.push_back(
                    delayAgainst(stream.parts[part].firstPts, videoFirst));
            }
        }
        described.isDefault = &stream == video;
        description.streams.push_back(std::move(described));
    }
    if (DescribedStream* audio = defaultAudio(description.streams, title)) audio->isDefault = true;
    return description;
}

}  // namespace morvale
