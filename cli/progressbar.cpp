// SPDX-License-Identifier: MIT
#include "progressbar.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kst::cli {
namespace {

constexpr int kWidth = 40;
// "[" + bar + "] " + "100%"
constexpr std::size_t kLineLength = kWidth + 7;

} // namespace

void ProgressBar::Show(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (!enabled_ || percent == shown_) {
        return;
    }
    const int filled = percent * kWidth / 100;
    std::string line = "\r[";
    line.append(filled, '#');
    line.append(kWidth - filled, '-');
    line += "] ";
    const std::string digits = std::to_string(percent);
    line.append(3 - digits.size(), ' ');
    line += digits + "%";
    out_ << line << std::flush;
    shown_ = percent;
}

void ProgressBar::Erase() {
    if (shown_ < 0) {
        return;
    }
    // Blanks rather than an escape sequence, so any console clears alike.
    out_ << '\r' << std::string(kLineLength, ' ') << '\r' << std::flush;
    shown_ = -1;
}

bool StderrIsTerminal() {
#ifdef _WIN32
    return ::_isatty(::_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) != 0;
#endif
}

} // namespace kst::cli
