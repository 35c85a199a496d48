#include "platform/file_faults.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

namespace morvale {

namespace file_faults_detail {

const FileFaults* active = nullptr;

namespace {

bool sameFile(int fd, const std::string& path) {
    struct stat open {
    }, named{};
    return !path.empty() && ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

}  // namespace

ssize_t faultedPread(int fd, void* buffer, size_t n, off_t offset) {
    const FileFaults& faults = *active;
    if (faults.readFailsAt >= 0 && sameFile(fd, faults.readPath)) {
        if (offset >= faults.readFailsAt) {
            errno = EIO;
            return -1;
        }
        n = std::min(n, static_cast<size_t>(faults.readFailsAt - offset));
    }
    return ::pread(fd, buffer, n, offset);
}

ssize_t faultedWrite(int fd, const void* data, size_t n) {
    const FileFaults& faults = *active;
    if (faults.writeLimit >= 0 && sameFile(fd, faults.writePath)) {
        const off_t at = ::lseek(fd, 0, SEEK_CUR);
        if (at >= faults.writeLimit) {
            errno = ENOSPC;
            return -1;
        }
        n = std::min(n, static_cast<size_t>(faults.writeLimit - at));
    }
    return ::write(fd, data, n);
}

}  // namespace file_faults_detail

void injectFileFaults(const FileFaults* faults) {
    file_faults_detail::active = faults;
}

}  // namespace morvale
