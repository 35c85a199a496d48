// SPDX-License-Identifier: MIT
#include "support/file_faults.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "platform/file_system_calls.h"

namespace morvale {

namespace {

// Read by the file layer's own threads too (read-ahead, write-behind).
std::atomic<const FileFaults*> active = nullptr;
// What the faults in force have done so far.
std::atomic<bool> paused = false;
int sizesTold = 0;  // size queries come from the caller's thread only

bool sameFile(int fd, const std::string& path) {
    struct stat open {
    }, named{};
    return !path.empty() && ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

}  // namespace

void injectFileFaults(const FileFaults* faults) {
    active = faults;
    paused = false;
    sizesTold = 0;
}

ssize_t sourcePread(int fd, void* buffer, size_t n, off_t offset) {
    const FileFaults* faults = active;
    if (faults != nullptr && faults->pauseAt >= 0 && !paused && sameFile(fd, faults->pausePath)) {
        if (offset == faults->pauseAt) {
            if (!paused.exchange(true)) return 0;
        } else if (offset < faults->pauseAt) {
            n = std::min(n, static_cast<size_t>(faults->pauseAt - offset));
        }
    }
    if (faults != nullptr && faults->readFailsAt >= 0 && sameFile(fd, faults->readPath)) {
        if (offset >= faults->readFailsAt) {
            errno = EIO;
            return -1;
        }
        n = std::min(n, static_cast<size_t>(faults->readFailsAt - offset));
    }
    return ::pread(fd, buffer, n, offset);
}

int sourceFstat(int fd, struct stat* status) {
    const FileFaults* faults = active;
    if (faults != nullptr && faults->sizeFailsAfter >= 0 && sameFile(fd, faults->sizePath)) {
        if (sizesTold == faults->sizeFailsAfter) {
            errno = EIO;
            return -1;
        }
        ++sizesTold;
    }
    return ::fstat(fd, status);
}

ssize_t outputWrite(int fd, const void* data, size_t n) {
    const FileFaults* faults = active;
    if (faults != nullptr && faults->writeLimit >= 0 && sameFile(fd, faults->writePath)) {
        const off_t at = ::lseek(fd, 0, SEEK_CUR);
        if (at >= faults->writeLimit) {
            errno = ENOSPC;
            return -1;
        }
        n = std::min(n, static_cast<size_t>(faults->writeLimit - at));
    }
    return ::write(fd, data, n);
}

int renameNoReplace(const char* from, const char* to) {
    const FileFaults* faults = active;
    if (faults != nullptr && faults->noRenameNoReplace) {
        errno = EINVAL;
        return -1;
    }
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

int hardLink(const char* from, const char* to) {
    const FileFaults* faults = active;
    if (faults != nullptr && faults->noHardLinks) {
        errno = EPERM;
        return -1;
    }
    return ::link(from, to);
}

}  // namespace morvale
