// SPDX-License-Identifier: MIT
#include "export/description_json.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "export/disc_json.h"

namespace morvale {

namespace {

using nlohmann::json;

template <class T>
json orNull(const std::optional<T>& value) {
    return value ? json(*value) : json(nullptr);
}

const char* kindName(ScanStreamKind kind) {
    switch (kind) {
        case ScanStreamKind::Video:
            return "video";
        case ScanStreamKind::Audio:
            return "audio";
        case ScanStreamKind::Subpicture:
            return "subpicture";
    }
    return "video";
}

std::string hexId(int id) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(id) & 0xFFu);
    return text;
}

json trackJson(const PlaylistTrack& track);

const char* trackKindName(PlaylistTrackKind kind) {
    switch (kind) {
        case PlaylistTrackKind::Video:
            return "video";
        case PlaylistTrackKind::Audio:
            return "audio";
        case PlaylistTrackKind::Subtitle:
            return "subtitle";
    }
    return "video";
}

json titleJson(const DescribedTitle& title) {
    json tracks = json::array();
    for (const PlaylistTrack& track : title.tracks)
        tracks.push_back(titleTrackJson(track));
    json chapters = json::array();
    for (const DescribedChapter& chapter : title.chapters) {
        chapters.push_back({{"name", chapter.name},
                            {"time_code", chapter.timeCode},
                            {"start_ms", chapter.startMs}});
    }
    return {{"playlist_name", title.playlistName},
            {"id", title.id},
            {"name", title.name},
            {"duration_time_code", title.durationTimeCode},
            {"duration_ms", orNull(title.durationMs)},
            {"time_base_fps", title.timeBaseFps},
            {"clips", title.clips},
            {"tracks", tracks},
            {"chapters", chapters}};
}

json trackJson(const PlaylistTrack& track) {
    return {{"track", track.track},
            {"stream_number", track.streamNumber},
            {"media_attr", track.mediaAttr},
            {"description", track.description},
            {"codec", track.codec},
            {"channels", track.channels},
            {"sample_frequency", track.sampleFrequency}};
}

json partJson(const ScanPartTimes& part, const std::optional<int64_t>& delayMs) {
    std::optional<int64_t> durationMs;
    if (part.durationTicks) durationMs = ticksToMilliseconds(*part.durationTicks);
    return {{"first_pts", orNull(part.firstPts)},
            {"last_pts", orNull(part.lastPts)},
            {"duration_ms", orNull(durationMs)},
            {"delay_ms", orNull(delayMs)}};
}

json streamJson(const DescribedStream& stream) {
    const ScanStream& scan = stream.scan;
    json parts = json::array();
    for (size_t i = 0; i < scan.parts.size(); ++i) {
        parts.push_back(partJson(
            scan.parts[i], i < stream.partDelayMs.size() ? stream.partDelayMs[i] : std::nullopt));
    }
    return {{"kind", kindName(scan.kind)},
            {"slot", scan.slot},
            {"id", hexId(scan.id)},
            {"codec", scan.codec},
            {"name", stream.name},
            {"language", stream.language},
            {"default", stream.isDefault},
            {"first_pts", orNull(scan.firstPts)},
            {"delay_ms", orNull(stream.delayMs)},
            {"channels", orNull(scan.channels)},
            {"sample_rate", orNull(scan.sampleRate)},
            {"bits_per_sample", orNull(scan.bitsPerSample)},
            {"frames", scan.frameCount},
            {"running_time_s", orNull(scan.runningSeconds)},
            {"playlist_track", stream.track ? trackJson(*stream.track) : json(nullptr)},
            {"parts", parts}};
}

}  // namespace

json titleTrackJson(const PlaylistTrack& track) {
    json item = trackJson(track);
    item["kind"] = trackKindName(track.kind);
    item["slot"] = track.slot >= 0 ? json(track.slot) : json(nullptr);
    item["language"] = track.language;
    item["langcode"] = track.langcode;
    return item;
}

std::string featureDescriptionJson(const FeatureDescription& description) {
    json streams = json::array();
    for (const DescribedStream& stream : description.streams)
        streams.push_back(streamJson(stream));
    json playlist = nullptr;
    if (!description.playlistPath.empty()) {
        playlist = {{"path", description.playlistPath},
                    {"error", description.playlistError.empty() ? json(nullptr)
                                                                : json(description.playlistError)}};
    }
    const json document = {
        {"format", "morvale-feature"},
        {"version", FeatureDescription::kVersion},
        {"parts", description.partPaths},
        {"playlist", playlist},
        {"title", description.title ? titleJson(*description.title) : json(nullptr)},
        {"streams", streams},
        {"disc", discJson(description.disc)},
        {"titles", discTitlesJson(description.disc)},
        {"title_sets", titleSetsJson(description.disc)}};
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace morvale
