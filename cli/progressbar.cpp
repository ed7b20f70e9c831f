// SPDX-License-Identifier: MIT
#include "progressbar.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ostream>

#ifdef _WIN32
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kst::cli {
namespace {

std::string Printed(const char* format, double value, const char* unit) {
    char text[48];
    std::snprintf(text, sizeof text, format, value, unit);
    return text;
}

} // namespace

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string ByteCountText(std::int64_t bytes) {
    static constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
    if (bytes < 1024) {
        return std::to_string(bytes) + " B";
    }
    double value = static_cast<double>(bytes) / 1024;
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(kUnits)) {
        value /= 1024;
        ++unit;
    }
    return Printed("%.2f %s", value, kUnits[unit]);
}

std::string DurationText(double seconds) {
    const auto whole = static_cast<std::int64_t>(std::ceil(std::max(seconds, 0.0)));
    const std::int64_t hours = whole / 3600;
    char text[32];
    if (hours > 0) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(hours),
                      static_cast<long long>(whole / 60 % 60), static_cast<long long>(whole % 60));
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(whole / 60),
                      static_cast<long long>(whole % 60));
    }
    return text;
}

std::string ProgressText(std::int64_t done, std::int64_t total, double elapsed) {
    const std::int64_t percent = total > 0 ? done * 100 / total : 100;
    std::string text =
        ByteCountText(done) + " / " + ByteCountText(total) + "  " + std::to_string(percent) + "%  ";
    if (done <= 0 || elapsed <= 0) {
        return text + "--/s  -- left";
    }
    const double rate = static_cast<double>(done) / elapsed;
    return text + ByteCountText(static_cast<std::int64_t>(rate)) + "/s  " +
           DurationText(static_cast<double>(total - done) / rate) + " left";
}

void ProgressBar::StartPhase(std::int64_t total, Sweep sweep) {
    total_ = std::max<std::int64_t>(total, 0);
    sweep_ = sweep;
    drawnInPhase_ = false;
    if (enabled_) {
        phaseStart_ = clock_();
    }
}

void ProgressBar::Show(int percent) {
    if (!enabled_) {
        return;
    }
    const double now = clock_();
    if (drawnInPhase_ && now - drawnAt_ < kRedrawSeconds) {
        return;
    }
    percent = std::clamp(percent, 0, 100);
    const int share = sweep_ == Sweep::Rising ? percent : 100 - percent;
    const std::string text =
        ProgressText(total_ / 100 * share + total_ % 100 * share / 100, total_, now - phaseStart_);
    // Blanks cover what a longer line before left behind.
    const std::size_t pad = shownLength_ > text.size() ? shownLength_ - text.size() : 0;
    out_ << '\r' << text << std::string(pad, ' ') << std::flush;
    shownLength_ = text.size() + pad;
    drawnAt_ = now;
    drawnInPhase_ = true;
}

void ProgressBar::Erase() {
    if (shownLength_ == 0) {
        return;
    }
    // Blanks rather than an escape sequence, so any console clears alike.
    out_ << '\r' << std::string(shownLength_, ' ') << '\r' << std::flush;
    shownLength_ = 0;
    drawnInPhase_ = false;
}

bool StdoutAndStderrApart() {
#ifdef _WIN32
    return false; // not asked: each file's lines and report go out together
#else
    struct stat out {};
    struct stat err {};
    return ::fstat(STDOUT_FILENO, &out) == 0 && ::fstat(STDERR_FILENO, &err) == 0 &&
           (out.st_dev != err.st_dev || out.st_ino != err.st_ino);
#endif
}

bool StderrIsTerminal() {
#ifdef _WIN32
    return ::_isatty(::_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) != 0;
#endif
}

} // namespace kst::cli
