// SPDX-License-Identifier: MIT
#pragma once

namespace morvale {

// SIGINT and SIGTERM during a run: the first one asks the running command to stop at its
// next progress point, as Cancel does; a second one ends the program the default way.
// The previous handlers come back when this goes.
class StopSignals {
  public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // A stop signal arrived since this was installed.
    static bool received();
};

}  // namespace morvale
