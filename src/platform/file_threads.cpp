// SPDX-License-Identifier: MIT
#include "platform/file_threads.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace morvale {

namespace {

FileThreads fromEnvironment() {
    const char* value = std::getenv("MORVALE_FILE_THREADS");
    return value != nullptr && std::strcmp(value, "0") == 0 ? FileThreads::None
                                                            : FileThreads::Background;
}

std::atomic<FileThreads>& mode() {
    static std::atomic<FileThreads> current{fromEnvironment()};
    return current;
}

}  // namespace

FileThreads fileThreads() {
    return mode().load(std::memory_order_relaxed);
}

void setFileThreads(FileThreads threads) {
    mode().store(threads, std::memory_order_relaxed);
}

}  // namespace morvale
