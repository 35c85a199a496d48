// SPDX-License-Identifier: MIT
#include "commands/mkv_feature.h"

#include <cerrno>

#include "commands/feature_files.h"
#include "commands/selection.h"
#include "export/disc_titles.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "playlist/playlist_text.h"

namespace morvale {

namespace {

// "VTS_01_1.VOB" -> the folder + "VTS_01_", and the part's number; nothing for another name.
std::optional<std::pair<std::string, int>> titleSetPart(const std::string& source) {
    const std::string name = fileNameOf(source);
    if (name.size() != 12 || name.rfind("VTS_", 0) != 0 || name[6] != '_' ||
        upperExtension(name) != ".VOB" || name[7] < '1' || name[7] > '9') {
        return std::nullopt;
    }
    return std::pair{source.substr(0, source.size() - 5), name[7] - '0'};
}

// The parts of a source: its feature's two EVOs, a title set's VOBs from the first on, or
// the source alone.
std::vector<std::string> partsOf(const CommandSettings& settings) {
    const SecondPart second = secondPartOf(settings);
    if (second.continues && fileExists(second.path)) return {settings.source, second.path};
    const auto titleSet = titleSetPart(settings.source);
    std::vector<std::string> parts = {settings.source};
    if (!settings.options.continueToSecondPart || !titleSet || titleSet->second != 1) return parts;
    for (int n = 2; n <= 9; ++n) {
        const std::string next = titleSet->first + std::to_string(n) + settings.source.substr(
                                                                          settings.source.size() - 4);
        if (!fileExists(next)) break;
        parts.push_back(next);
    }
    return parts;
}

// The name of a feature over its parts: the source's base name, and "_N" for a feature read
// on into part N (FEATURE_1_2, VTS_01_1_3).
std::string baseNameOf(const CommandSettings& settings, const std::vector<std::string>& parts) {
    std::string base = sourceBaseNameOf(settings.source);
    if (parts.size() > 1) {
        const std::string last = sourceBaseNameOf(parts.back());
        base += "_" + std::string(1, last.back());
    }
    return base;
}

// Title set `number` of a DVD: its VOBs from VTS_nn_1.VOB on.
std::optional<MkvFeature> titleSetFeature(const DvdTitleSets& dvd, int number, std::string& why) {
    for (const DvdTitleSet& set : dvd.sets) {
        if (set.number != number) continue;
        if (set.parts.empty()) {
            why = "title set " + std::to_string(number) + " has no VOB";
            return std::nullopt;
        }
        if (!set.missingParts.empty()) {
            throw FileError(cannotOpenMessage(dvd.folder + set.missingParts.front(), ENOENT));
        }
        MkvFeature feature;
        feature.parts = set.parts;
        feature.baseName = sourceBaseNameOf(set.parts.front());
        if (set.parts.size() > 1) feature.baseName += "_" + std::to_string(set.parts.size());
        return feature;
    }
    why = "the disc has no title set " + std::to_string(number);
    return std::nullopt;
}

}  // namespace

MkvFeature sourceFeature(const CommandSettings& settings, const std::string& playlist,
                         CommandHost& host) {
    MkvFeature feature;
    feature.parts = partsOf(settings);
    feature.baseName = baseNameOf(settings, feature.parts);
    if (playlist.empty() || !fileExists(playlist)) {
        host.log("No playlist: the Matroska file gets no names, languages or chapters.");
        return feature;
    }
    feature.playlistPath = playlist;
    const std::string sourceBase = sourceBaseNameOf(settings.source);
    PlaylistReading reading = readPlaylistModelFile(playlist, sourceBase);
    if (!reading.model) {
        feature.playlistError = reading.error;
        host.log(fileNameOf(playlist) + " is " + reading.error +
                 "; the Matroska file gets no names, languages or chapters from it.");
        return feature;
    }
    feature.playlistName = reading.model->displayName;
    if (reading.model->chosenTitle) {
        feature.title = reading.model->titles[*reading.model->chosenTitle];
    } else {
        host.log(fileNameOf(playlist) + " has no title that plays " + sourceBase + ".");
    }
    return feature;
}

std::optional<MkvFeature> titleFeature(const std::string& disc, int number, std::string& why) {
    const DiscTitles titles = readDiscTitles(disc);
    if (!titles.error.empty()) {
        why = titles.error;
        return std::nullopt;
    }
    if (titles.titles.empty() && !titles.dvd.sets.empty()) return titleSetFeature(titles.dvd, number, why);
    if (number < 1 || static_cast<size_t>(number) > titles.titles.size()) {
        why = "the disc has no title " + std::to_string(number) + " (it has " +
              std::to_string(titles.titles.size()) + ")";
        return std::nullopt;
    }
    const DiscTitle& title = titles.titles[static_cast<size_t>(number - 1)];
    MkvFeature feature;
    for (const DiscClip& clip : title.clips) {
        if (clip.evoPath.empty()) continue;
        if (!clip.present) throw FileError(cannotOpenMessage(clip.evoPath, ENOENT));
        feature.parts.push_back(clip.evoPath);
    }
    if (feature.parts.empty()) {
        why = "title " + std::to_string(number) + " plays no EVO of the disc";
        return std::nullopt;
    }
    feature.baseName = fileNameComponent(title.title.name, "Title " + std::to_string(number));
    feature.title = title.title;
    feature.playlistPath = titles.layout.playlistPath;
    feature.playlistName = titles.playlistName;
    return feature;
}

}  // namespace morvale
