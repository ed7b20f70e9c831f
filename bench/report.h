// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

namespace bench {

// Bytes moved in a time.
struct Speed {
    std::int64_t bytes = 0;
    double seconds = 0;
    double GBps() const { return seconds > 0 ? static_cast<double>(bytes) / seconds / 1e9 : 0; }
};

// A run's median speed over the rounds, and the median of its ratios to the
// baseline run of the same round (1 for the baseline itself).
struct Measured {
    Speed speed;
    double ratio = 1;
};

// The result table, printed row by row as the cases finish.
class Report {
public:
    Report();
    void Baseline(const std::string& name, const std::string& chunk, const Measured& run);
    // The case's ratio to its baseline must reach minRatio.
    void Case(const std::string& name, const std::string& chunk, const Measured& run,
              double minRatio);
    // A whole process of ours against one of the baseline (a generic tool or
    // another front end): median seconds of each, and ours' ratio, which
    // must reach minRatio; none is set when minRatio is 0.
    void Versus(const std::string& name, const std::string& chunk, const Measured& ours,
                const Measured& baseline, double minRatio);
    // A row that could not be measured here, and why.
    void Skipped(const std::string& name, const std::string& chunk, const std::string& why);
    void Memory(const std::string& name, const std::string& chunk, double mib, double limitMib);
    // A figure that must stay at or below its limit, shown with its unit.
    void AtMost(const std::string& name, const std::string& chunk, double value, double limit,
                const char* unit, int decimals);
    // A time shown for itself, with no target.
    void Seconds(const std::string& name, const std::string& chunk, double seconds);
    void Note(const std::string& text);
    // Prints the closing line; true when every target was met.
    bool Finish() const;

private:
    void Row(const std::string& name, const std::string& chunk, const std::string& ours,
             const std::string& baseline, const std::string& ratio, const std::string& target,
             bool met);

    int missed_ = 0;
};

} // namespace bench
