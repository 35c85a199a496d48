// SPDX-License-Identifier: MIT
#include "export/playlist_xml.h"

#include <charconv>
#include <cstdint>

#include "playlist/playlist_text.h"

namespace morvale::playlist_xml {

namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

std::string_view localName(const pugi::xml_node& node) {
    std::string_view name = node.name();
    if (size_t colon = name.rfind(':'); colon != std::string_view::npos) {
        name.remove_prefix(colon + 1);
    }
    return name;
}

bool isElement(const pugi::xml_node& node, std::string_view lowerName) {
    return node.type() == pugi::node_element && equalsIgnoringCase(localName(node), lowerName);
}

std::string attribute(const pugi::xml_node& node, std::string_view name) {
    for (const pugi::xml_attribute& attr : node.attributes()) {
        if (equalsIgnoringCase(attr.name(), name)) return utf8OrLatin1(attr.value());
    }
    return {};
}

int intAttribute(const pugi::xml_node& node, std::string_view name) {
    const std::string text = attribute(node, name);
    int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return 0;
    return value < 0 || value > 0x7FFFFFFF ? 0 : static_cast<int>(value);
}

}  // namespace morvale::playlist_xml
