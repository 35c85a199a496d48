// SPDX-License-Identifier: MIT
#include "support/small_file_system.h"

#include <sys/mount.h>
#include <sys/stat.h>

namespace morvale::testing {

SmallFileSystem::SmallFileSystem(const std::string& folder, uint64_t bytes) : path_(folder) {
    if (path_.empty() || path_.back() != '/') path_ += '/';
    ::mkdir(folder.c_str(), 0777);
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
    mounted_ =
        ::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
}

SmallFileSystem::~SmallFileSystem() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
}

}  // namespace morvale::testing
