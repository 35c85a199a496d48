// SPDX-License-Identifier: MIT
#include "platform/stop_signals.h"

#include <csignal>

namespace morvale {

namespace {

volatile std::sig_atomic_t stopSignal = 0;
struct sigaction previousInt {};
struct sigaction previousTerm {};

void onStopSignal(int signal) {
    stopSignal = signal;
}

}  // namespace

StopSignals::StopSignals() {
    stopSignal = 0;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;  // a second signal is not caught
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
}

StopSignals::~StopSignals() {
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
}

bool StopSignals::received() {
    return stopSignal != 0;
}

}  // namespace morvale
