// SPDX-License-Identifier: MIT
#include "platform/free_space.h"

#include <sys/statvfs.h>

#include <cerrno>

namespace morvale {

namespace {

// The folder above `path`: "a/b/" -> "a", "/a" -> "/", "a" -> ".".
std::string folderAbove(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::optional<uint64_t> freeBytesFor(const std::string& folder) {
    std::string path = folder.empty() ? "." : folder;
    while (true) {
        struct statvfs status {};
        if (::statvfs(path.c_str(), &status) == 0)
            return uint64_t(status.f_bavail) * uint64_t(status.f_frsize);
        if (errno != ENOENT || path == "/" || path == ".") return std::nullopt;
        path = folderAbove(path);
    }
}

}  // namespace morvale
