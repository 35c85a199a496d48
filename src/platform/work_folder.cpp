// SPDX-License-Identifier: MIT
#include "platform/work_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_identity.h"
#include "platform/unique_names.h"

namespace morvale {

namespace {

constexpr std::string_view kSignature = "Morvale work folder\n";
constexpr const char* kInUse = "in use by another Morvale run";
constexpr const char* kNotOurs = "exists and was not made by Morvale";
constexpr const char* kNotAFolder = "is not a folder";
constexpr const char* kHoldsFolders = "holds folders Morvale did not make";
constexpr const char* kKeepsChanging = "changed again and again while it was claimed";
// Another run may make or remove the folder between two looks at it.
constexpr int kClaimTries = 4;
constexpr int kNameTries = 100;

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string markerOf(const std::string& folder) {
    return folder + "/" + WorkFolder::kMarkerName;
}

// Makes `folder` and the folders above it where missing; 0 or the errno of the failure.
int makeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return errno;
        if (slash == std::string::npos) break;
    }
    struct stat st {};  // a link to a folder is a folder to make files in
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

// What lies in a folder besides the marker: the names of its files and links, and whether
// anything else is there. err: the folder could not be read.
struct Contents {
    std::vector<std::string> files;
    bool others = false;
    int err = 0;
};

Contents contentsOf(const std::string& folder) {
    Contents contents;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        contents.err = errno;
        return contents;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || name == WorkFolder::kMarkerName) continue;
        const PathKind kind = pathKindOf(folder + "/" + name);
        if (kind == PathKind::File || kind == PathKind::Link)
            contents.files.push_back(name);
        else
            contents.others = true;
    }
    ::closedir(dir);
    return contents;
}

// Removes the files and links listed; true when all went.
bool removeFiles(const std::string& folder, const std::vector<std::string>& names) {
    bool all = true;
    for (const std::string& name : names)
        all = ::unlink((folder + "/" + name).c_str()) == 0 && all;
    return all;
}

// The open, locked marker of a folder it was just made for; -1 with errno on failure.
int newLockedMarker(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    const bool ready = ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                       ::pwrite(fd, kSignature.data(), kSignature.size(), 0) ==
                           static_cast<ssize_t>(kSignature.size());
    if (ready) return fd;
    const int err = errno;
    ::unlink(path.c_str());
    ::close(fd);
    errno = err;
    return -1;
}

// The marker of an existing folder when it is this program's: open, not yet locked.
int openMarker(const std::string& folder) {
    const int fd = ::open(markerOf(folder).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat st {};
    std::string text(kSignature.size(), '\0');
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        ::pread(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()) &&
        text == kSignature) {
        return fd;
    }
    ::close(fd);
    errno = ENOENT;
    return -1;
}

// Empties and removes a marked folder whose marker is open and locked here (its run is gone).
// Empty when done, otherwise why not; nothing is removed when it holds a folder.
std::string removeLeftOver(const std::string& folder, int marker) {
    const Contents contents = contentsOf(folder);
    std::string reason;
    if (contents.err != 0) reason = std::strerror(contents.err);
    if (reason.empty() && contents.others) reason = kHoldsFolders;
    if (reason.empty() && !removeFiles(folder, contents.files)) reason = std::strerror(errno);
    // The marker goes last: until then, a run that dies here leaves a folder still marked.
    if (reason.empty() && ::unlink(markerOf(folder).c_str()) != 0) reason = std::strerror(errno);
    ::close(marker);
    if (reason.empty() && ::rmdir(folder.c_str()) != 0) reason = std::strerror(errno);
    return reason;
}

// A marked folder whose lock is free is removed; empty when it was, otherwise why not.
std::string takeOverLeftOver(const std::string& folder) {
    const int marker = openMarker(folder);
    if (marker < 0) return errno == ENOENT || errno == ELOOP ? kNotOurs : std::strerror(errno);
    if (::flock(marker, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(marker);
        return err == EWOULDBLOCK ? kInUse : std::strerror(err);
    }
    return removeLeftOver(folder, marker);
}

}  // namespace

// Makes a work folder that appears already marked and locked: the marker is made and locked
// under a hidden name beside the folder, and moved into it once the folder is made.
struct WorkFolderMaker {
    static std::optional<WorkFolder> make(const std::string& folder, int& err) {
        const std::string above = outputFolderOf(folder);
        if ((err = makeFolders(above)) != 0) return std::nullopt;
        const size_t slash = folder.rfind('/');
        const std::string name = slash == std::string::npos ? folder : folder.substr(slash + 1);
        std::string staged;
        int marker = -1;
        for (int attempt = 0; attempt < kNameTries && marker < 0; ++attempt) {
            staged = above + "/" + hiddenNameBeside(name);
            marker = newLockedMarker(staged);
            if (marker < 0 && errno != EEXIST) break;
        }
        if (marker < 0) {
            err = errno;
            return std::nullopt;
        }
        const bool made = ::mkdir(folder.c_str(), 0777) == 0;
        if (!made || ::rename(staged.c_str(), markerOf(folder).c_str()) != 0) {
            err = errno;
            if (made) ::rmdir(folder.c_str());
            ::unlink(staged.c_str());
            ::close(marker);
            return std::nullopt;
        }
        return WorkFolder(folder + "/", marker);
    }
};

WorkFolderClaim WorkFolder::claim(const std::string& path) {
    WorkFolderClaim result;
    const std::string folder = withoutTrailingSlashes(path);
    for (int attempt = 0; attempt < kClaimTries; ++attempt) {
        const PathKind kind = folder.empty() ? PathKind::Other : pathKindOf(folder);
        if (kind == PathKind::Folder) {
            result.refusal = takeOverLeftOver(folder);
            if (!result.refusal.empty()) return result;
            result.leftOverRemoved = true;
        } else if (kind == PathKind::None) {
            int err = 0;
            result.folder = WorkFolderMaker::make(folder, err);
            if (result.folder) return result;
            if (err != EEXIST) {
                result.refusal = std::strerror(err);
                return result;
            }
        } else {
            result.refusal = kNotAFolder;
            return result;
        }
    }
    result.refusal = kKeepsChanging;
    return result;
}

WorkFolder::WorkFolder(WorkFolder&& other) noexcept
    : path_(std::exchange(other.path_, {})), lock_(std::exchange(other.lock_, -1)) {}

WorkFolder& WorkFolder::operator=(WorkFolder&& other) noexcept {
    if (this != &other) {
        release();
        path_ = std::exchange(other.path_, {});
        lock_ = std::exchange(other.lock_, -1);
    }
    return *this;
}

WorkFolder::~WorkFolder() {
    release();
}

bool WorkFolder::release() noexcept {
    if (lock_ < 0) return true;
    const std::string folder = withoutTrailingSlashes(path_);
    const Contents contents = contentsOf(folder);
    const bool emptied =
        contents.err == 0 && removeFiles(folder, contents.files) && !contents.others;
    // The marker goes last, and only from a folder that is empty besides it.
    if (emptied) ::unlink(markerOf(folder).c_str());
    ::close(std::exchange(lock_, -1));
    return emptied && ::rmdir(folder.c_str()) == 0;
}

void WorkFolder::keep() noexcept {
    if (lock_ < 0) return;
    ::unlink(markerOf(withoutTrailingSlashes(path_)).c_str());
    ::close(std::exchange(lock_, -1));
}

}  // namespace morvale
