// SPDX-License-Identifier: MIT
#pragma once

// What the engine's calls leave in the fuzz targets (tests/support's ledger), and invariants
// of it that hold after any call of demux, whatever the input.

#include <cstdint>

#include "support/engine_ledger.h"

namespace morvale::fuzzing {

using testing::EngineLedger;

// Puts a ledger back as the program starts with it.
void resetEngineState(EngineLedger& state);

// Every entry of the identifier tables is -1 or an identifier that the slot mapping gives to
// exactly that kind and slot; video entries beyond slot 1 stay -1.
void checkIdentifierTables(const EngineLedger& state);

// Frame counts are never negative, and never more than one picture per two bytes read
// (01 and the code byte at the start of a piece are the shortest count).
void checkFrameCounts(const EngineLedger& state, uint64_t bytesRead);

}  // namespace morvale::fuzzing
