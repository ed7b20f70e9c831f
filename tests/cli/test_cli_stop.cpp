// SPDX-License-Identifier: MIT
#include "clitest.h"

#include <csignal>

namespace {

using nlohmann::json;

// One-byte chunks over a megabyte: each phase takes far longer than a signal
// takes to arrive, so the stop lands inside the phase it is aimed at.
constexpr std::size_t kSize = 1000000;

struct StopRow {
    const char* name;
    int signal;
    bool leading;          // with a file of zeros: the stop lands in the leading scan
    const char* stopAfter; // the log line after which the signal is sent
};
void PrintTo(const StopRow& row, std::ostream* os) {
    *os << row.name;
}

class CliStopTest : public CliTest, public testing::WithParamInterface<StopRow> {
protected:
    CliRun RunAndStop(const std::vector<std::string>& files) {
        std::vector<std::string> args{"--json", "--chunk-unit", "1"};
        if (GetParam().leading) {
            args.push_back("--leading");
        }
        args.insert(args.end(), files.begin(), files.end());
        CliSetup setup;
        setup.onErrLine = [this](const std::string& line) {
            return line == GetParam().stopAfter ? GetParam().signal : 0;
        };
        return Run(args, setup);
    }
};

TEST_P(CliStopTest, EndsTheRunWithTheSignalsStatus) {
    const StopRow& row = GetParam();
    const Bytes bytes = row.leading ? Filled(kSize, {}) : Filled(kSize, {0, kSize - 11});
    dir.Write("long.bin", bytes);
    dir.Write("next.bin", Filled(20, {0}));
    const Bytes earlier = Filled(30, {0, 1, 2});
    dir.Write("long(KST).bin", earlier);
    const CliRun run = RunAndStop({"long.bin", "next.bin"});

    EXPECT_EQ(run.status, 128 + row.signal);
    const std::vector<std::string> errLines = run.ErrLines();
    ASSERT_GE(errLines.size(), 2u);
    EXPECT_EQ(errLines[errLines.size() - 2], kst::msg::kAborted);
    EXPECT_EQ(JsonSummary(run.out)["aborted"], 1);
    EXPECT_FALSE(Exists("next(KST).bin")) << "no file is started after a stop";
    const auto lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["status"], "aborted");
    // The copy under way is dropped: an earlier one keeps its bytes, and no
    // temporary is left beside it.
    EXPECT_EQ(lines[0]["output"], nullptr);
    EXPECT_EQ(ReadAll(At("long(KST).bin")), earlier);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3);
}

INSTANTIATE_TEST_SUITE_P(
    Stop, CliStopTest,
    testing::Values(StopRow{"InterruptDuringCopy", SIGINT, false, kst::msg::kCreatingOutput},
                    StopRow{"TerminateDuringCopy", SIGTERM, false, kst::msg::kCreatingOutput},
                    StopRow{"InterruptDuringMeasure", SIGINT, true, kst::msg::kScanningLeading}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
