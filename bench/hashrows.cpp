// SPDX-License-Identifier: MIT
#include "measure.h"
#include "process.h"
#include "rowgroups.h"
#include "scratch.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace bench {
namespace {

namespace fs = std::filesystem;

struct ChildRun {
    int status = -1;
    double cpuSeconds = 0;  // the child's user and system time
    double wallSeconds = 0; // from the spawn to the reaping
    std::string out;        // stdout and stderr together
};

double WallNow() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double SecondsOf(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

// Runs argv[0] (searched in PATH) with both streams into one pipe, and
// takes its own CPU time from wait4, not the children of this process as a
// whole.
ChildRun RunChild(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    ::posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    const double start = WallNow();
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    ChildRun run;
    char buffer[4096];
    for (ssize_t n; spawned == 0 && (n = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0) {
            run.out.append(buffer, static_cast<std::size_t>(n));
        } else if (errno != EINTR) {
            break;
        }
    }
    ::close(fds[0]);
    if (spawned != 0) {
        throw std::runtime_error("cannot start " + args[0]);
    }
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    run.wallSeconds = WallNow() - start;
    run.cpuSeconds = SecondsOf(usage.ru_utime) + SecondsOf(usage.ru_stime);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

// sha256sum's digest of path, checked against want once want is known.
ChildRun Sha256Sum(const fs::path& path, std::string& digest) {
    ChildRun run = RunChild({"sha256sum", path.string()});
    const std::string got = run.out.substr(0, run.out.find(' '));
    Expect(run.status == 0 && (digest.empty() || got == digest), "sha256sum " + path.string());
    digest = got;
    return run;
}

std::string SecondsText(double seconds) {
    return std::to_string(seconds).substr(0, 5) + " s";
}

} // namespace

void HashRows(Report& report, const fs::path& folder) {
    constexpr std::int64_t kData = kGiB;
    constexpr std::int64_t kZeros = 64 * kMiB;
    const ScratchFile input(folder, "hash.bin", kData + kZeros);
    input.WriteRandom(0, kData);
    input.WriteZeros(kData, kZeros); // stored zeros: read like the data
    input.Sync();
    const fs::path output = folder / "hash(KST).bin";
    const std::vector<std::string> trim{CliProgram().string(), "--hash", "sha256",
                                        input.Path().string()};

    // The first trim leaves the output for the baseline's first round.
    Expect(RunChild(trim).status == 0, "kestrune-cli");
    std::string inDigest;
    std::string outDigest;
    Sha256Sum(input.Path(), inDigest);
    Sha256Sum(output, outDigest);

    std::vector<double> toolsWall;
    std::vector<double> trimWall;
    const auto measured =
        Measure(input.Size(),
                {[&] {
                     const ChildRun in = Sha256Sum(input.Path(), inDigest);
                     const ChildRun out = Sha256Sum(output, outDigest);
                     toolsWall.push_back(in.wallSeconds + out.wallSeconds);
                     return in.cpuSeconds + out.cpuSeconds;
                 },
                 [&] {
                     fs::remove(output);
                     const ChildRun run = RunChild(trim);
                     Expect(run.status == 0 &&
                                run.out.find("sha256 input  " + inDigest) != std::string::npos &&
                                run.out.find("sha256 output " + outDigest) != std::string::npos,
                            "kestrune-cli --hash sha256");
                     trimWall.push_back(run.wallSeconds);
                     return run.cpuSeconds;
                 }});
    fs::remove(output);
    report.Baseline("sha256sum in + out, 1 GiB + 64 MiB zeros", "1 MB", measured[0]);
    report.Case("trim --hash sha256, in + out hashed", "1 MB", measured[1], 1.0);
    report.Note("(processes' CPU time; wall clock, median: sha256sum twice " +
                SecondsText(Median(toolsWall)) + ", trim " + SecondsText(Median(trimWall)) +
                " with its output flushed to the disk)");
}

} // namespace bench
