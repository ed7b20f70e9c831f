// SPDX-License-Identifier: MIT
#pragma once

#include "report.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace bench {

inline constexpr int kRounds = 7;

// A timed run: returns the seconds of its measured part only.
using TimedRun = std::function<double()>;

double Median(std::vector<double> values);

// Runs the baseline (runs[0]) and then its cases, kRounds times. Each case's
// ratio is the median of its ratios to the baseline run just before it, so a
// burst of load from elsewhere falls on both sides of a ratio or is outvoted.
std::vector<Measured> Measure(std::int64_t bytes, const std::vector<TimedRun>& runs);

// Throws when a run's result is wrong: a fast wrong answer measures nothing.
void Expect(bool ok, const std::string& what);

} // namespace bench
