#pragma once

#include <stdexcept>
#include <string>

namespace morvale {

// A failing file operation. The message is the text shown to the user, complete:
// "Cannot open file "<path>". <reason>", "Cannot create file "<path>". <reason>",
// "Stream write error" or "Stream read error".
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string cannotOpenMessage(const std::string& path, int err);
std::string cannotCreateMessage(const std::string& path, int err);
inline constexpr const char* kStreamWriteError = "Stream write error";
inline constexpr const char* kStreamReadError = "Stream read error";

}  // namespace morvale
