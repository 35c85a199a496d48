// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

namespace morvale::testing {

// A real file system of a few bytes (tmpfs of `bytes`) mounted on `folder` (made here) for as
// long as this lives, so a test can fill a disk for real. Mounting needs root; mounted() is
// false where it is not allowed, and the test skips then.
class SmallFileSystem {
  public:
    SmallFileSystem(const std::string& folder, uint64_t bytes);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool mounted() const { return mounted_; }
    // The folder, ending in "/".
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    bool mounted_ = false;
};

}  // namespace morvale::testing
