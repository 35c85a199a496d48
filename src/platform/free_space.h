// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace morvale {

// The bytes a program without privileges may still write on the file system that holds
// `folder` (statvfs: the blocks free for unprivileged users times the fragment size), for a
// check before a run writes many GiB. A folder that does not exist yet is asked of the
// nearest folder above it that does, where it would be made ("" and relative paths count
// from the current folder). nullopt when the system cannot tell (the reason is then errno's).
std::optional<uint64_t> freeBytesFor(const std::string& folder);

}  // namespace morvale
