#pragma once

#include "commands/form.h"
#include "commands/session.h"

namespace morvale {

// "Read EVO": scans the source (and the second part of a split feature) for its streams,
// turns them into enabled, ticked and captioned stream boxes and logs the picture counts.
// Writes no file. A source that cannot be opened or read shows the file error and leaves
// the boxes empty and Read EVO, Demux and Rebuild disabled.
void bCheckClick(Session& session, Form& form);

}  // namespace morvale
