// SPDX-License-Identifier: MIT
// The progress line: its texts, and how often a stream of gauge settings
// redraws it on a clock the test moves.
#include "progressbar.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using kst::cli::Sweep;

constexpr std::int64_t kGiB = std::int64_t{1} << 30;

TEST(ProgressText, Formats) {
    struct Row {
        std::int64_t done;
        std::int64_t total;
        double elapsed;
        const char* text;
    };
    const Row rows[] = {
        {0, 100, 0, "0 B / 100 B  0%  --/s  -- left"},
        {1023, 2048, 1, "1023 B / 2.00 KiB  49%  1023 B/s  0:02 left"},
        {kGiB * 3 / 2, 3 * kGiB, 1.5, "1.50 GiB / 3.00 GiB  50%  1.00 GiB/s  0:02 left"},
        {kGiB, 1024 * kGiB, 1, "1.00 GiB / 1.00 TiB  0%  1.00 GiB/s  17:03 left"},
        {kGiB, 4096 * kGiB, 1, "1.00 GiB / 4.00 TiB  0%  1.00 GiB/s  1:08:15 left"},
        {5, 5, 0.5, "5 B / 5 B  100%  10 B/s  0:00 left"},
        {0, 0, 1, "0 B / 0 B  100%  --/s  -- left"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(kst::cli::ProgressText(row.done, row.total, row.elapsed), row.text);
    }
}

// The texts drawn, in order, for gauge settings at given times.
struct Step {
    double at;
    int percent;
};
struct DrawRow {
    const char* name;
    Sweep sweep;
    std::vector<Step> steps;
    std::vector<std::string> drawn;
};

std::vector<std::string> Drawn(const std::string& out) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    std::string line;
    std::getline(in, line, '\r'); // nothing before the first
    while (std::getline(in, line, '\r')) {
        lines.push_back(line.substr(0, line.find_last_not_of(' ') + 1));
    }
    return lines;
}

class ProgressRedraw : public testing::TestWithParam<DrawRow> {};

TEST_P(ProgressRedraw, AtMostTenTimesASecond) {
    double now = 0;
    std::ostringstream out;
    kst::cli::ProgressBar bar(out, true, [&] { return now; });
    bar.StartPhase(1000, GetParam().sweep);
    for (const Step& step : GetParam().steps) {
        now = step.at;
        bar.Show(step.percent);
    }
    EXPECT_EQ(Drawn(out.str()), GetParam().drawn);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ProgressRedraw,
    testing::Values(
        DrawRow{"FirstAtOnceThenThrottled",
                Sweep::Rising,
                {{0, 0}, {0.01, 1}, {0.05, 2}, {0.09, 3}, {0.11, 4}, {0.15, 5}, {0.5, 50}},
                {"0 B / 1000 B  0%  --/s  -- left", "40 B / 1000 B  4%  363 B/s  0:03 left",
                 "500 B / 1000 B  50%  1000 B/s  0:01 left"}},
        DrawRow{"FallingGaugeCountsUp",
                Sweep::Falling,
                {{0, 100}, {1, 75}, {2, 0}},
                {"0 B / 1000 B  0%  --/s  -- left", "250 B / 1000 B  25%  250 B/s  0:03 left",
                 "1000 B / 1000 B  100%  500 B/s  0:00 left"}},
        DrawRow{"ManyChunksFewDraws",
                Sweep::Rising,
                {{0, 0},
                 {0.03, 10},
                 {0.06, 20},
                 {0.09, 30},
                 {0.12, 40},
                 {0.15, 50},
                 {0.18, 60},
                 {0.21, 70},
                 {0.24, 80},
                 {0.27, 90},
                 {0.30, 100}},
                {"0 B / 1000 B  0%  --/s  -- left", "400 B / 1000 B  40%  3.25 KiB/s  0:01 left",
                 "800 B / 1000 B  80%  3.25 KiB/s  0:01 left"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProgressBar, EraseBlanksTheLineAndANewPhaseDrawsAtOnce) {
    double now = 0;
    std::ostringstream out;
    kst::cli::ProgressBar bar(out, true, [&] { return now; });
    bar.StartPhase(100, Sweep::Rising);
    bar.Show(10);
    const std::size_t drawn = out.str().size() - 1;
    bar.Erase();
    EXPECT_EQ(out.str().substr(drawn + 1), "\r" + std::string(drawn, ' ') + "\r");
    now = 0.01;
    bar.StartPhase(200, Sweep::Rising);
    now = 0.02;
    bar.Show(50);
    EXPECT_EQ(Drawn(out.str()).back(), "100 B / 200 B  50%  9.77 KiB/s  0:01 left");
}

TEST(ProgressBar, DisabledPrintsNothing) {
    std::ostringstream out;
    kst::cli::ProgressBar bar(out, false, [] { return 0.0; });
    bar.StartPhase(100, Sweep::Rising);
    bar.Show(50);
    bar.Erase();
    EXPECT_TRUE(out.str().empty());
}

} // namespace
