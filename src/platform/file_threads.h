// SPDX-License-Identifier: MIT
#pragma once

namespace morvale {

// How the file layer moves the bytes of the files opened from now on:
//   Background: a source is read ahead, and outputs are written behind, on threads of the
//               file layer's own (the default); the caller sees the same reads, writes and
//               failures as without them.
//   None:       every read and write happens in the calling thread, when it is asked for.
// The environment variable MORVALE_FILE_THREADS=0 makes None the default (any other value,
// or none, leaves Background). A file keeps the mode it was opened in.
enum class FileThreads { Background, None };

FileThreads fileThreads();
void setFileThreads(FileThreads mode);

}  // namespace morvale
