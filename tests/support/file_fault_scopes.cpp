// SPDX-License-Identifier: MIT
#include "support/file_fault_scopes.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

#include "platform/file.h"

namespace morvale::testing {

namespace {

constexpr uid_t kNobody = 65534;

}  // namespace

PermissionsApply::PermissionsApply() {
    if (::geteuid() != 0) {
        active_ = true;
        return;
    }
    previousUser_ = ::setfsuid(kNobody);
    // setfsuid tells nothing of failure: ask again, which returns the user now in force.
    active_ = ::setfsuid(kNobody) == static_cast<int>(kNobody);
}

PermissionsApply::~PermissionsApply() {
    if (previousUser_ >= 0) ::setfsuid(static_cast<uid_t>(previousUser_));
}

void openToEveryone(const std::string& path) {
    if (::chmod(path.c_str(), 0777) != 0) throw std::runtime_error("cannot chmod " + path);
}

HeldFile::HeldFile(const std::string& path)
    : fd_(::open(path.c_str(), O_RDONLY)), held_(fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0) {}

HeldFile::~HeldFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool closedAgain(const std::string& path) {
    if (!fileExists(path)) return true;
    try {
        SourceFile file = SourceFile::open(path, ShareMode::Exclusive);
        return true;
    } catch (const FileError&) {
        return false;
    }
}

}  // namespace morvale::testing
