// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "commands/selection.h"
#include "engine/run_control.h"
#include "export/disc_titles.h"
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
    // The bytes it read, and how many of them were the payload of a stream: what share of
    // a source its streams take, for the space a Make MKV needs.
    int64_t bytesRead = 0;
    int64_t payloadBytes = 0;
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
    // What Cancel asks while the running command writes files; empty: whether to stop
    // demuxing.
    std::string_view stopQuestion;
    // The disc's titles the last Read XPL listed.
    std::vector<DiscTitle> discTitles;
};

}  // namespace morvale
