// SPDX-License-Identifier: MIT
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>

namespace morvale {

// The system calls through which the file layer moves its bytes and learns a source's size:
// SourceFile's reads and size queries and OutputFile's writes; and those with which a staged
// file takes its place without replacing one there, which not every file system has. The
// program links the plain calls (file_system_calls.cpp, file_placement_calls.cpp); a test or
// benchmark program links definitions of its own in their place (a disk that fails at a
// chosen byte, a disk of a chosen speed, a file system without such renames), so the program
// itself carries no such hooks.
ssize_t sourcePread(int fd, void* buffer, size_t n, off_t offset);
int sourceFstat(int fd, struct stat* status);
ssize_t outputWrite(int fd, const void* data, size_t n);

// Defined apart from the calls above (file_placement_calls.cpp), so a program that puts its
// own reads and writes in place of the plain ones may keep the plain placement calls.
// renameat2(RENAME_NOREPLACE) of two paths; -1 with errno EINVAL where unsupported.
int renameNoReplace(const char* from, const char* to);
// link(2); -1 with errno EPERM where the file system has no hard links.
int hardLink(const char* from, const char* to);

}  // namespace morvale
