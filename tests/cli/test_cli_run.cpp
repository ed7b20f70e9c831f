// SPDX-License-Identifier: MIT
#include "clitest.h"

namespace {

using nlohmann::json;

TEST_F(CliTest, TrimsEveryFileAndGoesOnPastAFailure) {
    const Bytes tail = Filled(50, {3, 20});
    const Bytes both = Filled(60, {10, 40});
    dir.Write("tail.bin", tail);
    dir.Write("both.bin", both);
    const CliRun run = Run({"--leading", "tail.bin", "gone.bin", "both.bin"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(ReadAll(At("tail(KST).bin")), TrimmedCopy(tail, 3, 29));
    EXPECT_EQ(ReadAll(At("both(KST).bin")), TrimmedCopy(both, 10, 19));
    EXPECT_FALSE(Exists("gone(KST).bin"));
    EXPECT_TRUE(HasLine(run, WithReason(OpenFailed("gone.bin"), kNoSuchFile)));
    const auto lines = run.ErrLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), kst::msg::kFinished), 2);
}

TEST_F(CliTest, LogsTheWindowsLinesAndFigures) {
    dir.Write("disk.img", Filled(2500, {0, 1299}));
    const CliRun run = Run({"disk.img"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.ErrLines(),
              (std::vector<std::string>{SizeLine("disk.img", 2500), kst::msg::kScanningTrailing,
                                        "Tail 0=1,200", "Out Size=1,300", kst::msg::kCreatingOutput,
                                        kst::msg::kFinished,
                                        "Summary: 1 trimmed, 0 measured, 0 skipped, 0 failed, 0 "
                                        "nothing to trim, 0 aborted; 1,200 bytes saved, 0 to save "
                                        "in measured files"}));
    EXPECT_EQ(run.out, "");
}

TEST_F(CliTest, JsonReportsEachFileInOrder) {
    dir.Write("trim.bin", Filled(40, {5, 9}));
    dir.Write("flat.bin", Filled(8, {0, 7}));
    dir.Write("zero.bin", Filled(8, {}));
    const CliRun run = Run({"--json", "trim.bin", "flat.bin", "zero.bin", "gone.bin"});
    EXPECT_EQ(run.status, 1);
    const std::vector<json> expected{
        {{"path", "trim.bin"},
         {"size", 40},
         {"front", 0},
         {"tail", 30},
         {"out_size", 10},
         {"output", "trim(KST).bin"},
         {"status", "trimmed"}},
        {{"path", "flat.bin"},
         {"size", 8},
         {"front", 0},
         {"tail", 0},
         {"out_size", nullptr},
         {"output", nullptr},
         {"status", "nothing_to_trim"}},
        {{"path", "zero.bin"},
         {"size", 8},
         {"front", 0},
         {"tail", -1},
         {"out_size", nullptr},
         {"output", nullptr},
         {"status", "nothing_to_trim"}},
        {{"path", "gone.bin"},
         {"size", nullptr},
         {"front", nullptr},
         {"tail", nullptr},
         {"out_size", nullptr},
         {"output", nullptr},
         {"status", "failed"},
         {"error", WithReason(OpenFailed("gone.bin"), kNoSuchFile)},
         {"error_kind", "open_failed"},
         {"os_error", kNoSuchFileName}},
    };
    EXPECT_EQ(JsonLines(run.out), expected);
    EXPECT_TRUE(Exists("trim(KST).bin"));
    EXPECT_FALSE(Exists("flat(KST).bin"));
}

TEST_F(CliTest, MeasureOnlyReportsAndWritesNothing) {
    dir.Write("m.bin", Filled(30, {4, 25}));
    const CliRun run = Run({"--json", "--measure-only", "--leading", "m.bin"});
    EXPECT_EQ(run.status, 0);
    const json expected{{"path", "m.bin"}, {"size", 30},        {"front", 4},          {"tail", 4},
                        {"out_size", 22},  {"output", nullptr}, {"status", "measured"}};
    EXPECT_EQ(JsonLines(run.out), std::vector<json>{expected});
    EXPECT_TRUE(HasLine(run, "Out Size=22"));
    EXPECT_FALSE(Exists("m(KST).bin"));
}

struct FillRow {
    const char* name;
    std::vector<std::string> args;
    std::uint8_t dataFill;
    std::uint8_t trimmedFill; // the byte the run should trim
};
void PrintTo(const FillRow& row, std::ostream* os) {
    *os << row.name;
}

class CliFillTest : public CliTest, public testing::WithParamInterface<FillRow> {};

TEST_P(CliFillTest, TrimsRunsOfTheChosenByte) {
    const FillRow& row = GetParam();
    const Bytes bytes = Filled(64, {7, 50}, row.dataFill);
    dir.Write("rom.bin", bytes);
    std::vector<std::string> args = row.args;
    args.insert(args.end(), {"--leading", "--json", "rom.bin"});
    const CliRun run = Run(args);
    EXPECT_EQ(run.status, 0);
    const Trim trim = ReferenceTrim(bytes, row.trimmedFill);
    const auto lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["front"], trim.fzero);
    EXPECT_EQ(lines[0]["tail"], trim.mzero);
    if (trim.fzero > 0 || trim.mzero > 0) {
        EXPECT_EQ(ReadAll(At("rom(KST).bin")), TrimmedCopy(bytes, trim.fzero, trim.mzero));
    } else {
        EXPECT_EQ(lines[0]["status"], "nothing_to_trim");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fill, CliFillTest,
    testing::Values(FillRow{"Default", {}, 0x00, 0x00},
                    FillRow{"ZeroNamed", {"--fill", "0x00"}, 0x00, 0x00},
                    FillRow{"Erased", {"--fill", "0xFF"}, 0xFF, 0xFF},
                    FillRow{"ErasedLowerCase", {"-f", "0xff"}, 0xFF, 0xFF},
                    FillRow{"DefaultKeepsErasedPadding", {}, 0xFF, 0x00},
                    FillRow{"ErasedKeepsZeroPadding", {"--fill", "0xFF"}, 0x00, 0xFF}),
    [](const auto& info) { return std::string(info.param.name); });

struct OutDirRow {
    const char* name;
    std::string outDir;
    std::string output; // as the job names it
};
void PrintTo(const OutDirRow& row, std::ostream* os) {
    *os << row.name;
}

class CliOutDirTest : public CliTest, public testing::WithParamInterface<OutDirRow> {};

TEST_P(CliOutDirTest, WritesIntoTheFolder) {
    const Bytes bytes = Filled(20, {2, 9});
    dir.Write("d.bin", bytes);
    std::filesystem::create_directory(At("out"));
    const CliRun run = Run({"--json", "--out-dir", GetParam().outDir, "d.bin"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ReadAll(At("out/d(KST).bin")), TrimmedCopy(bytes, 0, 10));
    EXPECT_FALSE(Exists("d(KST).bin"));
    const auto lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["output"], GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(OutDir, CliOutDirTest,
                         testing::Values(OutDirRow{"Plain", "out",
                                                   std::string("out") + kSeparator + "d(KST).bin"},
                                         OutDirRow{"TrailingSeparator", "out/",
                                                   std::string("out") + kSeparator + "d(KST).bin"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Names in UTF-8 on the command line; on Windows they become UTF-16 names,
// with "表" and "ソ" carrying a "\" as a Shift-JIS second byte.
TEST_F(CliTest, JapaneseNamesPassThrough) {
    const Bytes bytes = Filled(20, {2, 9});
    dir.Write("表ソデータ.bin", bytes);
    const CliRun run = Run({"--json", "表ソデータ.bin"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ReadAll(At("表ソデータ(KST).bin")), TrimmedCopy(bytes, 0, 10));
    EXPECT_TRUE(HasLine(run, kst::FormatMessage(kst::msg::kSizeLine, "表ソデータ.bin") + "20"));
    const auto lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["path"], "表ソデータ.bin");
    EXPECT_EQ(lines[0]["output"], "表ソデータ(KST).bin");
}

TEST_F(CliTest, PadLeadsTheKeptBytesWithZeros) {
    const Bytes bytes = Filled(30, {5, 20});
    dir.Write("p.bin", bytes);
    const CliRun run = Run({"--leading", "--pad", "0x10", "p.bin"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ReadAll(At("p(KST).bin")), TrimmedCopy(bytes, 5, 9, 16));
    EXPECT_TRUE(HasLine(run, kst::msg::kPadLine + std::string("16")));
}

TEST_F(CliTest, RefusesAnOutputThatIsTheInput) {
    const Bytes bytes = Filled(20, {1});
    dir.Write("s.bin", bytes);
    std::filesystem::create_hard_link(At("s.bin"), At("s(KST).bin"));
    const CliRun run = Run({"--json", "s.bin"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(ReadAll(At("s.bin")), bytes);
    const auto lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["status"], "failed");
    EXPECT_EQ(lines[0]["error"], CreateFailed("s(KST).bin"));
    EXPECT_EQ(lines[0]["error_kind"], "same_file");
    EXPECT_EQ(lines[0]["os_error"], nullptr);
}

TEST_F(CliTest, ShortWriteFailsAndRemovesTheIncompleteOutput) {
    dir.Write("big.bin", Filled(5000, {0, 2999}));
    const Bytes small = Filled(100, {0, 49});
    dir.Write("small.bin", small);
    CliSetup setup;
    setup.fileSizeLimit = 1000;
    const CliRun run = Run({"--json", "big.bin", "small.bin"}, setup);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(HasLine(run, WithReason(WriteFailed("big(KST).bin"), EFBIG)));
    EXPECT_FALSE(Exists("big(KST).bin"));
    EXPECT_EQ(ReadAll(At("small(KST).bin")), TrimmedCopy(small, 0, 50));
    const auto lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["status"], "failed");
    EXPECT_EQ(lines[0]["os_error"], "EFBIG");
    EXPECT_EQ(lines[0]["output"], nullptr);
    EXPECT_EQ(lines[0]["size"], 5000) << "figures measured before the failure are kept";
    EXPECT_EQ(lines[0]["tail"], 2000);
    EXPECT_EQ(lines[0]["out_size"], 3000);
    EXPECT_EQ(lines[1]["status"], "trimmed");
}

// The terminal's line counts the bytes of each phase: the trailing scan's
// first, then the copy's (2000 bytes), its size taken from the figure.
TEST_F(CliTest, TerminalShowsTheBytesOfEachPhase) {
    dir.Write("g.bin", Filled(3000, {0, 1999}));
    CliSetup setup;
    setup.stderrTerminal = true;
    const CliRun run =
        Run({"--progress", "--chunk-unit", "100", "--chunk", "1", "--leading", "g.bin"}, setup);
    EXPECT_EQ(run.status, 0);
    for (const char* line : {"\r0 B / 2.93 KiB  0%", " / 1.95 KiB  "}) {
        EXPECT_NE(run.err.find(line), std::string::npos) << line;
    }
}

TEST_F(CliTest, ProgressDrawsNothingWithoutATerminal) {
    dir.Write("g.bin", Filled(100, {0}));
    const CliRun run = Run({"--progress", "--chunk-unit", "10", "g.bin"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err.find('\r'), std::string::npos);
    EXPECT_EQ(run.err.find('%'), std::string::npos);
}

} // namespace
