// SPDX-License-Identifier: MIT
#pragma once

#include "commands/command_host.h"
#include "commands/command_settings.h"
#include "commands/session.h"

namespace morvale {

// "Rebuild": writes <output base>.rebuilt.EVO keeping only the chosen streams of the last
// scan, renumbered, over both parts of a split feature. True when it ended with "Done.".
bool rebuildFeature(Session& session, const CommandSettings& settings, CommandHost& host);

}  // namespace morvale
