// SPDX-License-Identifier: MIT
#pragma once

// A folder that is one run's own (the Matroska command's work folder, "<output>.work/"):
// made and marked as this program's, locked while the run lives, removed with what is in it
// at the end. A folder this program did not make is never emptied or removed.

#include <optional>
#include <string>

namespace morvale {

struct WorkFolderClaim;

// A claimed work folder. The folder holds a marker file, ".morvale-work", that says it is this
// program's, and the run holds an exclusive flock on the marker for as long as this lives (a
// killed run's lock goes with it). The folder is flat: the run puts files in it, no folders.
class WorkFolder {
  public:
    // The name of the marker file in a work folder.
    static constexpr const char* kMarkerName = ".morvale-work";

    // Claims the folder at `path` (with or without a trailing "/"):
    // - nothing there: the folders above it are made as needed, then it is made, marked and
    //   locked; it appears already marked and locked, so no other run ever sees it otherwise;
    // - a folder marked as this program's whose lock is free (left by a killed run): it is
    //   emptied (its files and links; a folder in it makes the claim fail and nothing is
    //   removed) and removed, then made anew; leftOverRemoved tells the caller to say so;
    // - a marked folder locked by a live run: refused, "in use by another Morvale run";
    // - a folder without the marker (one this program did not make): refused and left as it
    //   is, "exists and was not made by Morvale"; a file or a link in its place: refused,
    //   "is not a folder".
    // The marker is removed last whenever a work folder goes, so a run that dies at any step
    // leaves a folder that is still marked (or none): user files are never removed.
    static WorkFolderClaim claim(const std::string& path);

    WorkFolder(WorkFolder&& other) noexcept;
    WorkFolder& operator=(WorkFolder&& other) noexcept;
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    ~WorkFolder();  // release()

    // The folder, ending in "/".
    const std::string& path() const { return path_; }

    // Removes the files and links in the folder (never what a link leads to), then the
    // marker, then the folder, and lets the lock go. When something else is in it (a folder
    // put there meanwhile), that and the marker stay, and it returns false. Once released,
    // later calls do nothing and return true.
    bool release() noexcept;
    // Leaves the folder with what is in it to the user: the marker goes and the lock with it,
    // so a later claim refuses the folder instead of emptying it.
    void keep() noexcept;

  private:
    WorkFolder(std::string path, int lock) : path_(std::move(path)), lock_(lock) {}
    friend struct WorkFolderMaker;

    std::string path_;
    int lock_ = -1;  // the open marker; -1 once released or kept
};

struct WorkFolderClaim {
    std::optional<WorkFolder> folder;  // the claimed folder; empty when refused
    bool leftOverRemoved = false;      // a folder a killed run left was emptied and made anew
    std::string refusal;               // why it was refused ("in use by another Morvale run")
};

}  // namespace morvale
