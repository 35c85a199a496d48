// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morvale {

// The playlist reader does not parse XML: it finds an attribute in one tag line by a
// substring search, and these rules are what its output depends on.
//
// GetAttr: the upper-cased name is searched in the upper-cased tag (first occurrence,
// wherever it is, even inside a longer name or another attribute's value). From at most 255
// characters after it, everything up to the first "=" and then up to the first double quote
// is dropped; the value is what comes before the next double quote, or empty when there is
// none within those 255 characters. When the name is not found, `result` is left as it was:
// every lookup site keeps its own result text, so a tag without the attribute shows the
// site's previous value.
void GetAttr(std::string_view tag, std::string_view name, std::string& result);

// The attribute's value as a decimal integer; 0 when it is absent, empty or not an integer.
int32_t GetAttrInt(std::string_view tag, std::string_view name);

// A whole text as a decimal integer (optional sign, digits only, 32-bit range).
std::optional<int32_t> parseDecimalInt(std::string_view text);

}  // namespace morvale
