// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>

namespace kst::cli {

// The gauge as one redrawn line on a terminal. Disabled, it prints nothing.
class ProgressBar {
public:
    ProgressBar(std::ostream& out, bool enabled) : out_(out), enabled_(enabled) {}

    void Show(int percent);
    // Clears the line so that ordinary output starts at its beginning.
    void Erase();

private:
    std::ostream& out_;
    bool enabled_;
    int shown_ = -1; // -1: nothing on the line
};

// True when stderr is a terminal.
bool StderrIsTerminal();

} // namespace kst::cli
