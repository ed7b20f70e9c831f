// SPDX-License-Identifier: MIT
#pragma once

#include "measure.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace bench {

// How a child process is started.
struct ProcessSetup {
    // stdout and stderr on a pseudo-terminal, drained as it writes; else
    // stderr goes to /dev/null.
    bool terminal = false;
    // Extra "NAME=value" entries for the child's environment.
    std::vector<std::string> environment;
    // Off a terminal: stderr into the same pipe as stdout, not /dev/null.
    bool keepStderr = false;
};

struct ProcessRun {
    int status = -1;          // exit status, or 128 + the signal that ended it
    double seconds = 0;       // wall clock, from the fork to the reaping
    std::int64_t peakKiB = 0; // the child's peak resident size (see PeakKiB)
    double cpuSeconds = 0;    // the child's own user and system time
    std::string out;          // its stdout, or all the terminal showed
};

// Runs argv[0] (searched in PATH) and waits for it.
ProcessRun RunProcess(const std::vector<std::string>& argv, const ProcessSetup& setup = {});

// Runs it and throws unless it exits with 0.
ProcessRun RunChecked(const std::vector<std::string>& argv, const ProcessSetup& setup = {});

// A timed run of a whole process: `before` runs first, untimed (a dropped
// page cache, a removed output); `check` is handed the finished run and
// throws on a wrong result.
struct ProcessJob {
    explicit ProcessJob(std::vector<std::string> args) : argv(std::move(args)) {}

    std::vector<std::string> argv;
    ProcessSetup setup;
    std::function<void()> before;
    std::function<void(const ProcessRun&)> check;
};
TimedRun ProcessTimer(ProcessJob job);

// The job through the window's benchmark program (offscreen): its seconds
// from the press of Execute to the job's return. The output size panel must
// show wantOutSize.
TimedRun WindowTimer(const std::filesystem::path& file, std::int32_t units, bool measureOnly,
                     const std::string& wantOutSize, std::function<void()> before = {});

// A child's peak resident size counts the memory of its parent at the fork,
// so the peak of argv is taken by this program started afresh, small, as
// the one that forks it: "kestrune-bench --peak-kib ARGV..." prints it.
std::int64_t PeakKiB(const std::vector<std::string>& argv);
int PrintPeakKiB(int argc, char** argv);

// Peak memory of kestrune-cli that only prints its version: what every run
// of it holds before any job.
std::int64_t IdleCliKiB();

// One core kept busy while it lives, by a child spinning at the lowest
// priority (nice 19), as a user's background job would.
class BusyCore {
public:
    BusyCore();
    ~BusyCore();
    BusyCore(const BusyCore&) = delete;
    BusyCore& operator=(const BusyCore&) = delete;

private:
    int pid_;
};

// Writes dirty pages back and drops the page cache, so the next read comes
// from the disk. False where this process may not (not root, a container).
bool DropPageCache();

// The kestrune-cli built beside the benchmark.
std::filesystem::path CliProgram();
// The window's benchmark program; empty when the window was not built.
std::filesystem::path WindowProgram();

} // namespace bench
