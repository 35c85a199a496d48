// SPDX-License-Identifier: MIT
#include "export/playlist_model.h"

#include <algorithm>
#include <pugixml.hpp>

#include "export/playlist_titles_reader.h"
#include "export/playlist_xml.h"

namespace morvale {

namespace {

using playlist_xml::attribute;
using playlist_xml::isElement;

bool namesSource(const pugi::xml_node& node, std::string_view needle) {
    if (std::string_view(node.name()).find(needle) != std::string_view::npos) return true;
    for (const pugi::xml_attribute& attr : node.attributes()) {
        if (std::string_view(attr.name()).find(needle) != std::string_view::npos) return true;
        if (std::string_view(attr.value()).find(needle) != std::string_view::npos) return true;
    }
    return false;
}

// Walks the elements (and the declaration) in document order for the title chosen for the
// source. pugixml's traverse follows the tree's links and needs no stack.
class TitleChooser : public pugi::xml_tree_walker {
  public:
    explicit TitleChooser(std::string_view needle) : needle_(needle) {}

    bool for_each(pugi::xml_node& node) override {
        const bool tag = node.type() == pugi::node_element || node.type() == pugi::node_declaration;
        if (!tag) return true;
        const bool first = nodesSeen_++ == 0;
        if (!needle_.empty() && namesSource(node, needle_)) {
            if (!first && titlesSeen_ > 0) chosen_ = titlesSeen_ - 1;
            return false;  // the first element naming the source decides
        }
        if (isElement(node, "title")) ++titlesSeen_;
        return true;
    }

    std::optional<size_t> chosen_;

  private:
    std::string_view needle_;
    size_t titlesSeen_ = 0;
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

int64_t framesToMilliseconds(int64_t frames, int fps) {
    return (frames * 1000 + fps / 2) / fps;
}

std::string languageOfLangcode(std::string_view langcode) {
    return std::string(langcode.substr(0, langcode.find(':')));
}

namespace {

// The model of a parsed document, or why the parse failed.
PlaylistReading modelOf(pugi::xml_document& doc, const pugi::xml_parse_result& parsed,
                        std::span<const uint8_t> bytes, std::string_view sourceBaseName) {
    PlaylistReading reading;
    if (!parsed) {
        const auto [line, column] = lineAndColumn(bytes, parsed.offset);
        reading.error = "not well-formed XML at line " + std::to_string(line) + ", column " +
                        std::to_string(column) + ": " + parsed.description();
        return reading;
    }
    PlaylistModel model;
    for (pugi::xml_node node = doc.first_child(); node; node = node.next_sibling()) {
        if (isElement(node, "playlist")) model.displayName = attribute(node, "displayName");
    }
    model.titles = readTitles(doc, readAttributeItems(doc));
    TitleChooser chooser(sourceBaseName);
    doc.traverse(chooser);
    model.chosenTitle = chooser.chosen_;
    reading.model = std::move(model);
    return reading;
}

PlaylistReading tooLarge(size_t size) {
    PlaylistReading reading;
    reading.error = playlistTooLargeReason(static_cast<int64_t>(size));
    return reading;
}

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration;

}  // namespace

PlaylistReading readPlaylistModel(std::span<const uint8_t> bytes, std::string_view sourceBaseName) {
    if (static_cast<int64_t>(bytes.size()) > kMaxPlaylistBytes) return tooLarge(bytes.size());
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(bytes.data(), bytes.size(), kParseOptions, pugi::encoding_auto);
    return modelOf(doc, parsed, bytes, sourceBaseName);
}

}  // namespace morvale
