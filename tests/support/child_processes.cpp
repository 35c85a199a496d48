// SPDX-License-Identifier: MIT
#include "support/child_processes.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace morvale::testing {

namespace {

using Clock = std::chrono::steady_clock;

// Ended: no such process, or a zombie ("pid (name) Z ...", the name may hold parentheses).
bool processGone(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text)) return true;
    const size_t nameEnd = text.rfind(')');
    return nameEnd == std::string::npos || text.size() < nameEnd + 3 || text[nameEnd + 2] == 'Z' ||
           text[nameEnd + 2] == 'X';
}

}  // namespace

std::string fake_child::printsWithoutLineEnds(long bytes) {
    return "head -c " + std::to_string(bytes) + " /dev/zero | tr '\\0' x; printf '\\nend\\n'";
}

std::string fake_child::diesBy(int signal) {
    return "ulimit -c 0; kill -" + std::to_string(signal) + " $$";
}

ScriptRun runScript(const std::string& script, ScriptStop stop) {
    ScriptRun run;
    int counted = 0;
    ChildCallbacks callbacks;
    callbacks.onLine = [&](std::string_view line) { run.lines.emplace_back(line); };
    callbacks.onTick = [&] {
        ++run.ticks;
        if (stop.countFromStart || !run.lines.empty()) ++counted;
        return stop.stopAfterTicks >= 0 && counted > stop.stopAfterTicks;
    };
    callbacks.tickMilliseconds = 20;
    callbacks.killGraceMilliseconds = stop.killGraceMilliseconds;
    const auto start = Clock::now();
    run.outcome = runChildProcess("/bin/sh", {"-c", script}, callbacks);
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return run;
}

int exitStatusOfForked(const std::function<int()>& body, int timeoutMs) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (pid > 0 && ::waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return pid > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ForkedHolder::ForkedHolder(const std::function<bool()>& setUp) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
        const char done = setUp() ? 1 : 0;
        [[maybe_unused]] const ssize_t put = ::write(ready[1], &done, 1);
        while (true)
            ::pause();
    }
    ::close(ready[1]);
    char done = 0;
    ready_ = pid_ > 0 && ::read(ready[0], &done, 1) == 1 && done == 1;
    ::close(ready[0]);
}

void ForkedHolder::kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

bool processEnds(pid_t pid, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!processGone(pid)) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace morvale::testing
