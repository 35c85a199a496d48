// SPDX-License-Identifier: MIT
// The plain placement calls of file_system_calls.h, in a file of their own: a program that
// links its own reads and writes (a throttled disk) still takes these from the library.

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include "platform/file_system_calls.h"

namespace morvale {

int renameNoReplace(const char* from, const char* to) {
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

int hardLink(const char* from, const char* to) {
    return ::link(from, to);
}

}  // namespace morvale
