// SPDX-License-Identifier: MIT
#include "report.h"

#include <cstdio>

namespace bench {
namespace {

std::string Fixed(double value, int decimals, const char* suffix = "") {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f%s", decimals, value, suffix);
    return text;
}

void Line(const std::string& name, const std::string& chunk, const std::string& ours,
          const std::string& baseline, const std::string& ratio, const std::string& target,
          const std::string& met) {
    std::printf("%-50s %7s %10s %10s %8s %9s %4s\n", name.c_str(), chunk.c_str(), ours.c_str(),
                baseline.c_str(), ratio.c_str(), target.c_str(), met.c_str());
    std::fflush(stdout);
}

std::string Target(double minRatio) {
    return ">= " + Fixed(minRatio, minRatio < 10 ? 2 : 0, "x");
}

} // namespace

Report::Report() {
    Line("case", "chunk", "ours", "baseline", "ratio", "target", "met");
}

void Report::Baseline(const std::string& name, const std::string& chunk, const Measured& run) {
    Line(name, chunk, "", Fixed(run.speed.GBps(), 2, " GB/s"), "1.00x", "", "");
}

void Report::Case(const std::string& name, const std::string& chunk, const Measured& run,
                  double minRatio) {
    Row(name, chunk, Fixed(run.speed.GBps(), 2, " GB/s"), "", Fixed(run.ratio, 2, "x"),
        Target(minRatio), run.ratio >= minRatio);
}

void Report::Versus(const std::string& name, const std::string& chunk, const Measured& ours,
                    const Measured& baseline, double minRatio) {
    const std::string oursText = Fixed(ours.speed.seconds, 3, " s");
    const std::string baselineText = Fixed(baseline.speed.seconds, 3, " s");
    const std::string ratio = Fixed(ours.ratio, 2, "x");
    if (minRatio <= 0) {
        Line(name, chunk, oursText, baselineText, ratio, "", "");
        return;
    }
    Row(name, chunk, oursText, baselineText, ratio, Target(minRatio), ours.ratio >= minRatio);
}

void Report::Skipped(const std::string& name, const std::string& chunk, const std::string& why) {
    Line(name, chunk, "", "", "", "", "skipped");
    Note("(" + why + ")");
}

void Report::Memory(const std::string& name, const std::string& chunk, double mib,
                    double limitMib) {
    AtMost(name, chunk, mib, limitMib, " MiB", 1);
}

void Report::AtMost(const std::string& name, const std::string& chunk, double value, double limit,
                    const char* unit, int decimals) {
    Row(name, chunk, Fixed(value, decimals, unit), "", "", "<= " + Fixed(limit, decimals, unit),
        value <= limit);
}

void Report::Seconds(const std::string& name, const std::string& chunk, double seconds) {
    Line(name, chunk, Fixed(seconds, 3, " s"), "", "", "", "");
}

void Report::Note(const std::string& text) {
    std::printf("  %s\n", text.c_str());
    std::fflush(stdout);
}

void Report::Row(const std::string& name, const std::string& chunk, const std::string& ours,
                 const std::string& baseline, const std::string& ratio, const std::string& target,
                 bool met) {
    if (!met) {
        ++missed_;
    }
    Line(name, chunk, ours, baseline, ratio, target, met ? "OK" : "NO");
}

bool Report::Finish() const {
    if (missed_ == 0) {
        std::printf("all targets met\n");
    } else {
        std::printf("%d target(s) missed\n", missed_);
    }
    return missed_ == 0;
}

} // namespace bench
