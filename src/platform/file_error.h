// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace morvale {

// A failing file operation. The message is the text shown to the user, complete:
// "Cannot open file "<path>". <reason>", "Cannot create file "<path>". <reason>",
// "Stream write error" or "Stream read error".
//
// A failing read or write also carries why it failed and of which file, for the message
// log: logLine() is then "Stream write error: No space left on device (out/FEATURE_1.mpv)"
// (the path as the file was opened with). The window's box and stderr keep what().
class FileError : public std::runtime_error {
  public:
    // An error whose message says it all: logLine() is the message.
    explicit FileError(const std::string& message) : std::runtime_error(message) {}
    explicit FileError(const char* message) : std::runtime_error(message) {}
    // An error of the file at `path` (may be empty) for `reason` (may be empty).
    FileError(const std::string& message, std::string reason, std::string path)
        : std::runtime_error(message), reason_(std::move(reason)), path_(std::move(path)) {}

    // Why it failed ("No space left on device", "the file became shorter while it was
    // read"); empty when the message tells it or nothing more is known.
    const std::string& reason() const { return reason_; }
    // The file it happened to; empty when not known.
    const std::string& path() const { return path_; }
    // The message, then ": <reason>" when there is one, then " (<path>)" when known.
    std::string logLine() const;

  private:
    std::string reason_;
    std::string path_;
};

// The system's reason for errno `err`, as the messages show it: strerror's text, except that
// a lock another program holds (EWOULDBLOCK from the non-blocking exclusive lock) reads
// "another program has the file open exclusively".
std::string systemReason(int err);

std::string cannotOpenMessage(const std::string& path, int err);
std::string cannotCreateMessage(const std::string& path, int err);
// "Cannot create file "<path>". It is one of the files being read.": an output that would
// overwrite or empty an input.
std::string outputIsInputMessage(const std::string& path);
inline constexpr const char* kStreamWriteError = "Stream write error";
inline constexpr const char* kStreamReadError = "Stream read error";

// "Stream read error" / "Stream write error" of the file at `path`, for errno `err` (its
// strerror text) or for a reason in words.
FileError streamReadError(const std::string& path, int err);
FileError streamReadError(const std::string& path, std::string_view reason);
FileError streamWriteError(const std::string& path, int err);
FileError streamWriteError(const std::string& path, std::string_view reason);

}  // namespace morvale
