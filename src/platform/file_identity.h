// SPDX-License-Identifier: MIT
#pragma once

// Which file a path names, so that an output never overwrites or empties a file being read:
// by device and inode, links followed, whatever names lead to it (a link or a hard link in
// the output folder, a folder reached two ways).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvale {

// What a path names itself: its last link is not followed (a link to nothing is a Link).
enum class PathKind { None, File, Folder, Link, Other };
PathKind pathKindOf(const std::string& path);
// Something stands at the path, a dangling link included: a file made there would meet it.
bool pathTaken(const std::string& path);

// The file a path leads to (links followed).
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};
// nullopt when the path leads to nothing (or cannot be looked at).
std::optional<FileIdentity> fileIdentityOf(const std::string& path);
// Both paths lead to one existing file.
bool sameFile(const std::string& a, const std::string& b);

// The first of `inputs` that creating or emptying `output` would touch, or nullopt:
// - an output that leads to an existing file clashes with each input that leads to the same
//   file (the same path, a link to it, a hard link of it);
// - an output that does not exist clashes with nothing;
// - an output that is a link to nothing (creating it would make the file where the links end)
//   clashes with an input that does not exist either and would be made at that same place.
// Ask it right before the outputs are created: it tells how the files stand now.
std::optional<std::string> clashingInput(const std::string& output,
                                         const std::vector<std::string>& inputs);
// Throws FileError(outputIsInputMessage(output)) for the first of `outputs` that clashes
// with one of `inputs` (as clashingInput tells): before any of them is created, so nothing
// is touched.
void refuseOutputsOverInputs(const std::vector<std::string>& outputs,
                             const std::vector<std::string>& inputs);

// The folder a file at `path` is made in, as the system splits paths (at the last '/', after
// trailing ones are dropped, as dirname does): "out/a.mkv" -> "out", "/a.mkv" -> "/",
// "a.mkv" -> ".", "out/sub/" -> "out".
std::string outputFolderOf(const std::string& path);

}  // namespace morvale
