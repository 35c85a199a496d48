// SPDX-License-Identifier: MIT
#include "playlist/attribute_lookup.h"

#include <charconv>

#include "platform/paths.h"

namespace morvale {

namespace {
constexpr size_t kValueWindow = 255;
}

void GetAttr(std::string_view tag, std::string_view name, std::string& result) {
    if (name.empty()) return;
    size_t at = upperAscii(tag).find(upperAscii(name));
    if (at == std::string::npos) return;
    std::string_view rest = tag.substr(at + name.size(), kValueWindow);
    if (size_t equals = rest.find('='); equals != std::string_view::npos) {
        rest.remove_prefix(equals + 1);
    }
    if (size_t quote = rest.find('"'); quote != std::string_view::npos) {
        rest.remove_prefix(quote + 1);
    }
    size_t end = rest.find('"');
    result = end == std::string_view::npos ? std::string() : std::string(rest.substr(0, end));
}

int32_t GetAttrInt(std::string_view tag, std::string_view name) {
    std::string value;
    GetAttr(tag, name, value);
    return parseDecimalInt(value).value_or(0);
}

std::optional<int32_t> parseDecimalInt(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') return std::nullopt;
    }
    if (text.empty()) return std::nullopt;
    int32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace morvale
