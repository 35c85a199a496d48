#include "export/playlist_model.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <map>
#include <pugixml.hpp>

namespace morvale {

namespace {

constexpr int kVideoSlots = 2;
constexpr int kAudioSlots = 16;
constexpr int kSubpictureSlots = 32;

std::string lowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

// The element's name without a namespace prefix, in lower case: the playlist's names are
// compared in any letter case, as the playlist page does.
std::string localName(const pugi::xml_node& node) {
    std::string_view name = node.name();
    if (size_t colon = name.rfind(':'); colon != std::string_view::npos) {
        name.remove_prefix(colon + 1);
    }
    return lowerAscii(name);
}

// Every element below `node`, in document order.
template <class Visit>
void forEachElementBelow(const pugi::xml_node& node, Visit&& visit) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        visit(child);
        forEachElementBelow(child, visit);
    }
}

// An attribute by its name in any letter case; empty when absent.
std::string attribute(const pugi::xml_node& node, std::string_view name) {
    const std::string wanted = lowerAscii(name);
    for (const pugi::xml_attribute& attr : node.attributes()) {
        if (lowerAscii(attr.name()) == wanted) return attr.value();
    }
    return {};
}

std::optional<int64_t> parseNumber(std::string_view text) {
    int64_t value = 0;
    if (text.empty()) return std::nullopt;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

int intAttribute(const pugi::xml_node& node, std::string_view name) {
    std::optional<int64_t> value = parseNumber(attribute(node, name));
    if (!value || *value < 0 || *value > 0x7FFFFFFF) return 0;
    return static_cast<int>(*value);
}

std::string fileNameOfUri(std::string_view src) {
    size_t slash = src.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? src : src.substr(slash + 1));
}

// The attribute items of the MediaAttributeList, by kind and index.
struct AttributeItem {
    std::string codec;
    std::string channels;
    std::string sampleFrequency;
    std::string frameRate;
};
struct AttributeItems {
    std::map<int, AttributeItem> video, audio, subpicture;
};

AttributeItems readAttributeItems(const pugi::xml_document& doc) {
    AttributeItems items;
    forEachElementBelow(doc, [&](const pugi::xml_node& node) {
        const std::string name = localName(node);
        std::map<int, AttributeItem>* table = nullptr;
        if (name == "videoattributeitem") table = &items.video;
        if (name == "audioattributeitem") table = &items.audio;
        if (name == "subpictureattributeitem") table = &items.subpicture;
        if (table == nullptr) return;
        const int index = intAttribute(node, "index");
        if (index == 0 || table->count(index) != 0) return;
        (*table)[index] = {attribute(node, "codec"), attribute(node, "channels"),
                           attribute(node, "sampleFrequency"), attribute(node, "frameRate")};
    });
    return items;
}

int slotOfTrack(PlaylistTrackKind kind, int number) {
    const int slots = kind == PlaylistTrackKind::Video   ? kVideoSlots
                      : kind == PlaylistTrackKind::Audio ? kAudioSlots
                                                         : kSubpictureSlots;
    return number >= 1 && number <= slots ? number - 1 : -1;
}

class TitleReader {
  public:
    TitleReader(const AttributeItems& items, int fps) : items_(items) { title_.timeBaseFps = fps; }

    PlaylistTitle read(const pugi::xml_node& node) {
        title_.id = attribute(node, "id");
        title_.name = attribute(node, "displayName");
        title_.durationTimeCode = attribute(node, "titleDuration");
        title_.durationFrames = parseTimeCode(title_.durationTimeCode, title_.timeBaseFps);
        forEachElementBelow(node, [this](const pugi::xml_node& child) { readElement(child); });
        return std::move(title_);
    }

  private:
    void readElement(const pugi::xml_node& node) {
        const std::string name = localName(node);
        if (name == "video") readTrack(node, PlaylistTrackKind::Video);
        if (name == "audio") readTrack(node, PlaylistTrackKind::Audio);
        if (name == "subtitle") readTrack(node, PlaylistTrackKind::Subtitle);
        if (name == "chapter") readChapter(node);
        if (name.ends_with("clip") && !attribute(node, "src").empty()) readClip(node);
    }

    void readClip(const pugi::xml_node& node) {
        PlaylistClip clip;
        clip.src = attribute(node, "src");
        clip.mapName = fileNameOfUri(clip.src);
        clip.titleTimeBegin = parseTimeCode(attribute(node, "titleTimeBegin"), title_.timeBaseFps);
        clip.titleTimeEnd = parseTimeCode(attribute(node, "titleTimeEnd"), title_.timeBaseFps);
        title_.clips.push_back(std::move(clip));
    }

    void readTrack(const pugi::xml_node& node, PlaylistTrackKind kind) {
        PlaylistTrack track;
        track.kind = kind;
        track.track = intAttribute(node, "track");
        track.streamNumber = intAttribute(node, "streamNumber");
        const int number = kind == PlaylistTrackKind::Video ? track.track : track.streamNumber;
        // Each number once, as the playlist tree lists a track (the clips of a title repeat
        // their tracks).
        for (const PlaylistTrack& seen : title_.tracks) {
            const int seenNumber =
                kind == PlaylistTrackKind::Video ? seen.track : seen.streamNumber;
            if (seen.kind == kind && seenNumber == number) return;
        }
        track.mediaAttr = intAttribute(node, "mediaAttr");
        track.description = attribute(node, "description");
        track.language = languageOfLangcode(attribute(node, "langcode"));
        track.slot = slotOfTrack(kind, number);
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
        title_.tracks.push_back(std::move(track));
    }

    void readChapter(const pugi::xml_node& node) {
        PlaylistChapter chapter;
        chapter.name = attribute(node, "displayName");
        chapter.timeCode = attribute(node, "titleTimeBegin");
        chapter.beginFrame = parseTimeCode(chapter.timeCode, title_.timeBaseFps);
        title_.chapters.push_back(std::move(chapter));
    }

    const AttributeItems& items_;
    PlaylistTitle title_;
};

// The time base of the TitleSet around a title.
int timeBaseOf(const pugi::xml_node& title) {
    for (pugi::xml_node node = title.parent(); node; node = node.parent()) {
        if (node.type() != pugi::node_element || localName(node) != "titleset") continue;
        return parseTimeBase(attribute(node, "timeBase")).value_or(kDefaultTimeBaseFps);
    }
    return kDefaultTimeBaseFps;
}

bool namesSource(const pugi::xml_node& node, std::string_view needle) {
    if (std::string_view(node.name()).find(needle) != std::string_view::npos) return true;
    for (const pugi::xml_attribute& attr : node.attributes()) {
        if (std::string_view(attr.name()).find(needle) != std::string_view::npos) return true;
        if (std::string_view(attr.value()).find(needle) != std::string_view::npos) return true;
    }
    return false;
}

// Walks the elements (and the declaration) in document order: the titles in order, and the
// title chosen for the source.
class TitleWalker : public pugi::xml_tree_walker {
  public:
    explicit TitleWalker(std::string_view needle) : needle_(needle) {}

    bool for_each(pugi::xml_node& node) override {
        const bool tag = node.type() == pugi::node_element || node.type() == pugi::node_declaration;
        if (!tag) return true;
        const bool first = nodesSeen_++ == 0;
        if (!found_ && !needle_.empty() && namesSource(node, needle_)) {
            found_ = true;
            if (!first && !titles_.empty()) chosen_ = titles_.size() - 1;
        }
        if (node.type() == pugi::node_element && localName(node) == "title") {
            titles_.push_back(node);
        }
        return true;
    }

    std::vector<pugi::xml_node> titles_;
    std::optional<size_t> chosen_;

  private:
    std::string_view needle_;
    bool found_ = false;
    size_t nodesSeen_ = 0;
};

// Line and column (both from 1) of a byte offset into the text.
std::pair<size_t, size_t> lineAndColumn(std::span<const uint8_t> bytes, ptrdiff_t offset) {
    size_t line = 1, column = 1;
    const size_t end = std::min(bytes.size(), static_cast<size_t>(std::max<ptrdiff_t>(offset, 0)));
    for (size_t i = 0; i < end; ++i) {
        if (bytes[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return {line, column};
}

}  // namespace

std::optional<int64_t> parseTimeCode(std::string_view text, int fps) {
    std::array<int64_t, 4> fields{};
    size_t start = 0;
    for (size_t i = 0; i < fields.size(); ++i) {
        const size_t colon = i + 1 < fields.size() ? text.find(':', start) : text.size();
        if (colon == std::string_view::npos) return std::nullopt;
        std::optional<int64_t> value = parseNumber(text.substr(start, colon - start));
        if (!value || *value < 0 || *value > 0xFFFFFF) return std::nullopt;
        fields[i] = *value;
        start = colon + 1;
    }
    if (fields[1] > 59 || fields[2] > 59) return std::nullopt;
    return ((fields[0] * 60 + fields[1]) * 60 + fields[2]) * fps + fields[3];
}

std::optional<int> parseTimeBase(std::string_view text) {
    if (!text.ends_with("fps")) return std::nullopt;
    std::optional<int64_t> fps = parseNumber(text.substr(0, text.size() - 3));
    if (!fps || *fps < 1 || *fps > 1000) return std::nullopt;
    return static_cast<int>(*fps);
}

int64_t framesToMilliseconds(int64_t frames, int fps) {
    return (frames * 1000 + fps / 2) / fps;
}

std::string languageOfLangcode(std::string_view langcode) {
    return std::string(langcode.substr(0, langcode.find(':')));
}

PlaylistReading readPlaylistModel(std::span<const uint8_t> bytes, std::string_view sourceBaseName) {
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_declaration,
                        pugi::encoding_auto);
    PlaylistReading reading;
    if (!parsed) {
        const auto [line, column] = lineAndColumn(bytes, parsed.offset);
        reading.error = "not well-formed XML at line " + std::to_string(line) + ", column " +
                        std::to_string(column) + ": " + parsed.description();
        return reading;
    }

    PlaylistModel model;
    for (pugi::xml_node node = doc.first_child(); node; node = node.next_sibling()) {
        if (node.type() == pugi::node_element && localName(node) == "playlist") {
            model.displayName = attribute(node, "displayName");
        }
    }
    const AttributeItems items = readAttributeItems(doc);
    TitleWalker walker(sourceBaseName);
    doc.traverse(walker);
    for (const pugi::xml_node& title : walker.titles_)
        model.titles.push_back(TitleReader(items, timeBaseOf(title)).read(title));
    model.chosenTitle = walker.chosen_;
    reading.model = std::move(model);
    return reading;
}

}  // namespace morvale
