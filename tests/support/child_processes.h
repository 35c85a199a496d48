// SPDX-License-Identifier: MIT
#pragma once

// Fake child programs for the tests of the child-process runner, and processes of the tests'
// own: a function run in a forked process, a forked process holding something until killed,
// and whether a process has ended.

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/child_process.h"

namespace morvale::testing {

// Shell scripts that behave as awkward children do. "Holds the output": keeps the runner's
// pipe open. A grandchild's pid, where there is one, is the first line.
namespace fake_child {
std::string printsWithoutLineEnds(long bytes);  // `bytes` x, then "\nend"
std::string diesBy(int signal);                 // without a core file
inline constexpr const char* kClosesItsOutputAndEnds = "exec >&- 2>&-; exec sleep 0.4";
inline constexpr const char* kClosesItsOutputAndRunsOn =
    "exec >&- 2>&-; while :; do sleep 0.05; done";
inline constexpr const char* kIgnoresTermWithOutputClosed =
    "trap '' TERM; exec >&- 2>&-; while :; do sleep 0.05; done";
// Exits at once with status 0, its grandchild holding the output.
inline constexpr const char* kLeavesAGrandchild = "sleep 30 & echo $!; exit 0";
// Waits for a grandchild that ignores SIGTERM and holds the output.
inline constexpr const char* kWaitsForAGrandchildIgnoringTerm =
    "sh -c 'trap \"\" TERM; echo $$; while :; do sleep 0.05; done' & wait";
// Waits for a grandchild in a session of its own (out of the child's group's reach).
inline constexpr const char* kWaitsForAGrandchildOutOfReach =
    "setsid sh -c 'echo $$; exec sleep 30' & wait";
// Prints "started", then runs until stopped; SIGINT makes it print "interrupted", exit 7.
inline constexpr const char* kCatchesInterrupt =
    "trap 'echo interrupted; exit 7' INT; echo started; while :; do sleep 0.05; done";
}  // namespace fake_child

// A run of `sh -c script` through runChildProcess, ticking every 20 ms.
struct ScriptRun {
    ChildOutcome outcome;
    std::vector<std::string> lines;
    int ticks = 0;
    double seconds = 0;  // how long the run took
};
// Stops the child at the tick after `stopAfterTicks` ticks (-1: never), counted from the
// first line on or, with `countFromStart`, from the start.
struct ScriptStop {
    int stopAfterTicks = -1;
    bool countFromStart = false;
    int killGraceMilliseconds = 5000;
};
ScriptRun runScript(const std::string& script, ScriptStop stop = {});

// Runs `body` in a forked process and returns its exit status (the body's result), or -1
// when it died by a signal or did not end within `timeoutMs` (it is killed then).
int exitStatusOfForked(const std::function<int()>& body, int timeoutMs = 20000);

// A forked process that runs `setUp` and then waits until it is killed (by kill() or when
// this goes): another run holding a lock, or one killed in the middle of its work.
class ForkedHolder {
  public:
    explicit ForkedHolder(const std::function<bool()>& setUp);  // returns once setUp has
    ~ForkedHolder() { kill(); }
    ForkedHolder(const ForkedHolder&) = delete;
    ForkedHolder& operator=(const ForkedHolder&) = delete;

    bool ready() const { return ready_; }  // setUp returned true
    void kill();                           // SIGKILL, and waits for it to end

  private:
    pid_t pid_ = -1;
    bool ready_ = false;
};

// Waits up to `timeoutMs` until the process has ended (reaped or not).
bool processEnds(pid_t pid, int timeoutMs);

}  // namespace morvale::testing
