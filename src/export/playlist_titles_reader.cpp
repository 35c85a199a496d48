// SPDX-License-Identifier: MIT
#include "export/playlist_titles_reader.h"

#include <algorithm>
#include <limits>
#include <set>
#include <utility>

#include "playlist/playlist_text.h"

namespace morvale {

namespace {

using playlist_xml::attribute;
using playlist_xml::equalsIgnoringCase;
using playlist_xml::intAttribute;
using playlist_xml::isElement;
using playlist_xml::localName;

constexpr int kVideoSlots = 2;
constexpr int kAudioSlots = 16;
constexpr int kSubpictureSlots = 32;
constexpr size_t kNoteTextLimit = 60;  // bytes of a faulty text quoted in a note
constexpr size_t kNone = std::numeric_limits<size_t>::max();

struct TrackElement {
    std::string_view name;
    PlaylistTrackKind kind;
};
constexpr TrackElement kTrackElements[] = {{"video", PlaylistTrackKind::Video},
                                           {"audio", PlaylistTrackKind::Audio},
                                           {"subtitle", PlaylistTrackKind::Subtitle}};

int slotOfTrack(PlaylistTrackKind kind, int number) {
    const int slots = kind == PlaylistTrackKind::Video   ? kVideoSlots
                      : kind == PlaylistTrackKind::Audio ? kAudioSlots
                                                         : kSubpictureSlots;
    return number >= 1 && number <= slots ? number - 1 : -1;
}

int numberOfTrack(const PlaylistTrack& track) {
    return track.kind == PlaylistTrackKind::Video ? track.track : track.streamNumber;
}

std::string fileNameOfUri(std::string_view src) {
    size_t slash = src.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? src : src.substr(slash + 1));
}

// The EVO a time map stands for; empty when the name could not be joined to a folder safely.
std::string evoNameOf(std::string_view mapName) {
    if (mapName.empty() || mapName == "." || mapName == "..") return {};
    for (char c : mapName) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == ':') return {};
    }
    const size_t dot = mapName.rfind('.');
    const std::string_view base = mapName.substr(0, dot);
    if (base.empty()) return {};
    const bool lower = dot != std::string_view::npos &&
                       std::any_of(mapName.begin() + static_cast<std::ptrdiff_t>(dot),
                                   mapName.end(), [](char c) { return c >= 'a' && c <= 'z'; });
    return std::string(base) + (lower ? ".evo" : ".EVO");
}

// A text as a note quotes it: on one line and not too long.
std::string quotedText(std::string_view text) {
    std::string line = singleLineText(text);
    if (line.size() > kNoteTextLimit) {
        size_t end = kNoteTextLimit;
        while (end > 0 && (static_cast<uint8_t>(line[end]) & 0xC0) == 0x80)
            --end;
        line = line.substr(0, end) + "...";
    }
    return "\"" + line + "\"";
}

bool beginsEarlier(const PlaylistClip& a, const PlaylistClip& b) {
    constexpr int64_t kLast = std::numeric_limits<int64_t>::max();
    return a.titleTimeBegin.value_or(kLast) < b.titleTimeBegin.value_or(kLast);
}

// One title as it is read: the model's title, the track numbers seen and the notes dropped.
struct TitleState {
    PlaylistTitle title;
    size_t position = 0;  // 1-based among the document's titles
    std::set<std::pair<PlaylistTrackKind, int>> seen;
    std::vector<std::set<std::pair<PlaylistTrackKind, int>>> clipSeen;
    size_t notesLeft = 0;  // notes beyond kMaxTitleNotes

    std::string label() const {
        const size_t number = title.titleNumber > 0 ? size_t(title.titleNumber) : position;
        return "Title " + std::to_string(number) + " " + quotedText(title.name);
    }
    void note(std::string text) {
        if (title.notes.size() < kMaxTitleNotes) {
            title.notes.push_back(label() + text);
        } else {
            ++notesLeft;
        }
    }
    // A time code of the title, with a note when it is given but not valid.
    std::optional<int64_t> timeCode(const std::string& text, const std::string& what,
                                    std::string_view consequence = {}) {
        if (text.empty()) return std::nullopt;
        std::optional<int64_t> units = parseTimeCode(text, title.timeBaseFps);
        if (!units) {
            note(what + ": time " + quotedText(text) + " is no HH:MM:SS:FF time at " +
                 std::to_string(title.timeBaseFps) + "fps" + std::string(consequence) + ".");
        }
        return units;
    }
};

// What encloses an element: the nearest TitleSet's rate, the nearest Title and its clip.
struct Scope {
    pugi::xml_node node;
    int fps = kDefaultTimeBaseFps;
    size_t title = kNone;
    size_t clip = kNone;
};

class TitlesReader {
  public:
    explicit TitlesReader(const AttributeItems& items) : items_(items) {}

    std::vector<PlaylistTitle> read(const pugi::xml_document& doc) {
        playlist_xml::walkElements(
            doc, [this](const pugi::xml_node& node) { enter(node); },
            [this](const pugi::xml_node& node) { leave(node); });
        std::vector<PlaylistTitle> titles;
        titles.reserve(titles_.size());
        for (TitleState& state : titles_)
            titles.push_back(std::move(state.title));
        return titles;
    }

  private:
    Scope current() const { return scopes_.empty() ? Scope{} : scopes_.back(); }

    void enter(const pugi::xml_node& node) {
        Scope scope = current();
        scope.node = node;
        const std::string_view name = localName(node);
        if (equalsIgnoringCase(name, "titleset")) {
            scope.fps = parseTimeBase(attribute(node, "timeBase")).value_or(kDefaultTimeBaseFps);
            scopes_.push_back(scope);
        } else if (equalsIgnoringCase(name, "title")) {
            scope.title = readTitle(node, scope.fps);
            scope.clip = kNone;
            scopes_.push_back(scope);
        } else if (scope.title != kNone) {
            readInTitle(node, scope);
        }
    }

    void leave(const pugi::xml_node& node) {
        if (scopes_.empty() || scopes_.back().node != node) return;
        const Scope scope = scopes_.back();
        scopes_.pop_back();
        if (isElement(node, "title")) finishTitle(titles_[scope.title]);
    }

    void readInTitle(const pugi::xml_node& node, Scope scope) {
        TitleState& state = titles_[scope.title];
        const std::string_view name = localName(node);
        for (const TrackElement& element : kTrackElements) {
            if (equalsIgnoringCase(name, element.name)) readTrack(node, element.kind, state, scope);
        }
        if (equalsIgnoringCase(name, "chapter")) readChapter(node, state);
        const bool clip =
            name.size() >= 4 && equalsIgnoringCase(name.substr(name.size() - 4), "clip");
        if (clip && !attribute(node, "src").empty()) {
            scope.clip = readClip(node, state);
            scopes_.push_back(scope);
        }
    }

    size_t readTitle(const pugi::xml_node& node, int fps) {
        TitleState& state = titles_.emplace_back();
        state.position = titles_.size();
        PlaylistTitle& title = state.title;
        title.timeBaseFps = fps;
        title.timeBase = timeBaseOfFps(fps);
        title.id = attribute(node, "id");
        title.name = attribute(node, "displayName");
        title.titleNumber = intAttribute(node, "titleNumber");
        title.durationTimeCode = attribute(node, "titleDuration");
        title.durationFrames = state.timeCode(title.durationTimeCode, ", duration");
        return titles_.size() - 1;
    }

    size_t readClip(const pugi::xml_node& node, TitleState& state) {
        PlaylistClip clip;
        clip.src = attribute(node, "src");
        clip.mapName = fileNameOfUri(clip.src);
        clip.evoName = evoNameOf(clip.mapName);
        clip.primary = isElement(node, "primaryaudiovideoclip");
        clip.id = attribute(node, "id");
        clip.dataSource = attribute(node, "dataSource");
        clip.titleTimeBeginText = attribute(node, "titleTimeBegin");
        clip.titleTimeEndText = attribute(node, "titleTimeEnd");
        clip.clipTimeBeginText = attribute(node, "clipTimeBegin");
        const std::string what = ", clip " + quotedText(clip.mapName);
        clip.titleTimeBegin = state.timeCode(clip.titleTimeBeginText, what + " titleTimeBegin");
        clip.titleTimeEnd = state.timeCode(clip.titleTimeEndText, what + " titleTimeEnd");
        clip.clipTimeBegin = state.timeCode(clip.clipTimeBeginText, what + " clipTimeBegin");
        state.title.clips.push_back(std::move(clip));
        state.clipSeen.emplace_back();
        return state.title.clips.size() - 1;
    }

    void readTrack(const pugi::xml_node& node, PlaylistTrackKind kind, TitleState& state,
                   const Scope& scope) {
        PlaylistTrack track = trackOf(node, kind);
        const std::pair<PlaylistTrackKind, int> key{kind, numberOfTrack(track)};
        // Each number once per clip, and once in the title, as the playlist tree lists a
        // track (the clips of a title repeat their tracks).
        if (scope.clip != kNone && state.clipSeen[scope.clip].insert(key).second) {
            state.title.clips[scope.clip].tracks.push_back(track);
        }
        if (state.seen.insert(key).second) state.title.tracks.push_back(std::move(track));
    }

    PlaylistTrack trackOf(const pugi::xml_node& node, PlaylistTrackKind kind) const;

    void readChapter(const pugi::xml_node& node, TitleState& state) {
        PlaylistChapter chapter;
        chapter.name = attribute(node, "displayName");
        chapter.timeCode = attribute(node, "titleTimeBegin");
        const std::string what = ", chapter " + std::to_string(state.title.chapters.size() + 1) +
                                 " " + quotedText(chapter.name);
        chapter.beginFrame = state.timeCode(chapter.timeCode, what, "; left out");
        if (chapter.timeCode.empty()) state.note(what + ": no titleTimeBegin; left out.");
        state.title.chapters.push_back(std::move(chapter));
    }

    static void finishTitle(TitleState& state) {
        std::stable_sort(state.title.clips.begin(), state.title.clips.end(), beginsEarlier);
        // The numbers seen are needed no more; a large playlist has many titles.
        state.seen = {};
        state.clipSeen = {};
        if (state.notesLeft > 0) {
            state.title.notes.push_back(state.label() + ": " + std::to_string(state.notesLeft) +
                                        " more notes like these.");
        }
    }

    const AttributeItems& items_;
    std::vector<TitleState> titles_;
    std::vector<Scope> scopes_;
};

PlaylistTrack TitlesReader::trackOf(const pugi::xml_node& node, PlaylistTrackKind kind) const {
    PlaylistTrack track;
    track.kind = kind;
    track.track = intAttribute(node, "track");
    track.streamNumber = intAttribute(node, "streamNumber");
    track.mediaAttr = intAttribute(node, "mediaAttr");
    track.description = attribute(node, "description");
    track.langcode = attribute(node, "langcode");
    track.language = languageOfLangcode(track.langcode);
    track.slot = slotOfTrack(kind, numberOfTrack(track));
    const std::map<int, AttributeItem>& table = kind == PlaylistTrackKind::Video ? items_.video
                                                : kind == PlaylistTrackKind::Audio
                                                    ? items_.audio
                                                    : items_.subpicture;
    if (auto item = table.find(track.mediaAttr); item != table.end()) {
        track.codec = item->second.codec;
        track.channels = item->second.channels;
        track.sampleFrequency = item->second.sampleFrequency;
        track.frameRate = item->second.frameRate;
    }
    return track;
}

}  // namespace

AttributeItems readAttributeItems(const pugi::xml_document& doc) {
    struct ItemElement {
        std::string_view name;
        std::map<int, AttributeItem> AttributeItems::*table;
    };
    static constexpr ItemElement kItemElements[] = {
        {"videoattributeitem", &AttributeItems::video},
        {"audioattributeitem", &AttributeItems::audio},
        {"subpictureattributeitem", &AttributeItems::subpicture}};
    AttributeItems items;
    const auto enter = [&](const pugi::xml_node& node) {
        for (const ItemElement& element : kItemElements) {
            if (!isElement(node, element.name)) continue;
            const int index = intAttribute(node, "index");
            if (index == 0) return;
            (items.*element.table)
                .try_emplace(index,
                             AttributeItem{attribute(node, "codec"), attribute(node, "channels"),
                                           attribute(node, "sampleFrequency"),
                                           attribute(node, "frameRate")});
        }
    };
    playlist_xml::walkElements(doc, enter, [](const pugi::xml_node&) {});
    return items;
}

std::vector<PlaylistTitle> readTitles(const pugi::xml_document& doc, const AttributeItems& items) {
    return TitlesReader(items).read(doc);
}

}  // namespace morvale
