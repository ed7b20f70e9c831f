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
    void Memory(const std::string& name, const std::string& chunk, double mib, double limitMib);
    // A time shown for itself, with no target.
    void Seconds(const std::string& name, const std::string& chunk, double seconds);
    void Note(const std::string& text);
    // Prints the closing line; true when every target was met.
    bool Finish() const;

private:
    void Row(const std::string& name, const std::string& chunk, const std::string& value,
             const std::string& ratio, const std::string& target, bool met);

    int missed_ = 0;
};

} // namespace bench
