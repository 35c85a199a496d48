// SPDX-License-Identifier: MIT
#include "cli_process.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace morvale::testing {

namespace {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(got));
    return text;
}

int statusOf(int raw) {
    if (WIFEXITED(raw)) return WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
    return -1;
}

std::vector<char*> argvOf(const std::vector<std::string>& args) {
    std::vector<char*> argv = {const_cast<char*>(MORVALE_CLI_PATH)};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    return argv;
}

// Forks the program with stdout and stderr on the write ends of the two pipes.
pid_t start(const std::vector<std::string>& args, const std::string& cwd, int outPipe[2],
            int errPipe[2]) {
    if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0) return -1;
    std::vector<char*> argv = argvOf(args);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        const int in = ::open("/dev/null", O_RDONLY);
        ::dup2(in, STDIN_FILENO);
        if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(99);
        ::execv(argv[0], argv.data());
        ::_exit(98);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    return pid;
}

}  // namespace

CliResult runCliProcess(const std::vector<std::string>& args, const std::string& cwd) {
    int outPipe[2], errPipe[2];
    CliResult result;
    const pid_t pid = start(args, cwd, outPipe, errPipe);
    if (pid < 0) return result;
    // stderr is small; read stdout to its end first, then stderr.
    const std::string out = readAll(outPipe[0]);
    result.err = readAll(errPipe[0]);
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    int raw = 0;
    struct rusage usage {};
    ::wait4(pid, &raw, 0, &usage);
    result.status = statusOf(raw);
    result.out = splitLines(out);
    result.peakKiB = usage.ru_maxrss;
    return result;
}

CliResult runCliAndSignal(const std::vector<std::string>& args, const std::string& waitFor,
                          int signal) {
    int outPipe[2], errPipe[2];
    CliResult result;
    const pid_t pid = start(args, "", outPipe, errPipe);
    if (pid < 0) return result;
    std::string out;
    bool sent = false;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(outPipe[0], buffer, sizeof buffer)) > 0) {
        out.append(buffer, static_cast<size_t>(got));
        if (!sent &&
            (out.rfind(waitFor, 0) == 0 || out.find("\n" + waitFor) != std::string::npos)) {
            ::kill(pid, signal);
            sent = true;
        }
    }
    result.err = readAll(errPipe[0]);
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    result.status = statusOf(raw);
    result.out = splitLines(out);
    return result;
}

}  // namespace morvale::testing
