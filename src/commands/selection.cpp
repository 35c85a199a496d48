// SPDX-License-Identifier: MIT
#include "commands/selection.h"

#include "platform/paths.h"

namespace morvale {

std::string sourceFileNameOf(std::string_view source) {
    return fileNameOf(source);
}

std::string sourceBaseNameOf(std::string_view source) {
    const std::string name = sourceFileNameOf(source);
    return name.size() > 4 ? name.substr(0, name.size() - 4) : std::string();
}

std::string siblingFolder(std::string_view folder, std::string_view from, std::string_view to) {
    if (folder.empty()) return {};
    char separator = folder.back();
    if (separator != '/' && separator != '\\') return {};
    std::string_view named = folder.substr(0, folder.size() - 1);
    if (!endsWith(named, from)) return {};
    std::string sibling(named.substr(0, named.size() - from.size()));
    sibling += to;
    sibling += separator;
    return sibling;
}

std::string discPlaylistOf(std::string_view source) {
    const std::string folder = siblingFolder(folderOf(source), kVideoFolder, kPlaylistFolder);
    return folder.empty() ? folder : folder + std::string(kPlaylistName);
}

}  // namespace morvale
