// SPDX-License-Identifier: MIT
#include "platform/paths.h"

#include <algorithm>

namespace morvale {

namespace {
bool isFolderEnd(char c) { return c == '/' || c == '\\' || c == ':'; }
}  // namespace

size_t nameStart(std::string_view path) {
    for (size_t i = path.size(); i > 0; --i) {
        if (isFolderEnd(path[i - 1])) return i;
    }
    return 0;
}

std::string fileNameOf(std::string_view path) { return std::string(path.substr(nameStart(path))); }

std::string folderOf(std::string_view path) { return std::string(path.substr(0, nameStart(path))); }

std::string upperExtension(std::string_view path) {
    std::string_view name = path.substr(nameStart(path));
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    return upperAscii(name.substr(dot));
}

std::string upperAscii(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; });
    return upper;
}

bool endsWith(std::string_view text, std::string_view ending) {
    return text.size() >= ending.size() && text.substr(text.size() - ending.size()) == ending;
}

std::string withTrailingSeparator(std::string folder) {
    if (folder.empty() || folder.back() == '/' || folder.back() == '\\') return folder;
    bool backslashStyle =
        folder.find('\\') != std::string::npos && folder.find('/') == std::string::npos;
    folder += backslashStyle ? '\\' : '/';
    return folder;
}

bool isAbsolutePath(std::string_view path) {
    if (!path.empty() && (path.front() == '/' || path.front() == '\\')) return true;
    return path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

}  // namespace morvale
