#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "commands/selection.h"
#include "engine/run_control.h"
#include "engine/slot_table.h"
#include "playlist/codec_tables.h"
#include "playlist/title_listing.h"

namespace morvale {

// What the last completed Read EVO found that later commands use.
struct LastScan {
    // The source it read (its path as given), empty when none did: the rebuild renumbers
    // only what a scan of its source listed.
    std::string source;
    // The slot owners of the last part it read: the streams Rebuild may drop and renumber.
    SlotTable slotTable;
    // The smallest first audio/video timestamp of the scan: the time base of the subpicture
    // records a Demux writes.
    uint32_t subpictureTimeBase = 0;
    // The frame size of the first video stream whose header gave one (0 x 0: none did):
    // the canvas of the subpictures a Demux converts.
    uint32_t videoWidth = 0;
    uint32_t videoHeight = 0;
    // The pictures it counted per video slot (none when it was stopped early).
    std::array<int32_t, kVideoSlots> pictures{};
};

// What the window (or morvale-cli) keeps for the whole run of the program and the commands
// work on.
struct Session {
    // How the running command is stopped: the Cancel button and stop signals request it.
    RunControl control;
    Selection selection;
    XplCodecTables xplCodecs;
    // The tracks the last Read XPL listed.
    TrackMarkTables xplMarks;
    LastScan lastScan;
    // A command is running: the others are locked out until it returns.
    bool running = false;
};

}  // namespace morvale
