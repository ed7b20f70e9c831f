// SPDX-License-Identifier: MIT
#include "measure.h"

#include <algorithm>
#include <stdexcept>
#include <time.h>

namespace bench {

double Now(Clock clock) {
    timespec t{};
    ::clock_gettime(clock == Clock::Thread ? CLOCK_THREAD_CPUTIME_ID : CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::vector<Measured> Measure(std::int64_t bytes, const std::vector<TimedRun>& runs, int rounds) {
    std::vector<std::vector<double>> seconds(runs.size());
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t i = 0; i < runs.size(); ++i) {
            seconds[i].push_back(runs[i]());
        }
    }
    std::vector<Measured> measured;
    for (const auto& times : seconds) {
        std::vector<double> ratios;
        for (int round = 0; round < rounds; ++round) {
            ratios.push_back(seconds[0][round] / times[round]);
        }
        measured.push_back({Speed{bytes, Median(times)}, Median(ratios)});
    }
    return measured;
}

void Expect(bool ok, const std::string& what) {
    if (!ok) {
        throw std::runtime_error("wrong result: " + what);
    }
}

std::string ChunkLabel(std::int64_t bufsize) {
    return std::to_string(bufsize / kUnit) + " MB";
}

} // namespace bench
