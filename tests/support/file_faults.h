// SPDX-License-Identifier: MIT
#pragma once

// Faults the file layer shows on purpose, so tests can watch the commands meet a disk that
// fails in the middle of a file (a read error at a given byte, a disk that fills up after a
// given number of bytes, a size the system cannot tell) or a source that is still being
// written while it is read. A test program gets them by linking morvale_file_faults, whose
// definitions of the file layer's system calls take the place of the plain ones.

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
    // The file at pausePath seems to end at byte pauseAt once, as a file still being written
    // does: the read that would cross it delivers the bytes before it, the next one finds
    // nothing, and every read after that sees the whole file. -1: no pause.
    std::string pausePath = {};
    int64_t pauseAt = -1;
    // Asking the size of the file at sizePath fails with an I/O error once it has been told
    // sizeFailsAfter times. -1: no fault.
    std::string sizePath = {};
    int sizeFailsAfter = -1;
    // The file system knows no rename that refuses to replace (renameNoReplace fails with
    // EINVAL), and with noHardLinks no hard links either (hardLink fails with EPERM).
    bool noRenameNoReplace = false;
    bool noHardLinks = false;
};

// Puts `faults` in force (nullptr: none). The caller keeps them alive meanwhile. The files
// are matched by identity (the file the path names at the moment of each read or write).
void injectFileFaults(const FileFaults* faults);

}  // namespace morvale
