// SPDX-License-Identifier: MIT
#include "platform/staged_file.h"

#include "platform/paths.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/file.h"
#include "platform/file_error.h"
#include "platform/file_identity.h"
#include "platform/file_system_calls.h"
#include "platform/unique_names.h"

namespace morvale {

namespace {

constexpr int kNameTries = 100;

FileError cannotCreate(const std::string& target, std::string_view reason) {
    return FileError("Cannot create file \"" + absolutePath(target) + "\". " + std::string(reason));
}

std::string folderPrefix(const std::string& target) {
    const size_t slash = target.rfind('/');
    return slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
}

// Puts `from` at `to` where nothing stands there, by the first way the file system has.
// Returns 0 or the errno of the failure (EEXIST: something stands there).
int placeWithoutReplacing(const std::string& from, const std::string& to) {
    if (renameNoReplace(from.c_str(), to.c_str()) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
    if (hardLink(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != ENOSYS) return errno;
    // No hard links either: claim the name with an empty file of our own, then replace it.
    const int claim = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (claim < 0) return errno;
    ::close(claim);
    if (::rename(from.c_str(), to.c_str()) == 0) return 0;
    const int err = errno;
    ::unlink(to.c_str());
    return err;
}

}  // namespace

StagedFile::StagedFile(StagedFile&& other) noexcept
    : path_(std::exchange(other.path_, {})),
      target_(std::exchange(other.target_, {})),
      committed_(std::exchange(other.committed_, false)) {}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
    if (this != &other) {
        discard();
        path_ = std::exchange(other.path_, {});
        target_ = std::exchange(other.target_, {});
        committed_ = std::exchange(other.committed_, false);
    }
    return *this;
}

StagedFile::~StagedFile() {
    discard();
}

StagedFile StagedFile::create(const std::string& target) {
    return create(target, folderPrefix(target));
}

StagedFile StagedFile::create(const std::string& target, const std::string& folder) {
    const size_t slash = target.rfind('/');
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty()) throw FileError(cannotCreateMessage(target, EISDIR));
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        const std::string path = withTrailingSeparator(folder) + hiddenNameBeside(name);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) throw FileError(cannotCreateMessage(target, errno));
        ::close(fd);
        StagedFile file;
        file.path_ = path;
        file.target_ = target;
        return file;
    }
    throw FileError(cannotCreateMessage(target, EEXIST));
}

void StagedFile::commit(Replace replace) {
    if (committed_) return;
    if (path_.empty()) throw cannotCreate(target_, "Its temporary file was removed");
    // Only a file of its own goes into place: never what a link put in its stead leads to.
    if (pathKindOf(path_) != PathKind::File)
        throw cannotCreate(target_, "Its temporary file " + path_ + " is gone or was replaced");
    const int err = replace == Replace::Existing
                        ? (::rename(path_.c_str(), target_.c_str()) == 0 ? 0 : errno)
                        : placeWithoutReplacing(path_, target_);
    if (err != 0) throw FileError(cannotCreateMessage(target_, err));
    committed_ = true;
}

void StagedFile::discard() noexcept {
    if (committed_ || path_.empty()) return;
    // Whatever stands at the temporary name now, a folder apart, goes: unlink never follows.
    if (pathKindOf(path_) != PathKind::Folder) ::unlink(path_.c_str());
    path_.clear();
}

bool fileBeginsWith(const std::string& path, std::span<const uint8_t> magic) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    std::vector<uint8_t> start(magic.size());
    const bool begins =
        ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
        static_cast<size_t>(st.st_size) >= magic.size() &&
        ::pread(fd, start.data(), start.size(), 0) == static_cast<ssize_t>(start.size()) &&
        std::equal(start.begin(), start.end(), magic.begin());
    ::close(fd);
    return begins;
}

}  // namespace morvale
