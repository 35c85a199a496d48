#pragma once

// Fake child programs for the tests of the child-process runner, and processes of the tests'
// own: a function run in a forked process (its own parent, a killed parent, a process group
// of its own), and whether a process still runs.

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/child_process.h"

namespace morvale::testing {

// Shell scripts that behave as awkward children do.
namespace fake_child {
// Prints `bytes` x without a line end, then "\nend".
std::string printsWithoutLineEnds(long bytes);
// Closes its standard output and error, then runs for `seconds` (0: until it is killed).
std::string closesItsOutputAndRuns(double seconds);
// Ignores SIGTERM, closes its output and runs until it is killed.
inline constexpr const char* kIgnoresTermWithOutputClosed =
    "trap '' TERM; exec >&- 2>&-; while :; do sleep 0.05; done";
// Starts a grandchild that holds the output and runs until killed, prints its pid, and exits
// with status 0 (with `grandchildIgnoresTerm` the grandchild ignores SIGTERM and the child
// waits for it).
std::string leavesAGrandchild(bool grandchildIgnoresTerm);
// Starts a grandchild in a session of its own (out of reach of signals to the child's group)
// that holds the output, prints its pid, and waits for it.
inline constexpr const char* kLeavesAGrandchildOutOfReach =
    "setsid sh -c 'echo $$; exec sleep 30' & wait";
// Catches SIGINT (printing "interrupted" and exiting with status 7) and runs until stopped.
inline constexpr const char* kCatchesInterrupt =
    "trap 'echo interrupted; exit 7' INT; echo started; while :; do sleep 0.05; done";
// Dies by `signal` (no core file).
std::string diesBy(int signal);
}  // namespace fake_child

// A run of `sh -c script` through runChildProcess.
struct ScriptRun {
    ChildOutcome outcome;
    std::vector<std::string> lines;
    int ticks = 0;
    double seconds = 0;  // how long the run took
};
// Stops the child at the tick after `stopAfterTicks` ticks (-1: never), counted from when
// the first line arrived or, with `countFromStart`, from the start.
struct ScriptStop {
    int stopAfterTicks = -1;
    bool countFromStart = false;
    int killGraceMilliseconds = 5000;
};
ScriptRun runScript(const std::string& script, ScriptStop stop = {});

// Runs `body` in a forked process and returns its exit status (the body's result), or -1
// when it died by a signal or did not end within `timeoutMs` (it is killed then).
int exitStatusOfForked(const std::function<int()>& body, int timeoutMs = 20000);

// A process of the test's own that runs `setUp` and then waits, until it is killed (by
// kill() or when this goes): another run holding a lock, or one killed in the middle.
class ForkedHolder {
  public:
    explicit ForkedHolder(const std::function<bool()>& setUp);  // returns once setUp has
    ~ForkedHolder();
    ForkedHolder(const ForkedHolder&) = delete;
    ForkedHolder& operator=(const ForkedHolder&) = delete;

    // setUp returned true.
    bool ready() const { return ready_; }
    // SIGKILL, and waits for it to end.
    void kill();

  private:
    pid_t pid_ = -1;
    bool ready_ = false;
};

// The process no longer runs (it has ended, even if nobody has reaped it yet).
bool processGone(pid_t pid);
// Waits up to `timeoutMs` for processGone.
bool processEnds(pid_t pid, int timeoutMs);

}  // namespace morvale::testing
