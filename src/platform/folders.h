// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace morvale {

// Creates the folder and any missing folders above it. Throws FileError("Cannot create file
// ...") with the system's reason when one cannot be made (or a file is in the way).
void createFolders(const std::string& path);

// Files are made in `folder` (links followed): throws FileError("Cannot create file
// "<folder>". <reason>") naming the folder when it is missing or no folder, before a file in
// it is tried. An empty folder is the current one.
void requireFolder(const std::string& folder);

// Removes a file; false when there was none or it could not be removed.
bool removeFile(const std::string& path);

// Removes an empty folder; false when it is not empty, absent or cannot be removed.
bool removeEmptyFolder(const std::string& path);

}  // namespace morvale
