// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>

namespace morvale {

// Runs morvale-cli with its arguments; returns the exit status. The status panels are
// shown on `err` only when showStatus is set (stderr is a terminal).
int runCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           bool showStatus = false);

}  // namespace morvale
