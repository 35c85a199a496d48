// SPDX-License-Identifier: MIT
#pragma once

// Scopes that make files fail for the tests of the commands' failure endings: faults of the
// file layer at a chosen byte, and permission bits that hold even for root.

#include <string>
#include <utility>

#include "platform/file_threads.h"
#include "support/file_faults.h"

namespace morvale::testing {

// Puts faults of the file layer in force for as long as it lives.
class InjectedFileFaults {
  public:
    explicit InjectedFileFaults(FileFaults faults) : faults_(std::move(faults)) {
        injectFileFaults(&faults_);
    }
    ~InjectedFileFaults() { injectFileFaults(nullptr); }
    InjectedFileFaults(const InjectedFileFaults&) = delete;
    InjectedFileFaults& operator=(const InjectedFileFaults&) = delete;

  private:
    FileFaults faults_;
};

// The file layer works with or without its threads for as long as it lives.
class FileThreadsMode {
  public:
    explicit FileThreadsMode(FileThreads mode) : previous_(fileThreads()) { setFileThreads(mode); }
    ~FileThreadsMode() { setFileThreads(previous_); }
    FileThreadsMode(const FileThreadsMode&) = delete;
    FileThreadsMode& operator=(const FileThreadsMode&) = delete;

  private:
    FileThreads previous_;
};

// Permission bits refuse opens for as long as it lives. Root passes every permission check
// (tests run as root in CI), so for root this thread's file-system user becomes "nobody"
// meanwhile: the folders it must reach have to be open to everyone (openToEveryone).
// active() is false when the switch was refused; the caller then skips.
class PermissionsApply {
  public:
    PermissionsApply();
    ~PermissionsApply();
    PermissionsApply(const PermissionsApply&) = delete;
    PermissionsApply& operator=(const PermissionsApply&) = delete;

    bool active() const { return active_; }

  private:
    bool active_ = false;
    int previousUser_ = -1;
};

// chmod 0777: a temporary folder (created 0700) becomes reachable and writable by "nobody".
void openToEveryone(const std::string& path);

// A file another program holds locked, for as long as this lives.
class HeldFile {
  public:
    explicit HeldFile(const std::string& path);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    // The lock was taken.
    bool held() const { return held_; }

  private:
    int fd_;
    bool held_;
};

// A file a command has closed can be locked exclusively again (a folder or nothing in its
// place holds nothing open).
bool closedAgain(const std::string& path);

}  // namespace morvale::testing
