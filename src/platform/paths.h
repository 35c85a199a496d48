// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace morvale {

// Paths may use either separator ("/" or "\"), and a drive colon also ends a folder.

// Index just after the last separator or drive colon (0 when there is none).
size_t nameStart(std::string_view path);
// What follows the last separator or drive colon.
std::string fileNameOf(std::string_view path);
// Everything up to and including the last separator or drive colon.
std::string folderOf(std::string_view path);
// The file name's extension from its last dot, dot included, upper-cased (ASCII);
// empty when the name has no dot.
std::string upperExtension(std::string_view path);
// ASCII upper case.
std::string upperAscii(std::string_view text);
bool endsWith(std::string_view text, std::string_view ending);
// A path from the root in either style: "/out", "\\server\out", "E:\out", "E:/out".
bool isAbsolutePath(std::string_view path);
// A non-empty folder that does not end in a separator gets one: "\" when that is the
// separator the folder already uses (and it has no "/"), otherwise "/".
std::string withTrailingSeparator(std::string folder);

}  // namespace morvale
