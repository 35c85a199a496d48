#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>

namespace morvale {

// The system calls through which the file layer moves its bytes and learns a source's size:
// SourceFile's reads and size queries and OutputFile's writes. The program links the plain
// calls (file_system_calls.cpp); a test or benchmark program links definitions of its own in
// their place (a disk that fails at a chosen byte, a disk of a chosen speed), so the program
// itself carries no such hooks.
ssize_t sourcePread(int fd, void* buffer, size_t n, off_t offset);
int sourceFstat(int fd, struct stat* status);
ssize_t outputWrite(int fd, const void* data, size_t n);

}  // namespace morvale
