// SPDX-License-Identifier: MIT
#include "platform/file_patch.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_error.h"

namespace morvale {

void overwriteFileAt(const std::string& path, int64_t offset, std::span<const uint8_t> bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) throw FileError(cannotOpenMessage(path, errno));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                                     static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            const FileError error =
                put < 0 ? streamWriteError(path, errno)
                        : streamWriteError(path, "the system wrote none of the bytes");
            ::close(fd);
            throw error;
        }
        done += static_cast<size_t>(put);
    }
    if (::close(fd) != 0 && errno != EINTR) throw streamWriteError(path, errno);
}

}  // namespace morvale
