// SPDX-License-Identifier: MIT
#include "fuzz_support.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace morvale::fuzzing {

void invariantBroken(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "\n==== broken invariant: %s (%s:%d)\n", condition, file, line);
    std::fflush(stderr);
    std::abort();
}

ControlBytes::ControlBytes(const uint8_t* data, size_t size, size_t count) {
    const size_t taken = std::min(size, count);
    control_.assign(data, data + taken);
    data_ = std::span<const uint8_t>(data + taken, size - taken);
}

size_t Cuts::next(size_t remaining) {
    const uint8_t code = codes_[turn_++ % 4];
    if (code == 0xFF) return remaining;
    const size_t length = 1 + static_cast<size_t>(code) * code / 16;
    return std::min(length, remaining);
}

MemoryFile::MemoryFile() {
    fd_ = ::memfd_create("morvale-fuzz", MFD_CLOEXEC);
    if (fd_ < 0) {
        std::perror("memfd_create");
        std::abort();
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemoryFile::~MemoryFile() {
    ::close(fd_);
}

void MemoryFile::assign(std::span<const uint8_t> bytes, uint64_t size) {
    size = std::max<uint64_t>(size, bytes.size());
    if (::ftruncate(fd_, 0) != 0 || ::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
        std::perror("ftruncate");
        std::abort();
    }
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t put =
            ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (put <= 0) {
            std::perror("pwrite");
            std::abort();
        }
        done += static_cast<size_t>(put);
    }
}

uint64_t MemoryFile::size() const {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

Bytes MemoryFile::read(uint64_t from, uint64_t to) const {
    Bytes bytes(to > from ? to - from : 0);
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t got =
            ::pread(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(from + done));
        if (got <= 0) {
            std::perror("pread");
            std::abort();
        }
        done += static_cast<size_t>(got);
    }
    return bytes;
}

}  // namespace morvale::fuzzing
