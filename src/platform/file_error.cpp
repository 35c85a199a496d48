// SPDX-License-Identifier: MIT
#include "platform/file_error.h"

#include <cerrno>
#include <cstring>

#include "platform/file.h"

namespace morvale {

std::string FileError::logLine() const {
    std::string line = what();
    if (!reason_.empty()) line += ": " + reason_;
    if (!path_.empty()) line += " (" + path_ + ")";
    return line;
}

std::string systemReason(int err) {
    // The exclusive open's lock is asked for without waiting; the system's words for a
    // refusal ("Resource temporarily unavailable") would not tell the user what to do.
    if (err == EWOULDBLOCK) return "another program has the file open exclusively";
    return std::strerror(err);
}

std::string cannotOpenMessage(const std::string& path, int err) {
    return "Cannot open file \"" + absolutePath(path) + "\". " + systemReason(err);
}

std::string cannotCreateMessage(const std::string& path, int err) {
    return "Cannot create file \"" + absolutePath(path) + "\". " + systemReason(err);
}

std::string outputIsInputMessage(const std::string& path) {
    return "Cannot create file \"" + absolutePath(path) + "\". It is one of the files being read.";
}

FileError streamReadError(const std::string& path, int err) {
    return streamReadError(path, std::strerror(err));
}

FileError streamReadError(const std::string& path, std::string_view reason) {
    return FileError(kStreamReadError, std::string(reason), path);
}

FileError streamWriteError(const std::string& path, int err) {
    return streamWriteError(path, std::strerror(err));
}

FileError streamWriteError(const std::string& path, std::string_view reason) {
    return FileError(kStreamWriteError, std::string(reason), path);
}

}  // namespace morvale
