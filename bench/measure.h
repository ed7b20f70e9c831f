// SPDX-License-Identifier: MIT
#pragma once

#include "report.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace bench {

inline constexpr std::int64_t kUnit = 1000000; // one unit of the chunk size
inline constexpr int kRounds = 5;
// Cold runs wait on a disk shared with other machines, whose speed swings by
// several times between runs: their rows take more rounds to outvote it.
inline constexpr int kColdRounds = 9;

// A timed run: returns the seconds of its measured part only.
using TimedRun = std::function<double()>;

// Thread: this thread's CPU time, user and system - the machine's speed at
// the work, not how much of the shared cores other processes left to it.
// Wall: elapsed time, for work on more than one thread or in another process.
enum class Clock { Thread, Wall };

double Now(Clock clock);

template <class F> double Seconds(F&& work, Clock clock = Clock::Thread) {
    const double start = Now(clock);
    work();
    return Now(clock) - start;
}

double Median(std::vector<double> values);

// Runs the baseline (runs[0]) and then its cases, rounds times. Each case's
// ratio is the median of its ratios to the baseline run just before it, so a
// burst of load from elsewhere falls on both sides of a ratio or is outvoted.
std::vector<Measured> Measure(std::int64_t bytes, const std::vector<TimedRun>& runs,
                              int rounds = kRounds);

// Throws when a run's result is wrong: a fast wrong answer measures nothing.
void Expect(bool ok, const std::string& what);

// "10 MB": a chunk size as the window's box shows it.
std::string ChunkLabel(std::int64_t bufsize);

} // namespace bench
