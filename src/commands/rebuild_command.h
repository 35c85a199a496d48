#pragma once

#include "commands/form.h"
#include "commands/session.h"

namespace morvale {

// "Rebuild": writes <output base>.rebuilt.EVO keeping only the ticked streams of the last
// scan, renumbered, over both parts of a split feature.
void bRebuildClick(Session& session, Form& form);

}  // namespace morvale
