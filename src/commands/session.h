#pragma once

#include <string>

#include "engine/engine_state.h"
#include "export/feature_scan_recorder.h"
#include "playlist/codec_tables.h"
#include "playlist/title_listing.h"

namespace morvale {

// The chosen source and playlist, derived from the two path edits.
struct Selection {
    std::string sourceFileName;  // the source's name without folder
    std::string sourceBaseName;  // without its last four characters: base of every output name
    std::string evoFolder;       // ends in a separator; the EVO dialog opens there
    std::string xplFolder;       // ends in a separator; the XPL dialog opens there
    std::string xplFileName;     // when non-empty, "Read XPL" is enabled
};

// The program-wide state the window (or morvale-cli) owns for the whole run and the
// commands work on.
struct Session {
    EngineState engine;
    Selection selection;
    XplCodecTables xplCodecs;
    // The tracks the last Read XPL listed.
    TrackMarkTables xplMarks;
    // When set, Read EVO hands it what the engine left after each part of the feature.
    FeatureScanRecorder* scanRecorder = nullptr;
    // The source the last completed Read EVO read (its path as the source field gave it),
    // empty when none did: the rebuild renumbers only what a scan of its source listed.
    std::string scannedSource;
    // A command is running: the others are locked out until it returns.
    bool running = false;
};

}  // namespace morvale
