#pragma once

#include <array>
#include <cstdint>

#include "engine/engine_host.h"
#include "engine/engine_state.h"
#include "engine/pack_layout.h"
#include "platform/file.h"

namespace morvale {

// How a rebuild renumbers the streams it keeps. It lives for one click of "Rebuild" and
// carries over from the first part of a feature into the second.
struct RebuildNumbering {
    RebuildNumbering() { reset(); }
    void reset();

    static constexpr uint8_t kUnassigned = 0xFF;
    std::array<uint8_t, 256> streamIdMap;  // old id byte -> new id byte
    uint8_t keptVideoCount = 0;
    uint8_t keptAudioCount = 0;
    uint8_t keptSubpictureCount = 0;
};

// Copies the source from its position to its end into the output, 2,048-byte pack by pack:
// a pack that does not begin with a pack start code, or whose first packet belongs to an
// unticked stream of the last scan, is left out; system headers get the ticked stream
// counts as their bounds; the kept streams are renumbered per kind in order of first
// appearance. Returns at the end of the source or when a cancel is requested. Throws
// FileError on a failed read or write.
void Rebuild(EngineState& state, EngineHost& host, SourceFile& source, OutputFile& output,
             RebuildNumbering& numbering);

// Applies the rules to one pack in place; returns whether it is kept. Only packs that begin
// with 00 00 01 BA can be kept. Exposed for the fuzz target and the tests.
bool rebuildPack(uint8_t* pack, const EngineState& state, const EngineHost& ticks,
                 RebuildNumbering& numbering);

}  // namespace morvale
