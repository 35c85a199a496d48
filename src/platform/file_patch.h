// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace morvale {

// Overwrites bytes of a closed file in place (a header completed once its file is written).
// Throws FileError("Cannot open file ...") when the file cannot be opened for writing and
// FileError("Stream write error") when the write fails or falls short.
void overwriteFileAt(const std::string& path, int64_t offset, std::span<const uint8_t> bytes);

}  // namespace morvale
