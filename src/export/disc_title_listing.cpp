// SPDX-License-Identifier: MIT
#include "export/disc_title_listing.h"

#include <cstdio>

#include "platform/paths.h"
#include "playlist/playlist_text.h"

namespace morvale {

namespace {

std::string quoted(const std::string& text) {
    return "\"" + singleLineText(text) + "\"";
}

std::string joined(const std::vector<std::string>& items, const char* separator) {
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : separator) + singleLineText(item);
    return text;
}

std::string counted(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// 'DD+ 6ch en "English"', 'en "English"' for subtitles.
std::string trackText(const PlaylistTrack& track) {
    std::string text;
    if (track.kind == PlaylistTrackKind::Audio && !track.codec.empty()) {
        text = singleLineText(track.codec) + " ";
        if (!track.channels.empty()) text += singleLineText(track.channels) + "ch ";
    }
    text += track.language.empty() ? std::string("und") : singleLineText(track.language);
    if (!track.description.empty()) text += " " + quoted(track.description);
    return text;
}

std::string trackLine(const PlaylistTitle& title, PlaylistTrackKind kind, const char* label) {
    std::vector<std::string> tracks;
    for (const PlaylistTrack& track : title.tracks) {
        if (track.kind == kind) tracks.push_back(trackText(track));
    }
    return std::string("  ") + label + ": " + (tracks.empty() ? "none" : joined(tracks, ", "));
}

std::string titleLine(const DiscTitle& disc, size_t position) {
    const PlaylistTitle& title = disc.title;
    const size_t number = title.titleNumber > 0 ? size_t(title.titleNumber) : position;
    std::string line = "Title " + std::to_string(number) + " " + quoted(title.name) + ": ";
    line += disc.durationNs ? listedDuration(*disc.durationNs) : "duration unknown";
    line += ", " + counted(title.clips.size(), "clip", "clips");
    if (!disc.evoNames.empty()) line += ": " + joined(disc.evoNames, " ");
    if (disc.likelyFeature) line += " (likely feature)";
    return line;
}

void appendTitle(const DiscTitle& disc, size_t position, std::vector<std::string>& lines) {
    lines.push_back(titleLine(disc, position));
    lines.push_back(trackLine(disc.title, PlaylistTrackKind::Audio, "Audio"));
    lines.push_back(trackLine(disc.title, PlaylistTrackKind::Subtitle, "Subtitles"));
    lines.push_back("  Chapters: " + std::to_string(disc.title.chapters.size()));
    if (!disc.missingEvos.empty()) lines.push_back("  Missing: " + joined(disc.missingEvos, ", "));
    for (const std::string& note : disc.title.notes)
        lines.push_back("  Note: " + singleLineText(note));
}

void appendTitleSet(const DvdTitleSet& set, bool largest, std::vector<std::string>& lines) {
    std::vector<std::string> names;
    for (const std::string& part : set.parts)
        names.push_back(fileNameOf(part));
    std::string line = "Title set " + std::to_string(set.number) + ": " +
                       counted(set.parts.size(), "part", "parts");
    if (!names.empty()) line += ": " + joined(names, " ");
    line += ", " + std::to_string(set.bytes) + " bytes";
    if (largest) line += " (likely feature)";
    lines.push_back(line);
    std::vector<std::string> missing = set.missingParts;
    if (!set.ifoPresent) missing.insert(missing.begin(), fileNameOf(set.ifoPath));
    if (!missing.empty()) lines.push_back("  Missing: " + joined(missing, ", "));
}

}  // namespace

std::string listedDuration(int64_t ns) {
    const int64_t ms = ns < 0 ? 0 : ns / 1'000'000;
    char text[48];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%03lld",
                  static_cast<long long>(ms / 3'600'000), static_cast<long long>(ms / 60'000 % 60),
                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
    return text;
}

std::vector<std::string> discTitleLines(const DiscTitles& disc) {
    if (!disc.error.empty()) return {"No titles: " + singleLineText(disc.error)};
    std::vector<std::string> lines;
    if (disc.layout.kind == DiscKind::Dvd) {
        lines.push_back("DVD " + singleLineText(disc.dvd.folder) + ": " +
                        counted(disc.dvd.sets.size(), "title set", "title sets"));
        for (size_t i = 0; i < disc.dvd.sets.size(); ++i)
            appendTitleSet(disc.dvd.sets[i], disc.dvd.largest == i, lines);
        return lines;
    }
    lines.push_back("Playlist " + singleLineText(disc.layout.playlistPath) + " " +
                    quoted(disc.playlistName) + ": " +
                    counted(disc.titles.size(), "title", "titles") + ", EVOs in " +
                    singleLineText(disc.layout.evoFolder));
    for (size_t i = 0; i < disc.titles.size(); ++i)
        appendTitle(disc.titles[i], i + 1, lines);
    return lines;
}

}  // namespace morvale
