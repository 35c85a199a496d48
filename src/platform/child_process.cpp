// SPDX-License-Identifier: MIT
#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/child_spawn.h"

namespace morvale {

namespace {

using Clock = std::chrono::steady_clock;

// While the output is closed and the child still runs, how often to look whether it ended.
constexpr int kExitLookMs = 10;
constexpr size_t kReadPiece = 64 * 1024;

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// Splits what arrives into lines of at most kMaxChildLineBytes; a piece may end in the
// middle of one.
class LineSplitter {
  public:
    explicit LineSplitter(const std::function<void(std::string_view)>& onLine) : onLine_(onLine) {}
    void feed(const char* data, size_t n) {
        const char* const end = data + n;
        while (data < end) {
            const char* lineEnd =
                std::find_if(data, end, [](char c) { return c == '\n' || c == '\r'; });
            append(data, static_cast<size_t>(lineEnd - data));
            if (lineEnd == end) break;
            emit();
            data = lineEnd + 1;
        }
    }
    void finish() { emit(); }

  private:
    void append(const char* data, size_t n) {
        while (line_.size() + n >= kMaxChildLineBytes) {
            const size_t room = kMaxChildLineBytes - line_.size();
            line_.append(data, room);
            emit();
            data += room;
            n -= room;
        }
        line_.append(data, n);
    }
    void emit() {
        if (!line_.empty() && onLine_) onLine_(line_);
        line_.clear();
    }
    const std::function<void(std::string_view)>& onLine_;
    std::string line_;
};

class Pipe {
  public:
    Pipe() {
        if (::pipe2(fds_, O_CLOEXEC) != 0) fds_[0] = fds_[1] = -1;
    }
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    bool ok() const { return fds_[0] >= 0; }
    int read() const { return fds_[0]; }
    int write() const { return fds_[1]; }
    bool readOpen() const { return fds_[0] >= 0; }
    void closeWrite() { closeEnd(1); }
    void closeRead() { closeEnd(0); }

  private:
    void closeEnd(int end) {
        if (fds_[end] >= 0) ::close(fds_[end]);
        fds_[end] = -1;
    }
    int fds_[2];
};

// A started child until it has been waited for: its output read, the caller's ticks, a stop.
// The child is not reaped before the end, so its pid, and with it the id of its process
// group, cannot be taken by another process while this may still signal them.
class ChildRun {
  public:
    ChildRun(pid_t pid, Pipe& output, const ChildCallbacks& callbacks)
        : pid_(pid), output_(output), callbacks_(callbacks), lines_(callbacks.onLine) {}

    // Returns the wait status.
    int wait() {
        while (!(ended_ && !output_.readOpen())) {
            const int waitMs = millisecondsToWait();
            if (output_.readOpen()) {
                readOutput(waitMs);
            } else {
                ::poll(nullptr, 0, std::min(waitMs, kExitLookMs));
            }
            if (!ended_) ended_ = hasEnded();
            // What still holds the output after SIGKILL to the group is out of reach.
            if (ended_ && killed_) output_.closeRead();
            tick();
            escalate();
        }
        lines_.finish();
        return reap();
    }
    bool stopped() const { return stopping_; }

  private:
    int millisecondsToWait() const {
        const auto now = Clock::now();
        auto until = nextTick_;
        if (stopping_ && !killed_) until = std::min(until, killAt_);
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
        return static_cast<int>(std::clamp<long long>(ms, 0, callbacks_.tickMilliseconds));
    }

    void readOutput(int waitMs) {
        pollfd watched{output_.read(), POLLIN, 0};
        if (::poll(&watched, 1, waitMs) <= 0) return;
        char buffer[kReadPiece];
        const ssize_t got = ::read(output_.read(), buffer, sizeof buffer);
        if (got > 0) {
            if (!stopping_) lines_.feed(buffer, static_cast<size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            output_.closeRead();  // nothing of the child's holds its output any more
        }
    }

    // Ended (a zombie, not yet reaped).
    bool hasEnded() const {
        siginfo_t info{};
        return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == pid_;
    }

    void tick() {
        const auto now = Clock::now();
        if (now < nextTick_) return;
        nextTick_ = now + std::chrono::milliseconds(callbacks_.tickMilliseconds);
        const bool stop = callbacks_.onTick && callbacks_.onTick();
        if (!stop || stopping_) return;
        stopping_ = true;
        killAt_ = now + std::chrono::milliseconds(callbacks_.killGraceMilliseconds);
        signalGroup(SIGTERM);
    }

    void escalate() {
        if (!stopping_ || killed_ || Clock::now() < killAt_) return;
        if (ended_ && !output_.readOpen()) return;
        killed_ = true;
        signalGroup(SIGKILL);
    }

    // The child's group, and the child too should it have left the group.
    void signalGroup(int signal) const {
        ::kill(-pid_, signal);
        if (::getpgid(pid_) != pid_) ::kill(pid_, signal);
    }

    int reap() const {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        return status;
    }

    const pid_t pid_;
    Pipe& output_;
    const ChildCallbacks& callbacks_;
    LineSplitter lines_;
    Clock::time_point nextTick_ = Clock::now();
    Clock::time_point killAt_{};
    bool ended_ = false;
    bool stopping_ = false;
    bool killed_ = false;
};

}  // namespace

std::optional<std::string> findProgram(const std::string& name) {
    if (name.empty()) return std::nullopt;
    if (name.find('/') != std::string::npos) {
        return isExecutableFile(name) ? std::optional(name) : std::nullopt;
    }
    const char* path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const size_t colon = folders.find(':');
        std::string folder(folders.substr(0, colon));
        if (folder.empty()) folder = ".";
        const std::string candidate = folder + "/" + name;
        if (isExecutableFile(candidate)) return candidate;
        if (colon == std::string_view::npos) return std::nullopt;
        folders.remove_prefix(colon + 1);
    }
}

ChildOutcome runChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                             const ChildCallbacks& callbacks) {
    ChildOutcome outcome;
    Pipe output;
    if (!output.ok()) {
        outcome.startError = std::strerror(errno);
        return outcome;
    }
    const std::optional<pid_t> pid =
        spawnChild(program, arguments, output.write(), outcome.startError, callbacks.workingFolder);
    output.closeWrite();
    if (!pid) return outcome;
    outcome.started = true;

    ChildCallbacks checked = callbacks;
    checked.tickMilliseconds = std::max(callbacks.tickMilliseconds, 1);
    checked.killGraceMilliseconds = std::max(callbacks.killGraceMilliseconds, 0);
    ChildRun run(*pid, output, checked);
    const int status = run.wait();
    outcome.stopped = run.stopped();
    if (WIFEXITED(status)) outcome.exitStatus = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
    return outcome;
}

std::string describeChildEnd(const ChildOutcome& outcome) {
    if (!outcome.started) return "could not be started: " + outcome.startError;
    std::string text;
    if (outcome.signal != 0) {
        // sigdescr_np, unlike strsignal, is not translated: the log's words stay English.
        const char* description = ::sigdescr_np(outcome.signal);
        text = "stopped by signal " + std::to_string(outcome.signal) + " (" +
               (description != nullptr ? description : "unknown signal") + ")";
    } else if (outcome.exitStatus >= 0) {
        text = "exit status " + std::to_string(outcome.exitStatus);
    } else {
        text = "an end the system did not tell";
    }
    if (outcome.stopped) text += " after a stop on request";
    return text;
}

}  // namespace morvale
