#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace morvale {

namespace {

constexpr int kKillGraceMs = 5000;

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// Splits what arrives into lines; a piece may end in the middle of one.
class LineSplitter {
  public:
    explicit LineSplitter(const std::function<void(std::string_view)>& onLine) : onLine_(onLine) {}
    void feed(const char* data, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            if (data[i] == '\n' || data[i] == '\r') {
                emit();
            } else {
                line_ += data[i];
            }
        }
    }
    void finish() { emit(); }

  private:
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
    bool ok() const { return fds_[0] >= 0; }
    int read() const { return fds_[0]; }
    int write() const { return fds_[1]; }
    void closeWrite() { closeEnd(1); }
    void closeRead() { closeEnd(0); }

  private:
    void closeEnd(int end) {
        if (fds_[end] >= 0) ::close(fds_[end]);
        fds_[end] = -1;
    }
    int fds_[2];
};

std::optional<pid_t> spawn(const std::string& program, const std::vector<std::string>& arguments,
                           int outputFd, std::string& error) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDERR_FILENO);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int result = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) {
        error = std::strerror(result);
        return std::nullopt;
    }
    return pid;
}

// Waits for the child, sending SIGKILL when it has not ended within the grace time.
int reap(pid_t pid, bool stopping) {
    int status = 0;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kKillGraceMs);
    while (true) {
        const pid_t done = ::waitpid(pid, &status, stopping ? WNOHANG : 0);
        if (done == pid) return status;
        if (done < 0 && errno != EINTR) return status;
        if (stopping && std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            stopping = false;  // now wait for it without a limit
        } else if (stopping) {
            ::usleep(20000);
        }
    }
}

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
    const std::optional<pid_t> pid = spawn(program, arguments, output.write(), outcome.startError);
    output.closeWrite();
    if (!pid) return outcome;
    outcome.started = true;

    LineSplitter lines(callbacks.onLine);
    char buffer[4096];
    bool open = true;
    auto nextTick = std::chrono::steady_clock::now();
    while (open) {
        pollfd watched{output.read(), POLLIN, 0};
        const int ready = ::poll(&watched, 1, callbacks.tickMilliseconds);
        if (ready > 0) {
            const ssize_t got = ::read(output.read(), buffer, sizeof buffer);
            if (got > 0) {
                lines.feed(buffer, static_cast<size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                open = false;  // the child closed its output (it ends or has ended)
            }
        }
        const auto now = std::chrono::steady_clock::now();
        if (now < nextTick || !callbacks.onTick) continue;
        nextTick = now + std::chrono::milliseconds(callbacks.tickMilliseconds);
        if (callbacks.onTick()) {
            outcome.stopped = true;
            ::kill(*pid, SIGTERM);
            break;
        }
    }
    lines.finish();
    output.closeRead();
    const int status = reap(*pid, outcome.stopped);
    if (WIFEXITED(status)) outcome.exitStatus = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
    return outcome;
}

}  // namespace morvale
