// SPDX-License-Identifier: MIT
#include "process.h"

#include "measure.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

namespace bench {
namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// In the child: only async-signal-safe calls until the exec.
[[noreturn]] void Exec(const std::vector<char*>& argv, const std::vector<std::string>& environment,
                       int out, bool quietErr) {
    if (out >= 0) {
        ::dup2(out, STDOUT_FILENO);
    }
    if (quietErr) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDERR_FILENO);
    } else if (out >= 0) {
        ::dup2(out, STDERR_FILENO);
    }
    for (const std::string& entry : environment) {
        ::putenv(const_cast<char*>(entry.c_str()));
    }
    ::execvp(argv[0], argv.data());
    ::_exit(127);
}

// Everything the child writes until it closes its end (or, on a terminal,
// until the terminal reports its end: EIO).
std::string Drain(int fd) {
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

double SecondsOf(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

ProcessRun Reap(pid_t pid, double start) {
    ProcessRun run;
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            Fail("wait");
        }
    }
    run.seconds = Now(Clock::Wall) - start;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.peakKiB = usage.ru_maxrss;
    run.cpuSeconds = SecondsOf(usage.ru_utime) + SecondsOf(usage.ru_stime);
    return run;
}

} // namespace

ProcessRun RunProcess(const std::vector<std::string>& argv, const ProcessSetup& setup) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const double start = Now(Clock::Wall);
    if (setup.terminal) {
        int terminal = -1;
        const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
        if (pid < 0) {
            Fail("forkpty");
        }
        if (pid == 0) {
            Exec(args, setup.environment, -1, false);
        }
        std::string shown = Drain(terminal);
        ProcessRun run = Reap(pid, start);
        run.out = std::move(shown);
        ::close(terminal);
        return run;
    }
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        Fail("pipe");
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        Fail("fork");
    }
    if (pid == 0) {
        Exec(args, setup.environment, pipe[1], !setup.keepStderr);
    }
    ::close(pipe[1]);
    std::string out = Drain(pipe[0]);
    ::close(pipe[0]);
    ProcessRun run = Reap(pid, start);
    run.out = std::move(out);
    return run;
}

ProcessRun RunChecked(const std::vector<std::string>& argv, const ProcessSetup& setup) {
    ProcessRun run = RunProcess(argv, setup);
    if (run.status != 0) {
        throw std::runtime_error(argv[0] + " ended with status " + std::to_string(run.status));
    }
    return run;
}

TimedRun ProcessTimer(ProcessJob job) {
    return [job = std::move(job)] {
        if (job.before) {
            job.before();
        }
        const ProcessRun run = RunChecked(job.argv, job.setup);
        if (job.check) {
            job.check(run);
        }
        return run.seconds;
    };
}

TimedRun WindowTimer(const std::filesystem::path& file, std::int32_t units, bool measureOnly,
                     const std::string& wantOutSize, std::function<void()> before) {
    std::vector<std::string> argv = {WindowProgram().string(), file.string(),
                                     std::to_string(units)};
    if (measureOnly) {
        argv.emplace_back("measure");
    }
    return [argv, wantOutSize, before = std::move(before)] {
        if (before) {
            before();
        }
        const ProcessRun run = RunChecked(argv, {false, {"QT_QPA_PLATFORM=offscreen"}});
        Expect(run.out.find(wantOutSize) != std::string::npos, "window job: " + run.out);
        return std::stod(run.out);
    };
}

std::int64_t PeakKiB(const std::vector<std::string>& argv) {
    std::vector<std::string> spawner = {"/proc/self/exe", "--peak-kib"};
    spawner.insert(spawner.end(), argv.begin(), argv.end());
    return std::stoll(RunChecked(spawner).out);
}

int PrintPeakKiB(int argc, char** argv) {
    const ProcessRun run = RunProcess(std::vector<std::string>(argv + 2, argv + argc));
    std::printf("%lld\n", static_cast<long long>(run.peakKiB));
    return run.status;
}

std::int64_t IdleCliKiB() {
    return PeakKiB({CliProgram().string(), "--version"});
}

BusyCore::BusyCore() : pid_(::fork()) {
    if (pid_ < 0) {
        Fail("fork");
    }
    if (pid_ == 0) {
        ::setpriority(PRIO_PROCESS, 0, 19);
        for (;;) {
            asm volatile("" : : : "memory"); // a loop the compiler must keep
        }
    }
}

BusyCore::~BusyCore() {
    ::kill(pid_, SIGKILL);
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
}

bool DropPageCache() {
    ::sync();
    const int fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC);
    const bool dropped = fd >= 0 && ::write(fd, "3", 1) == 1;
    if (fd >= 0) {
        ::close(fd);
    }
    return dropped;
}

std::filesystem::path CliProgram() {
    return KESTRUNE_BENCH_CLI;
}

std::filesystem::path WindowProgram() {
    return KESTRUNE_BENCH_WINDOW;
}

} // namespace bench
