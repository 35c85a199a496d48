// SPDX-License-Identifier: MIT
#include "playlist/title_selection.h"

#include "platform/paths.h"

namespace morvale {

namespace {

size_t findUpper(const std::string& line, std::string_view upperNeedle) {
    return upperAscii(line).find(upperNeedle);
}

}  // namespace

bool selectTitle(std::vector<std::string>& lines, std::string_view sourceBaseName) {
    if (sourceBaseName.empty()) return false;
    size_t found = 0;
    while (found < lines.size() && lines[found].find(sourceBaseName) == std::string::npos) {
        ++found;
    }
    if (found == lines.size() || found == 0) return false;

    for (size_t i = found; i-- > 0;) {
        if (findUpper(lines[i], "<TITLE ") == std::string::npos) continue;
        lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(i));
        break;
    }
    // A closing tag at the very start of a line does not end the title.
    for (size_t i = 0; i < lines.size(); ++i) {
        size_t at = findUpper(lines[i], "</TITLE");
        if (at == std::string::npos || at == 0) continue;
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i) + 1, lines.end());
        break;
    }
    return true;
}

}  // namespace morvale
