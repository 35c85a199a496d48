#include "platform/child_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>

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
