#pragma once

#include <string>
#include <vector>

#include "commands/form.h"
#include "commands/session.h"

namespace morvale {

// "Read XPL": reads the playlist named in eXPLfile into the outline memo, cuts it down to the
// title that plays the source, fills the playlist tree with the title's name, duration,
// tracks and chapters, announces each track in the log and ticks, captions (and for audio
// and subtitles hints) its stream box. A playlist that cannot be opened shows the file error
// and leaves the boxes emptied, the playlist page shown, the memo as it was and Read XPL
// disabled.
void bReadXPLClick(Session& session, Form& form);

// The tree as text lines, each node indented by two blanks per level below the top.
std::vector<std::string> xplTreeLines(const std::vector<XplTreeNode>& topNodes);

}  // namespace morvale
