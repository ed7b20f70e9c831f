// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

namespace kst::cli {

// Seconds on a clock that never goes back; a seam for the tests.
using SecondsClock = std::function<double()>;
double SteadySeconds();

// Which way the job's gauge runs through a phase: the trailing scan reads
// from the end, so its gauge falls from 100 while its bytes done rise.
enum class Sweep { Rising, Falling };

// The job's progress as one line on a terminal: bytes done of the phase, its
// rate and the time left. The gauge is set once per chunk, however small, so
// the line is redrawn at most every kRedrawSeconds. Disabled, it prints
// nothing.
class ProgressBar {
public:
    static constexpr double kRedrawSeconds = 0.1;

    ProgressBar(std::ostream& out, bool enabled, SecondsClock clock = SteadySeconds)
        : out_(out), enabled_(enabled), clock_(std::move(clock)) {}

    // A phase over total bytes begins: the rate and the time left start anew.
    void StartPhase(std::int64_t total, Sweep sweep);
    void Show(int percent);
    // Clears the line so that ordinary output starts at its beginning.
    void Erase();

private:
    std::ostream& out_;
    bool enabled_;
    SecondsClock clock_;
    std::int64_t total_ = 0;
    Sweep sweep_ = Sweep::Rising;
    double phaseStart_ = 0;
    double drawnAt_ = 0;
    bool drawnInPhase_ = false;
    std::size_t shownLength_ = 0; // 0: nothing on the line
};

// "0 B", "1023 B", "1.50 KiB" ... "2.00 TiB".
std::string ByteCountText(std::int64_t bytes);
// "0:07", "12:34", "1:02:03".
std::string DurationText(double seconds);
// "1.50 GiB / 3.00 GiB  50%  1.00 GiB/s  0:01 left"; rate and time left are
// "--" until some bytes are done.
std::string ProgressText(std::int64_t done, std::int64_t total, double elapsed);

// True when stderr is a terminal.
bool StderrIsTerminal();
// True when standard output and standard error are not the same file, so
// the order between their writes cannot show.
bool StdoutAndStderrApart();

} // namespace kst::cli
