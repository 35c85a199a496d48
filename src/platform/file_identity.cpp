// SPDX-License-Identifier: MIT
#include "platform/file_identity.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/file_error.h"

namespace morvale {

namespace {

// As the system's own limit on links followed in one lookup.
constexpr int kMaxLinks = 40;

std::optional<std::string> linkTarget(const std::string& path) {
    std::string target(256, '\0');
    while (true) {
        const ssize_t got = ::readlink(path.c_str(), target.data(), target.size());
        if (got < 0) return std::nullopt;
        if (static_cast<size_t>(got) < target.size()) {
            target.resize(static_cast<size_t>(got));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

std::optional<std::string> realFolder(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                           &std::free);
    if (!real) return std::nullopt;
    return std::string(real.get());
}

std::string nameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Where a file made at `path` would come to be: at the end of its chain of links, in the real
// folder there. nullopt when something other than a link stands there (nothing would be
// made), or when it cannot be made (no such folder, a loop of links).
std::optional<std::string> placeOfNewFile(std::string path) {
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno != ENOENT) return std::nullopt;
            const std::optional<std::string> folder = realFolder(outputFolderOf(path));
            if (!folder) return std::nullopt;
            return (*folder == "/" ? "" : *folder) + "/" + nameOf(path);
        }
        if (!S_ISLNK(st.st_mode)) return std::nullopt;
        const std::optional<std::string> target = linkTarget(path);
        if (!target || target->empty()) return std::nullopt;
        path = target->front() == '/' ? *target : outputFolderOf(path) + "/" + *target;
    }
    return std::nullopt;
}

}  // namespace

PathKind pathKindOf(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return PathKind::None;
    if (S_ISLNK(st.st_mode)) return PathKind::Link;
    if (S_ISDIR(st.st_mode)) return PathKind::Folder;
    return S_ISREG(st.st_mode) ? PathKind::File : PathKind::Other;
}

bool pathTaken(const std::string& path) {
    return pathKindOf(path) != PathKind::None;
}

std::optional<FileIdentity> fileIdentityOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

bool sameFile(const std::string& a, const std::string& b) {
    const std::optional<FileIdentity> first = fileIdentityOf(a);
    return first && first == fileIdentityOf(b);
}

std::optional<std::string> clashingInput(const std::string& output,
                                         const std::vector<std::string>& inputs) {
    if (const std::optional<FileIdentity> written = fileIdentityOf(output)) {
        for (const std::string& input : inputs) {
            if (fileIdentityOf(input) == written) return input;
        }
        return std::nullopt;
    }
    if (pathKindOf(output) != PathKind::Link) return std::nullopt;
    const std::optional<std::string> made = placeOfNewFile(output);
    if (!made) return std::nullopt;
    for (const std::string& input : inputs) {
        if (!fileIdentityOf(input) && placeOfNewFile(input) == made) return input;
    }
    return std::nullopt;
}

void refuseOutputsOverInputs(const std::vector<std::string>& outputs,
                             const std::vector<std::string>& inputs) {
    for (const std::string& output : outputs) {
        if (clashingInput(output, inputs)) throw FileError(outputIsInputMessage(output));
    }
}

std::string outputFolderOf(const std::string& path) {
    size_t end = path.size();
    while (end > 1 && path[end - 1] == '/')
        --end;
    const size_t slash = path.rfind('/', end - 1);
    if (end == 0 || slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace morvale
