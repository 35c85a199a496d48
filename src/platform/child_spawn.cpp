// SPDX-License-Identifier: MIT
#include "platform/child_spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#ifdef __linux__
#include <sys/prctl.h>
#endif

extern char** environ;

namespace morvale {

namespace {

// Left ignored or caught by this program, they would keep a stop or a closed pipe from
// ending the child.
constexpr std::array kDefaultSignals = {SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGTERM};

// Between fork and exec the child may only make async-signal-safe calls: another thread of
// this program may have held a lock of the allocator at the fork.
[[noreturn]] void failInChild(int statusFd) {
    const int err = errno;
    [[maybe_unused]] const ssize_t ignored = ::write(statusFd, &err, sizeof err);
    ::_exit(127);
}

void resetSignals() {
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    for (const int signal : kDefaultSignals)
        ::sigaction(signal, &byDefault, nullptr);
}

[[noreturn]] void becomeChild(const char* program, char* const* argv, int outputFd, int statusFd,
                              pid_t parent, const char* folder) {
    ::setpgid(0, 0);
    if (folder != nullptr && ::chdir(folder) != 0) failInChild(statusFd);
#ifdef __linux__
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) failInChild(statusFd);
    // The parent died before the signal was asked for: it will never come.
    if (::getppid() != parent) ::_exit(127);
#else
    (void)parent;
#endif
    resetSignals();
    // Out of the way of the standard descriptors, which the dup2s below replace.
    const int output = ::fcntl(outputFd, F_DUPFD_CLOEXEC, 3);
    const int status = ::fcntl(statusFd, F_DUPFD_CLOEXEC, 3);
    if (output < 0 || status < 0) failInChild(statusFd);
    const int input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (input < 0 || ::dup2(input, STDIN_FILENO) < 0 || ::dup2(output, STDOUT_FILENO) < 0 ||
        ::dup2(output, STDERR_FILENO) < 0) {
        failInChild(status);
    }
    ::execve(program, argv, environ);
    failInChild(status);
}

// The errno the child reported before its exec, or 0 once the exec closed the pipe.
int startError(int statusFd) {
    int err = 0;
    while (true) {
        const ssize_t got = ::read(statusFd, &err, sizeof err);
        if (got < 0 && errno == EINTR) continue;
        return got == static_cast<ssize_t>(sizeof err) ? err : 0;
    }
}

}  // namespace

std::optional<pid_t> spawnChild(const std::string& program,
                                const std::vector<std::string>& arguments, int outputFd,
                                std::string& error, const std::string& folder) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    int status[2];
    if (::pipe2(status, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        becomeChild(program.c_str(), argv.data(), outputFd, status[1], parent,
                    folder.empty() ? nullptr : folder.c_str());
    }
    const int forkError = errno;
    ::close(status[1]);
    const int err = pid < 0 ? forkError : startError(status[0]);
    ::close(status[0]);
    if (err == 0) return pid;
    if (pid > 0) ::waitpid(pid, nullptr, 0);
    error = std::strerror(err);
    return std::nullopt;
}

}  // namespace morvale
