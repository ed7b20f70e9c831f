// SPDX-License-Identifier: MIT
#include "measure.h"

#include <algorithm>
#include <stdexcept>

namespace bench {

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::vector<Measured> Measure(std::int64_t bytes, const std::vector<TimedRun>& runs) {
    std::vector<std::vector<double>> seconds(runs.size());
    for (int round = 0; round < kRounds; ++round) {
        for (std::size_t i = 0; i < runs.size(); ++i) {
            seconds[i].push_back(runs[i]());
        }
    }
    std::vector<Measured> measured;
    for (const auto& times : seconds) {
        std::vector<double> ratios;
        for (int round = 0; round < kRounds; ++round) {
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

} // namespace bench
