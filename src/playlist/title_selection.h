// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace morvale {

// Cuts the outline down to the title that plays the source: the first line naming the
// source's base name (case-sensitive, "FEATURE_1"), the nearest Title tag above it
// ("<TITLE " in any letter case, the blank keeping TitleSet out) and the first closing Title
// tag after that. Returns false, leaving the outline whole, when no line names the source or
// only the top line does.
bool selectTitle(std::vector<std::string>& lines, std::string_view sourceBaseName);

}  // namespace morvale
