// SPDX-License-Identifier: MIT
#include "export/disc_json.h"

#include "platform/paths.h"

namespace morvale {

namespace {

using nlohmann::json;

constexpr const char* kKindNames[] = {"none", "hd_dvd", "dvd"};  // by DiscKind

json textOrNull(const std::string& text) {
    return text.empty() ? json(nullptr) : json(text);
}

json msOrNull(const std::optional<int64_t>& units, TimeBase base) {
    return units ? json(unitsToMilliseconds(*units, base)) : json(nullptr);
}

json tracksJson(const std::vector<PlaylistTrack>& tracks) {
    json items = json::array();
    for (const PlaylistTrack& track : tracks)
        items.push_back(titleTrackJson(track));
    return items;
}

json clipJson(const PlaylistClip& clip, const DiscClip& placed, TimeBase base) {
    return {{"src", clip.src},
            {"map", clip.mapName},
            {"primary", clip.primary},
            {"id", clip.id},
            {"data_source", clip.dataSource},
            {"evo", textOrNull(clip.evoName)},
            {"evo_path", textOrNull(placed.evoPath)},
            {"present", placed.present},
            {"title_time_begin", clip.titleTimeBeginText},
            {"title_time_begin_ms", msOrNull(clip.titleTimeBegin, base)},
            {"title_time_end", clip.titleTimeEndText},
            {"title_time_end_ms", msOrNull(clip.titleTimeEnd, base)},
            {"clip_time_begin", clip.clipTimeBeginText},
            {"clip_time_begin_ms", msOrNull(clip.clipTimeBegin, base)},
            {"tracks", tracksJson(clip.tracks)}};
}

json chaptersJson(const PlaylistTitle& title) {
    json chapters = json::array();
    for (const PlaylistChapter& chapter : title.chapters) {
        if (!chapter.beginFrame) continue;  // left out; the notes say so
        chapters.push_back({{"name", chapter.name},
                            {"time_code", chapter.timeCode},
                            {"start_ms", unitsToMilliseconds(*chapter.beginFrame, title.timeBase)},
                            {"start_ns", unitsToNanoseconds(*chapter.beginFrame, title.timeBase)}});
    }
    return chapters;
}

json titleJson(const DiscTitle& disc, size_t position) {
    const PlaylistTitle& title = disc.title;
    json clips = json::array();
    for (size_t i = 0; i < title.clips.size() && i < disc.clips.size(); ++i)
        clips.push_back(clipJson(title.clips[i], disc.clips[i], title.timeBase));
    std::optional<int64_t> durationMs;
    if (disc.durationNs) durationMs = (*disc.durationNs + 500'000) / 1'000'000;
    return {{"number", title.titleNumber > 0 ? size_t(title.titleNumber) : position},
            {"title_number", title.titleNumber > 0 ? json(title.titleNumber) : json(nullptr)},
            {"id", title.id},
            {"name", title.name},
            {"duration_time_code", title.durationTimeCode},
            {"duration_ms", durationMs ? json(*durationMs) : json(nullptr)},
            {"time_base_fps", title.timeBaseFps},
            {"time_base_rate", title.timeBase.rateText()},
            {"likely_feature", disc.likelyFeature},
            {"evos", disc.evoNames},
            {"missing_evos", disc.missingEvos},
            {"clips", clips},
            {"tracks", tracksJson(title.tracks)},
            {"chapters", chaptersJson(title)},
            {"notes", title.notes}};
}

json titleSetJson(const DvdTitleSet& set, bool largest) {
    return {{"number", set.number},
            {"ifo", set.ifoPath},
            {"ifo_present", set.ifoPresent},
            {"parts", set.parts},
            {"missing_parts", set.missingParts},
            {"bytes", set.bytes},
            {"likely_feature", largest}};
}

}  // namespace

json discJson(const std::optional<DiscTitles>& disc) {
    if (!disc) return nullptr;
    const DiscLayout& layout = disc->layout;
    return {{"kind", kKindNames[static_cast<int>(layout.kind)]},
            {"playlist", textOrNull(layout.playlistPath)},
            {"playlist_name", disc->playlistName},
            {"evo_folder", textOrNull(layout.evoFolder)},
            {"vob_folder", textOrNull(layout.kind == DiscKind::Dvd ? disc->dvd.folder : "")},
            {"error", textOrNull(disc->error)}};
}

json discTitlesJson(const std::optional<DiscTitles>& disc) {
    json titles = json::array();
    if (!disc) return titles;
    for (size_t i = 0; i < disc->titles.size(); ++i)
        titles.push_back(titleJson(disc->titles[i], i + 1));
    return titles;
}

json titleSetsJson(const std::optional<DiscTitles>& disc) {
    json sets = json::array();
    if (!disc) return sets;
    for (size_t i = 0; i < disc->dvd.sets.size(); ++i)
        sets.push_back(titleSetJson(disc->dvd.sets[i], disc->dvd.largest == i));
    return sets;
}

}  // namespace morvale
