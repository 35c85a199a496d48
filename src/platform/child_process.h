#pragma once

// Another program run as a child process (mkvmerge): its standard output and standard error
// read line by line as they come, a stop on request, and how it ended.

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

struct ChildCallbacks {
    // Each line of its output (standard output and standard error, in the order they
    // arrive), without the line end. Carriage returns also end a line.
    std::function<void(std::string_view line)> onLine;
    // Called at least every `tickMilliseconds` while it runs; returning true stops it.
    std::function<bool()> onTick;
    int tickMilliseconds = 100;
};

// Runs `program` (a path) with `arguments` (without the program name), its standard input
// reading nothing, until it ends. A stop sends SIGTERM and, when the child is still there a
// few seconds later, SIGKILL; the child is always waited for.
ChildOutcome runChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                             const ChildCallbacks& callbacks);

}  // namespace morvale
