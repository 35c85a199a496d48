// SPDX-License-Identifier: MIT
#include "platform/folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_error.h"

namespace morvale {

void createFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (!folder.empty() && ::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
            throw FileError(cannotCreateMessage(path, errno));
        }
        if (slash == std::string::npos) break;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        throw FileError(cannotCreateMessage(path, ENOTDIR));
    }
}

void requireFolder(const std::string& folder) {
    if (folder.empty()) return;
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) throw FileError(cannotCreateMessage(folder, errno));
    if (!S_ISDIR(st.st_mode)) throw FileError(cannotCreateMessage(folder, ENOTDIR));
}

bool removeFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool removeEmptyFolder(const std::string& path) {
    return ::rmdir(path.c_str()) == 0;
}

}  // namespace morvale
