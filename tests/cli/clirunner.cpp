// SPDX-License-Identifier: MIT
#include "clirunner.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr auto kTimeout = std::chrono::seconds(60);

struct Pipe {
    int read = -1;
    int write = -1;
};

Pipe MakePipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe failed";
        return {};
    }
    return {fds[0], fds[1]};
}

// A pseudo-terminal: read is the master, write the slave.
Pipe MakeTerminal() {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        ADD_FAILURE() << "no pseudo-terminal";
        return {};
    }
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    return {master, slave};
}

[[noreturn]] void ExecChild(const std::vector<char*>& argv, const CliSetup& setup, int out,
                            int err) {
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    // Whatever the test runner ignores or blocks, the CLI starts as from a shell.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (setup.fileSizeLimit >= 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{static_cast<rlim_t>(setup.fileSizeLimit),
                           static_cast<rlim_t>(setup.fileSizeLimit)};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (!setup.cwd.empty() && ::chdir(setup.cwd.c_str()) != 0) {
        ::_exit(126);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

// Reads both streams to their end; a terminal's master reports EIO once
// the child has closed the slave.
void Drain(int outFd, int errFd, CliRun& run, ErrLineWatcher& watcher, pid_t child) {
    const auto deadline = std::chrono::steady_clock::now() + kTimeout;
    std::array<pollfd, 2> fds{pollfd{outFd, POLLIN, 0}, pollfd{errFd, POLLIN, 0}};
    std::array<std::string*, 2> sinks{&run.out, &run.err};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "kestrune-cli did not end in time";
            ::kill(child, SIGKILL);
            break;
        }
        if (::poll(fds.data(), fds.size(), 1000) < 0 && errno != EINTR) {
            break;
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                continue;
            }
            sinks[i]->append(buffer, static_cast<std::size_t>(n));
        }
        watcher.Feed(run.err);
    }
}

} // namespace

CliRun RunCli(const std::vector<std::string>& args, const CliSetup& setup) {
    std::vector<std::string> texts{KESTRUNE_CLI};
    texts.insert(texts.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);

    const Pipe out = MakePipe();
    const Pipe err = setup.stderrTerminal ? MakeTerminal() : MakePipe();
    const pid_t child = ::fork();
    if (child == 0) {
        ExecChild(argv, setup, out.write, err.write);
    }
    ::close(out.write);
    ::close(err.write);
    CliRun run;
    if (child < 0) {
        ADD_FAILURE() << "fork failed";
        return run;
    }
    ErrLineWatcher watcher(setup, [child](const int signal) { ::kill(child, signal); });
    Drain(out.read, err.read, run, watcher, child);
    int status = 0;
    ::waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}
