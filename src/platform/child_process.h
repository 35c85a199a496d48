// SPDX-License-Identifier: MIT
#pragma once

// Another program run as a child process (mkvmerge): its standard output and standard error
// read line by line as they come, a stop on request, and how it ended.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvale {

// The program's path when `name` names an executable file on PATH (or is a path with a
// slash to one).
std::optional<std::string> findProgram(const std::string& name);

struct ChildOutcome {
    bool started = false;    // false: the program could not be run (startError says why)
    std::string startError;  // the system's reason
    bool stopped = false;    // stopped on request
    int exitStatus = -1;     // its exit status when it exited
    int signal = 0;          // the signal that ended it, when one did
};

// How it ended, in words for a message: "exit status 2", "stopped by signal 11
// (Segmentation fault)", "could not be started: No such file or directory". After a stop
// on request " after a stop on request" follows ("stopped by signal 15 (Terminated) after a
// stop on request"). The signal's description is the system's, in English whatever the locale.
std::string describeChildEnd(const ChildOutcome& outcome);

// The longest line handed to onLine: a longer one (a child that prints without line ends)
// comes in pieces of this many bytes, so what is kept of the output stays this small.
inline constexpr size_t kMaxChildLineBytes = 64 * 1024;

struct ChildCallbacks {
    // The child's working folder; empty: this program's.
    std::string workingFolder;
    // Each line of its output (standard output and standard error, in the order they
    // arrive), without the line end; empty lines are left out. Carriage returns also end a
    // line; a line longer than kMaxChildLineBytes comes in pieces of that length.
    std::function<void(std::string_view line)> onLine;
    // Called at least every `tickMilliseconds` until the child has been waited for, also
    // while it runs with its output closed and while it is being stopped; returning true
    // stops it (what it is asked after a stop has begun is not heeded). This is where the
    // caller sees Cancel and the stop signals (StopSignals::received).
    std::function<bool()> onTick;
    int tickMilliseconds = 100;
    // How long a stopped child has between SIGTERM and SIGKILL.
    int killGraceMilliseconds = 5000;
};

// Runs `program` (a path) with `arguments` (without the program name) until it has ended
// and its output has closed, and waits for it. It runs in a process group of its own, so
// a terminal's Ctrl+C (SIGINT to the terminal's foreground group) reaches only this program,
// whose onTick then stops the child; on Linux it is killed when this program dies (see
// child_spawn.h). Its standard input reads nothing.
//
// A stop sends SIGTERM to the child's whole group (the child and whatever it started that
// stayed in its group) and, when the child is still there `killGraceMilliseconds` later,
// SIGKILL; lines that come after the stop are not handed on. A child that ended while
// something it started still holds its output open is waited for until that closes too, or
// until a stop has sent SIGKILL.
//
// Call it from a thread that lives until it returns (the child's parent-death signal comes
// when the thread that started it ends), as every caller does by waiting for it.
ChildOutcome runChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                             const ChildCallbacks& callbacks);

}  // namespace morvale
