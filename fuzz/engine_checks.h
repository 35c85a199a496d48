#pragma once

// The engine's program-wide state in the fuzz targets, and invariants of it that hold after
// any call of demux, whatever the input.

#include <cstdint>

#include "engine/engine_state.h"

namespace morvale::fuzzing {

// Puts a state back as the program starts with it, keeping its block buffer (allocating
// 256 KiB afresh for every input would dominate the run); the buffer's first pack is
// zeroed, as the rebuild may read it.
void resetEngineState(EngineState& state);

// Every entry of the identifier tables is -1 or an identifier that the slot mapping gives to
// exactly that kind and slot; video entries beyond slot 1 stay -1.
void checkIdentifierTables(const EngineState& state);

// Frame counts are never negative, and never more than one picture per two bytes read
// (01 and the code byte at the start of a piece are the shortest count).
void checkFrameCounts(const EngineState& state, uint64_t bytesRead);

}  // namespace morvale::fuzzing
