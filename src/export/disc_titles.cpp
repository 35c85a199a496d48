// SPDX-License-Identifier: MIT
#include "export/disc_titles.h"

#include <algorithm>

#include "export/playlist_xml.h"
#include "platform/file.h"
#include "platform/paths.h"

namespace morvale {

namespace {

bool playsFromDisc(const PlaylistClip& clip) {
    return clip.primary && !clip.evoName.empty() &&
           (clip.dataSource.empty() || playlist_xml::equalsIgnoringCase(clip.dataSource, "disc"));
}

std::optional<int64_t> titleLength(const PlaylistTitle& title) {
    if (title.durationFrames) return unitsToNanoseconds(*title.durationFrames, title.timeBase);
    std::optional<int64_t> end;
    for (const PlaylistClip& clip : title.clips) {
        if (clip.titleTimeEnd) end = std::max(end.value_or(0), *clip.titleTimeEnd);
    }
    if (!end) return std::nullopt;
    return unitsToNanoseconds(*end, title.timeBase);
}

void addOnce(std::vector<std::string>& names, const std::string& name) {
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

DiscTitle discTitleOf(const PlaylistTitle& title, const std::string& evoFolder) {
    DiscTitle disc;
    disc.title = title;
    disc.durationNs = titleLength(title);
    for (const PlaylistClip& clip : title.clips) {
        DiscClip& placed = disc.clips.emplace_back();
        if (!playsFromDisc(clip)) continue;
        placed.evoPath = evoFolder + clip.evoName;
        placed.present = fileExists(placed.evoPath);
        addOnce(disc.evoNames, clip.evoName);
        if (!placed.present) addOnce(disc.missingEvos, clip.evoName);
    }
    return disc;
}

}  // namespace

std::vector<DiscTitle> discTitlesOf(const PlaylistModel& model, const std::string& evoFolder) {
    std::vector<DiscTitle> titles;
    std::optional<size_t> longest;
    for (const PlaylistTitle& title : model.titles) {
        titles.push_back(discTitleOf(title, evoFolder));
        const std::optional<int64_t> length = titles.back().durationNs;
        if (length && (!longest || *length > titles[*longest].durationNs.value_or(0))) {
            longest = titles.size() - 1;
        }
    }
    if (longest) titles[*longest].likelyFeature = true;
    return titles;
}

DiscTitles readDiscTitles(const std::string& disc) {
    DiscTitles found;
    found.layout = findDiscLayout(disc);
    switch (found.layout.kind) {
        case DiscKind::None:
            found.error = found.layout.error;
            break;
        case DiscKind::Dvd:
            found.dvd = findDvdTitleSets(found.layout.vobFolder);
            break;
        case DiscKind::HdDvd: {
            const std::string& playlist = found.layout.playlistPath;
            if (!fileExists(playlist)) {
                found.error = "no playlist " + playlist;
                break;
            }
            PlaylistReading reading = readPlaylistModelFile(playlist, "");
            if (!reading.model) {
                found.error = fileNameOf(playlist) + " is " + reading.error;
                break;
            }
            found.playlistName = reading.model->displayName;
            found.titles = discTitlesOf(*reading.model, found.layout.evoFolder);
            break;
        }
    }
    for (size_t i = 0; i < found.titles.size(); ++i) {
        if (found.titles[i].likelyFeature) found.longest = i;
    }
    return found;
}

}  // namespace morvale
