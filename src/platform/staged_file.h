// SPDX-License-Identifier: MIT
#pragma once

// A file made whole at its place or not at all (the Matroska file): written under a temporary
// name in the folder of its place, and renamed into place only at the end, when the caller
// says so.

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace morvale {

// A temporary file beside `target`, for a file that must appear whole or not at all. Write
// it at path() (OutputFile::create(path()), or hand path() to a child program as its output),
// then commit(): until then nothing at the target is touched, and a StagedFile that goes
// without a commit (a failure, a cancel, an exception) removes its temporary file.
//
// The temporary file lies in the target's folder, so the rename is one step on one file
// system; its name is hidden and says whose it is: "." + the target's name without its
// extension + ".morvale-" + six random letters and digits + the extension, e.g.
// ".FEATURE_1.morvale-x3Kq9Z.mkv" (the stem is cut to keep the name within 255 bytes).
class StagedFile {
  public:
    enum class Replace {
        Never,    // the commit fails when anything stands at the target (a dangling link too)
        Existing  // the commit replaces a file or link at the target (a link itself, not
                  // what it leads to); never a folder
    };

    StagedFile() = default;
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile();  // discard() unless committed

    // Makes the empty temporary file (permissions as for any new file). Throws
    // FileError("Cannot create file "<target>". <reason>") when it cannot be made.
    static StagedFile create(const std::string& target);
    // The same with the temporary file in `folder`, which must lie on the target's file
    // system (a run's own work folder, so that what a killed run left goes with it).
    static StagedFile create(const std::string& target, const std::string& folder);

    const std::string& path() const { return path_; }
    const std::string& target() const { return target_; }
    bool committed() const { return committed_; }

    // Renames the temporary file to the target in one step. Without replacing, this is
    // renameat2(RENAME_NOREPLACE); where the file system lacks it, a hard link of the
    // temporary file at the target (which fails as well when the target is taken) and then
    // the temporary name's removal; where it has no hard links either, an empty file made at
    // the target with O_EXCL and then replaced by the rename (only a program that removes or
    // replaces that just-made empty file meanwhile could lose its file). Throws
    // FileError("Cannot create file "<target>". <reason>") ("File exists" when the target is
    // taken; also when the temporary name no longer leads to a file of its own, as when
    // something replaced it by a link); the temporary file then stays until discarded.
    void commit(Replace replace);
    // Removes the temporary file (unless committed; path() is empty after it); never throws.
    void discard() noexcept;

  private:
    std::string path_;
    std::string target_;
    bool committed_ = false;
};

// The file at `path` is really there: a regular file (links followed), not empty, beginning
// with `magic` ("is the Matroska file there" after its maker said it ended well).
bool fileBeginsWith(const std::string& path, std::span<const uint8_t> magic);

// The EBML magic that begins every Matroska file.
inline constexpr std::array<uint8_t, 4> kMatroskaMagic = {0x1A, 0x45, 0xDF, 0xA3};

}  // namespace morvale
