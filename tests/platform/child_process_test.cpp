// SPDX-License-Identifier: MIT
#include "platform/child_process.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>

#include "platform/stop_signals.h"
#include "support/child_processes.h"

namespace morvale {
namespace {

struct ShellRun {
    ChildOutcome outcome;
    std::vector<std::string> lines;
};

ShellRun runShell(const std::string& script, int stopAfterLines = -1) {
    ShellRun run;
    ChildCallbacks callbacks;
    callbacks.onLine = [&](std::string_view line) { run.lines.emplace_back(line); };
    callbacks.onTick = [&] {
        return stopAfterLines >= 0 && run.lines.size() >= size_t(stopAfterLines);
    };
    callbacks.tickMilliseconds = 20;
    run.outcome = runChildProcess(*findProgram("sh"), {"-c", script}, callbacks);
    return run;
}

TEST(ChildProcessTest, ReadsOutputLineByLineAndTheExitStatus) {
    struct Case {
        const char* script;
        std::vector<std::string> lines;
        int status;
    };
    const Case cases[] = {
        {"printf 'one\\ntwo'; exit 3", {"one", "two"}, 3},
        {"echo out; echo err >&2; echo out2", {"out", "err", "out2"}, 0},
        {"printf '#GUI#progress 5%%\\r#GUI#progress 9%%\\r\\n'",
         {"#GUI#progress 5%", "#GUI#progress 9%"},
         0},
        {"read line; echo \"[$line]\"", {"[]"}, 0},  // standard input reads nothing
        {"exit 2", {}, 2},
    };
    for (const Case& c : cases) {
        const ShellRun run = runShell(c.script);
        EXPECT_TRUE(run.outcome.started) << c.script;
        EXPECT_FALSE(run.outcome.stopped) << c.script;
        EXPECT_EQ(run.outcome.exitStatus, c.status) << c.script;
        EXPECT_EQ(run.lines, c.lines) << c.script;
    }
}

TEST(ChildProcessTest, AStopEndsTheChildEvenWhenItIgnoresTheFirstSignal) {
    struct Case {
        const char* script;
        int signal;
    };
    const Case cases[] = {{"echo started; sleep 30", SIGTERM},
                          {"trap '' TERM; echo started; while :; do sleep 0.05; done", SIGKILL}};
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        const ShellRun run = runShell(c.script, 1);
        EXPECT_TRUE(run.outcome.stopped) << c.script;
        EXPECT_EQ(run.outcome.signal, c.signal) << c.script;
        EXPECT_EQ(run.outcome.exitStatus, -1) << c.script;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << c.script;
    }
}

TEST(ChildProcessTest, AProgramThatIsNotThereDoesNotStart) {
    EXPECT_FALSE(findProgram("morvale-no-such-program"));
    EXPECT_FALSE(findProgram("/etc/passwd")) << "not executable";
    EXPECT_EQ(findProgram("/bin/sh"), std::optional<std::string>("/bin/sh"));
    const ChildOutcome outcome = runChildProcess("/nonexistent/mkvmerge", {"--version"}, {});
    EXPECT_FALSE(outcome.started);
    EXPECT_FALSE(outcome.startError.empty());
}

}  // namespace
}  // namespace morvale

namespace morvale::testing {
namespace {

// A child that prints without line ends hands its output over in pieces of a bounded length,
// and a line as long as the bound is one piece.
TEST(ChildOutputTest, LongLinesComeInPiecesOfTheLongestLine) {
    const std::string full(kMaxChildLineBytes, 'x');
    struct Case {
        long bytes;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {3 * long(kMaxChildLineBytes) + 1000, {full, full, full, std::string(1000, 'x'), "end"}},
        {long(kMaxChildLineBytes), {full, "end"}},
        {long(kMaxChildLineBytes) - 1, {std::string(kMaxChildLineBytes - 1, 'x'), "end"}},
    };
    for (const Case& c : cases) {
        const ScriptRun run = runScript(fake_child::printsWithoutLineEnds(c.bytes));
        EXPECT_EQ(run.outcome.exitStatus, 0) << c.bytes;
        EXPECT_TRUE(run.lines == c.lines) << c.bytes << " bytes: " << run.lines.size() << " lines";
    }
}

// Waiting goes on calling onTick until the child has ended and its output is closed, whatever
// it does meanwhile; a stop ends the child's whole group; how it ended reads in words.
TEST(ChildWaitTest, TicksGoOnUntilTheChildHasEndedAndAStopEndsItsGroup) {
    enum Grandchild { None, Gone, OutOfReach };  // OutOfReach: it lives on; the test ends it
    struct Case {
        std::string script;
        ScriptStop stop;
        const char* end;  // as describeChildEnd tells it
        int minTicks;
        Grandchild grandchild;  // whose pid is the first line
    };
    const ScriptStop soon{.stopAfterTicks = 5, .countFromStart = true};
    const ScriptStop afterLine{.stopAfterTicks = 5, .killGraceMilliseconds = 300};
    const ScriptStop killSoon{
        .stopAfterTicks = 5, .countFromStart = true, .killGraceMilliseconds = 300};
    const char* stopped = "stopped by signal 15 (Terminated) after a stop on request";
    const Case cases[] = {
        {"exit 3", {}, "exit status 3", 0, None},
        {fake_child::diesBy(SIGSEGV), {}, "stopped by signal 11 (Segmentation fault)", 0, None},
        {fake_child::diesBy(SIGKILL), {}, "stopped by signal 9 (Killed)", 0, None},
        {fake_child::kClosesItsOutputAndEnds, {}, "exit status 0", 10, None},
        {fake_child::kClosesItsOutputAndRunsOn, soon, stopped, 5, None},
        {fake_child::kIgnoresTermWithOutputClosed, killSoon,
         "stopped by signal 9 (Killed) after a stop on request", 15, None},
        {fake_child::kLeavesAGrandchild, afterLine, "exit status 0 after a stop on request", 5,
         Gone},
        {fake_child::kWaitsForAGrandchildIgnoringTerm, afterLine, stopped, 15, Gone},
        {fake_child::kWaitsForAGrandchildOutOfReach, afterLine, stopped, 15, OutOfReach},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        const ScriptRun run = runScript(c.script, c.stop);
        EXPECT_EQ(describeChildEnd(run.outcome), c.end);
        EXPECT_GE(run.ticks, c.minTicks);
        EXPECT_LT(run.seconds, 3.0);
        if (c.grandchild == None) continue;
        ASSERT_FALSE(run.lines.empty());
        const pid_t grandchild = std::stoi(run.lines.front());
        if (c.grandchild == OutOfReach) ::kill(grandchild, SIGKILL);
        EXPECT_TRUE(processEnds(grandchild, 2000));
    }
    EXPECT_EQ(describeChildEnd(runChildProcess("/nonexistent/mkvmerge", {}, {})),
              "could not be started: No such file or directory");
}

// Ctrl+C on a terminal signals the terminal's foreground process group: the child, in a
// group of its own, does not get it; this program does and stops the child itself.
TEST(ChildGroupTest, AnInterruptOfThisProgramsGroupDoesNotReachTheChild) {
    enum Result { kFine, kNoInterruptSeen, kChildInterrupted, kNotStopped };
    const int result = exitStatusOfForked([] {
        ::setpgid(0, 0);  // the forked test is its own terminal's foreground group, as it were
        StopSignals signals;
        std::vector<std::string> lines;
        int ticksSinceInterrupt = -1;
        ChildCallbacks callbacks;
        callbacks.onLine = [&](std::string_view line) { lines.emplace_back(line); };
        callbacks.onTick = [&] {
            if (lines.empty()) return false;
            if (ticksSinceInterrupt < 0) ::kill(0, SIGINT);
            // Time for a child that got the signal to show it before it is stopped.
            return ++ticksSinceInterrupt > 10 && StopSignals::received();
        };
        callbacks.tickMilliseconds = 20;
        const ChildOutcome outcome =
            runChildProcess("/bin/sh", {"-c", fake_child::kCatchesInterrupt}, callbacks);
        if (!StopSignals::received()) return kNoInterruptSeen;
        if (lines.size() != 1 || outcome.exitStatus == 7) return kChildInterrupted;
        return outcome.stopped && outcome.signal == SIGTERM ? kFine : kNotStopped;
    });
    EXPECT_EQ(result, kFine);
}

// A child never outlives this program: when the parent is killed, the child gets SIGKILL.
TEST(ChildGroupTest, TheChildDiesWithAKilledParent) {
    int pids[2];
    ASSERT_EQ(::pipe(pids), 0);
    const pid_t parent = ::fork();
    if (parent == 0) {
        ChildCallbacks callbacks;
        callbacks.onLine = [&](std::string_view line) {
            const int pid = std::stoi(std::string(line));
            [[maybe_unused]] const ssize_t put = ::write(pids[1], &pid, sizeof pid);
        };
        runChildProcess("/bin/sh", {"-c", "echo $$; exec sleep 30"}, callbacks);
        ::_exit(0);
    }
    int child = 0;
    pollfd readable{pids[0], POLLIN, 0};
    const bool told = ::poll(&readable, 1, 5000) == 1 && ::read(pids[0], &child, 4) == 4;
    ::kill(parent, SIGKILL);
    ::waitpid(parent, nullptr, 0);
    ASSERT_TRUE(told);
    const bool ended = processEnds(child, 2000);
    if (!ended) ::kill(child, SIGKILL);
    EXPECT_TRUE(ended);
}

}  // namespace
}  // namespace morvale::testing
