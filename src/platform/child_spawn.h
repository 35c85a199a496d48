// SPDX-License-Identifier: MIT
#pragma once

// Starting a child process (see runChildProcess in child_process.h).

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace morvale {

// Runs `program` (a path) with `arguments` (without the program name) as a child of the
// calling thread:
// - in a process group of its own (whose id is its pid), so a terminal's Ctrl+C reaches only
//   this program, which stops the child itself, and a stop can signal what the child started;
// - on Linux with SIGKILL as its parent-death signal, so it never outlives this program when
//   that is killed (the signal comes when the calling thread ends: the caller waits for the
//   child in that thread);
// - its standard input reading nothing (/dev/null), its standard output and standard error
//   going to `outputFd`, no signal blocked, and SIGHUP, SIGINT, SIGQUIT, SIGPIPE and SIGTERM
//   at their default actions whatever this program does with them.
// - in `folder` as its working folder, when one is given.
// Returns once the program runs, or nullopt with the system's reason in `error` when it
// could not be run (nothing is left running then).
std::optional<pid_t> spawnChild(const std::string& program,
                                const std::vector<std::string>& arguments, int outputFd,
                                std::string& error, const std::string& folder = {});

}  // namespace morvale
