#pragma once

#include <array>
#include <optional>
#include <string>

#include "engine/engine_state.h"
#include "playlist/codec_tables.h"

namespace morvale {

// The chosen source and playlist, derived from the two path edits.
struct Selection {
    std::string sourceFileName;  // the source's name without folder
    std::string sourceBaseName;  // without its last four characters: base of every output name
    std::string evoFolder;       // ends in a separator; the EVO dialog opens there
    std::string xplFolder;       // ends in a separator; the XPL dialog opens there
    std::string xplFileName;     // when non-empty, "Read XPL" is enabled
};

// The identifier tables as the last completed Read EVO left them. Read XPL reuses the
// engine's tables as marks of the tracks it lists, so the rebuild, which keeps or drops
// streams by what the scan found, takes them from here.
struct ScannedStreams {
    std::array<int32_t, 16> videoStreamIds;
    std::array<int32_t, kAudioSlots> audioStreamIds;
    std::array<int32_t, kSubpictureSlots> subpictureStreamIds;

    static ScannedStreams of(const EngineState& engine) {
        return {engine.videoStreamIds, engine.audioStreamIds, engine.subpictureStreamIds};
    }
    void restoreInto(EngineState& engine) const {
        engine.videoStreamIds = videoStreamIds;
        engine.audioStreamIds = audioStreamIds;
        engine.subpictureStreamIds = subpictureStreamIds;
    }
};

// The program-wide state the window (or morvale-cli) owns for the whole run and the
// commands work on.
struct Session {
    EngineState engine;
    Selection selection;
    XplCodecTables xplCodecs;
    // Empty until a Read EVO has completed.
    std::optional<ScannedStreams> lastScan;
    // A command is running: the others are locked out until it returns.
    bool running = false;
};

}  // namespace morvale
