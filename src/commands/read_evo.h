// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

#include "commands/command_host.h"
#include "commands/command_settings.h"
#include "commands/feature_files.h"
#include "commands/session.h"
#include "engine/part_scan.h"

namespace morvale {

// What a Read EVO found.
struct ReadEvoOutcome {
    bool completed = false;  // it ended with "Done."; false when a file error was shown
    std::vector<ScannedPart> parts;

    // The slot owners of the last part read: what the stream boxes list.
    SlotTable lastSlots() const { return parts.empty() ? SlotTable{} : parts.back().scan.slotTable; }
};

// "Read EVO": scans the source (and the second part of a split feature) for its streams,
// logs what it finds and the picture counts, and keeps in the session what later commands
// need (LastScan). Writes no file. A source that cannot be opened or read shows the file
// error.
ReadEvoOutcome readEvo(Session& session, const CommandSettings& settings, CommandHost& host);

}  // namespace morvale
