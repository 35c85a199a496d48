// SPDX-License-Identifier: MIT
#pragma once

namespace morvale {

// How a running command is stopped: the user's Cancel (the button, closing the window, a stop
// signal) or the fast-check limit. The engine and the rebuild look at it at every block; the
// Cancel button asks first while the run writes files.
struct RunControl {
    bool cancelRequested = false;
    // The stop was the user's, not the fast-check limit: the command says so when it ends.
    bool cancelledByUser = false;
    // The running operation writes files, so Cancel asks first.
    bool confirmCancel = false;

    // A new run: nothing is requested yet.
    void start(bool writesFiles) {
        cancelRequested = cancelledByUser = false;
        confirmCancel = writesFiles;
    }
    // The user's stop: the running loop stops at its next block, and the command says why.
    void requestStopByUser() { cancelRequested = cancelledByUser = true; }
};

}  // namespace morvale
