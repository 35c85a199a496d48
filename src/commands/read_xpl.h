// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "commands/command_host.h"
#include "commands/command_settings.h"
#include "commands/session.h"
#include "playlist/title_listing.h"

namespace morvale {

// A node of the playlist tree.
struct XplTreeNode {
    std::string text;
    std::vector<XplTreeNode> children;
};

// The playlist tree's top items before a title is listed.
inline constexpr std::array<const char*, 4> kUnlistedXplTree = {"Video", "Audio", "Subpicture",
                                                                "Chapter"};

// What a Read XPL shows: the outline (what was read of it, also when reading failed), and,
// when a title plays the source, its tree and the tracks it announced (texts in UTF-8).
struct XplOutcome {
    bool completed = false;  // it ended with "Done."; false when a file error was shown
    // The outline memo's lines; nothing when the playlist could not even be opened (the memo
    // stays as it was).
    std::optional<std::vector<std::string>> outline;
    std::optional<std::vector<XplTreeNode>> tree;
    std::vector<ListedTrack> tracks;
};

// "Read XPL": reads the playlist into the outline, cuts it down to the title that plays the
// source, lists the title's name, duration, tracks and chapters for the tree and announces
// each track in the log. A playlist that cannot be opened or read shows the file error.
XplOutcome readXpl(Session& session, const CommandSettings& settings, CommandHost& host);

// The tree as text lines, each node indented by two blanks per level below the top.
std::vector<std::string> xplTreeLines(const std::vector<XplTreeNode>& topNodes);

}  // namespace morvale
