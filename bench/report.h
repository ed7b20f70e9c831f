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

// The result table, printed row by row as the cases finish. Each case is
// compared with the baseline printed last before it.
class Report {
public:
    Report();
    void Baseline(const std::string& name, const std::string& chunk, Speed speed);
    // minRatio: the case's speed over the baseline's must reach it.
    void Case(const std::string& name, const std::string& chunk, Speed speed, double minRatio);
    void Memory(const std::string& name, const std::string& chunk, double mib, double limitMib);
    void Note(const std::string& text);
    // Prints the closing line; true when every target was met.
    bool Finish() const;

private:
    void Row(const std::string& name, const std::string& chunk, const std::string& value,
             const std::string& ratio, const std::string& target, bool met);

    Speed baseline_;
    int missed_ = 0;
};

} // namespace bench
