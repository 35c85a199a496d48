#include "support/file_faults.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/file_system_calls.h"

namespace morvale {

namespace {

const FileFaults* active = nullptr;
// What the faults in force have done so far.
bool paused = false;
int sizesTold = 0;

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
    if (active != nullptr && active->pauseAt >= 0 && !paused && sameFile(fd, active->pausePath)) {
        if (offset == active->pauseAt) {
            paused = true;
            return 0;
        }
        if (offset < active->pauseAt)
            n = std::min(n, static_cast<size_t>(active->pauseAt - offset));
    }
    if (active != nullptr && active->readFailsAt >= 0 && sameFile(fd, active->readPath)) {
        if (offset >= active->readFailsAt) {
            errno = EIO;
            return -1;
        }
        n = std::min(n, static_cast<size_t>(active->readFailsAt - offset));
    }
    return ::pread(fd, buffer, n, offset);
}

int sourceFstat(int fd, struct stat* status) {
    if (active != nullptr && active->sizeFailsAfter >= 0 && sameFile(fd, active->sizePath)) {
        if (sizesTold == active->sizeFailsAfter) {
            errno = EIO;
            return -1;
        }
        ++sizesTold;
    }
    return ::fstat(fd, status);
}

ssize_t outputWrite(int fd, const void* data, size_t n) {
    if (active != nullptr && active->writeLimit >= 0 && sameFile(fd, active->writePath)) {
        const off_t at = ::lseek(fd, 0, SEEK_CUR);
        if (at >= active->writeLimit) {
            errno = ENOSPC;
            return -1;
        }
        n = std::min(n, static_cast<size_t>(active->writeLimit - at));
    }
    return ::write(fd, data, n);
}

}  // namespace morvale
