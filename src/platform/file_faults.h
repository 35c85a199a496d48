#pragma once

// Test support: faults the file layer shows on purpose, so tests can watch the commands meet a
// disk that fails in the middle of a file (a read error at a given byte, a disk that fills up
// after a given number of bytes). Nothing in the program sets them; while none is set, the
// file layer pays one test of a pointer per system call. Single-threaded, like the program.

#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace morvale {

struct FileFaults {
    // Reading the file at readPath fails with an I/O error from byte readFailsAt on: a read
    // that would cross it delivers the bytes before it, the next one fails. -1: no fault.
    std::string readPath = {};
    int64_t readFailsAt = -1;
    // Writing the file at writePath fails as on a full disk once it holds writeLimit bytes:
    // the bytes below the limit are written, the next write fails. -1: no fault.
    std::string writePath = {};
    int64_t writeLimit = -1;
};

// Puts `faults` in force (nullptr: none). The caller keeps them alive meanwhile. The files
// are matched by identity (the file the path names at the moment of each read or write).
void injectFileFaults(const FileFaults* faults);

namespace file_faults_detail {

extern const FileFaults* active;
ssize_t faultedPread(int fd, void* buffer, size_t n, off_t offset);
ssize_t faultedWrite(int fd, const void* data, size_t n);

}  // namespace file_faults_detail

// The system calls of SourceFile::read and OutputFile's writes, with the faults in force.
inline ssize_t preadWithFaults(int fd, void* buffer, size_t n, off_t offset) {
    if (file_faults_detail::active != nullptr) [[unlikely]]
        return file_faults_detail::faultedPread(fd, buffer, n, offset);
    return ::pread(fd, buffer, n, offset);
}

inline ssize_t writeWithFaults(int fd, const void* data, size_t n) {
    if (file_faults_detail::active != nullptr) [[unlikely]]
        return file_faults_detail::faultedWrite(fd, data, n);
    return ::write(fd, data, n);
}

}  // namespace morvale
