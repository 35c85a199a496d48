// SPDX-License-Identifier: MIT
#pragma once

// Runs the real morvale-cli as a child process: its stdout lines, its stderr, its exit
// status (128 + n when a signal n ended it) and its peak resident memory.

#include <string>
#include <vector>

namespace morvale::testing {

struct CliResult {
    int status = -1;
    std::vector<std::string> out;  // stdout, line by line
    std::string err;
    long peakKiB = 0;  // resident memory at its highest
};

// Runs morvale-cli with `args` in the folder `cwd` (the test's own when empty).
CliResult runCliProcess(const std::vector<std::string>& args, const std::string& cwd = "");

// Starts morvale-cli, waits for a stdout line beginning with `waitFor`, sends `signal` and
// collects the rest.
CliResult runCliAndSignal(const std::vector<std::string>& args, const std::string& waitFor,
                          int signal);

}  // namespace morvale::testing
