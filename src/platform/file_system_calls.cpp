// SPDX-License-Identifier: MIT
#include "platform/file_system_calls.h"

#include <unistd.h>

namespace morvale {

ssize_t sourcePread(int fd, void* buffer, size_t n, off_t offset) {
    return ::pread(fd, buffer, n, offset);
}

int sourceFstat(int fd, struct stat* status) {
    return ::fstat(fd, status);
}

ssize_t outputWrite(int fd, const void* data, size_t n) {
    return ::write(fd, data, n);
}

}  // namespace morvale
