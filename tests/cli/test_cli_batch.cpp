// SPDX-License-Identifier: MIT
#include "clitest.h"

namespace {

using nlohmann::json;

template <typename Row>
class CliRowTest : public CliTest, public testing::WithParamInterface<Row> {};

template <typename Row> std::string RowName(const testing::TestParamInfo<Row>& info) {
    return info.param.name;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// The one per-file line of a run over one file.
json OnlyReport(const CliRun& run) {
    const std::vector<json> lines = JsonLines(run.out);
    EXPECT_EQ(lines.size(), 1u) << run.out;
    return lines.empty() ? json() : lines[0];
}

struct AlignRow {
    const char* name;
    std::size_t size;
    std::vector<std::size_t> marks; // the kept bytes end at the last mark
    std::vector<std::string> args;
    std::int64_t front;
    std::int64_t pad;
    std::int64_t removed; // of the tail run
    bool warned;          // the tail run was too short to align
};
void PrintTo(const AlignRow& row, std::ostream* os) {
    *os << row.name;
}
using CliAlignTest = CliRowTest<AlignRow>;

TEST_P(CliAlignTest, KeepsEnoughOfTheTailToAlignTheCopy) {
    const AlignRow& row = GetParam();
    const Bytes bytes = Filled(row.size, row.marks);
    dir.Write("a.bin", bytes);
    std::vector<std::string> args = row.args;
    args.insert(args.end(), {"--json", "a.bin"});
    const CliRun run = Run(args);
    EXPECT_EQ(run.status, 0) << run.err;
    const json report = OnlyReport(run);
    EXPECT_EQ(report["tail"], row.removed);
    EXPECT_EQ(report.contains("warnings"), row.warned) << run.err;
    if (row.front > 0 || row.removed > 0) {
        EXPECT_EQ(ReadAll(At("a(KST).bin")), TrimmedCopy(bytes, row.front, row.removed, row.pad));
    } else {
        EXPECT_EQ(report["status"], "nothing_to_trim");
        EXPECT_FALSE(Exists("a(KST).bin"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Align, CliAlignTest,
    testing::Values(
        AlignRow{"ExactMultiple", 3000, {1023}, {"--align", "512"}, 0, 0, 1976, false},
        AlignRow{"OneOver", 3000, {1024}, {"--align", "512"}, 0, 0, 1975 - 511, false},
        AlignRow{"SuffixK", 3000, {1024}, {"--align", "1k"}, 0, 0, 1975 - 1023, false},
        AlignRow{"TailTooShort", 1100, {1024}, {"--align", "1K"}, 0, 0, 0, true},
        AlignRow{
            "TailTooShortAfterFront", 1100, {10, 1034}, {"-l", "--align", "1K"}, 10, 0, 0, true},
        AlignRow{"PadCounted",
                 3000,
                 {10, 1009},
                 {"-l", "-p", "24", "--align", "512"},
                 10,
                 24,
                 1990,
                 false},
        AlignRow{"PadTipsOver",
                 3000,
                 {10, 1009},
                 {"-l", "-p", "25", "--align", "512"},
                 10,
                 25,
                 1990 - 511,
                 false},
        AlignRow{"Pow2OfOne", 20, {0}, {"--align", "pow2"}, 0, 0, 19, false},
        AlignRow{"Pow2OfPowerOfTwo", 3000, {1023}, {"--align", "pow2"}, 0, 0, 1976, false},
        AlignRow{"Pow2OneOver", 3000, {1024}, {"--align", "pow2"}, 0, 0, 1975 - 1023, false},
        AlignRow{"Pow2OneUnder", 3000, {1022}, {"--align", "pow2"}, 0, 0, 1977 - 1, false},
        AlignRow{"Pow2PadCounted",
                 3000,
                 {10, 1009},
                 {"-l", "-p", "25", "--align", "pow2"},
                 10,
                 25,
                 1990 - 1023,
                 false}),
    RowName<AlignRow>);

struct AutoFillRow {
    const char* name;
    Bytes bytes;
    std::int64_t front; // with --leading
    std::int64_t tail;
    std::string note;
};
void PrintTo(const AutoFillRow& row, std::ostream* os) {
    *os << row.name;
}
using CliAutoFillTest = CliRowTest<AutoFillRow>;

TEST_P(CliAutoFillTest, TakesTheFillFromTheLastByte) {
    const AutoFillRow& row = GetParam();
    dir.Write("f.bin", row.bytes);
    const CliRun run = Run({"--fill", "auto", "--leading", "--json", "f.bin"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(HasLine(run, row.note)) << run.err;
    const json report = OnlyReport(run);
    EXPECT_EQ(report["front"], row.front);
    EXPECT_EQ(report["tail"], row.tail);
    if (row.front > 0 || row.tail > 0) {
        EXPECT_EQ(ReadAll(At("f(KST).bin")), TrimmedCopy(row.bytes, row.front, row.tail));
    }
}

INSTANTIATE_TEST_SUITE_P(
    AutoFill, CliAutoFillTest,
    testing::Values(
        AutoFillRow{"LastZero", Filled(40, {5, 20}), 5, 19, "--fill auto: 0x00, the last byte"},
        AutoFillRow{"LastErased", Filled(40, {5, 20}, 0xFF), 5, 19,
                    "--fill auto: 0xFF, the last byte"},
        AutoFillRow{"LastOtherStillTrimsLeadingZeros", Filled(40, {5, 39}), 5, 0,
                    "--fill auto: the last byte is 0x5A, neither 0x00 nor 0xFF; nothing to trim "
                    "at the end"},
        AutoFillRow{"LastOtherKeepsLeadingErased", Filled(40, {5, 39}, 0xFF), 0, 0,
                    "--fill auto: the last byte is 0xA5, neither 0x00 nor 0xFF; nothing to trim "
                    "at the end"}),
    RowName<AutoFillRow>);

struct WarningRow {
    const char* name;
    Bytes bytes;
    std::vector<std::string> args;
    std::string warning; // empty: none
};
void PrintTo(const WarningRow& row, std::ostream* os) {
    *os << row.name;
}
using CliWarningTest = CliRowTest<WarningRow>;

TEST_P(CliWarningTest, WarnsOfAFillRunRightAfterALongRunOfTheOtherByte) {
    const WarningRow& row = GetParam();
    dir.Write("w.bin", row.bytes);
    std::vector<std::string> args = row.args;
    args.insert(args.end(), {"--json", "w.bin"});
    const CliRun run = Run(args);
    EXPECT_EQ(run.status, 0);
    const json report = OnlyReport(run);
    if (row.warning.empty()) {
        EXPECT_FALSE(report.contains("warnings")) << report;
    } else {
        EXPECT_EQ(report["warnings"], json::array({row.warning}));
        EXPECT_TRUE(HasLine(run, row.warning)) << run.err;
    }
}

const Bytes kData = Filled(8, {0, 7});
const std::string kErasedAfterZeros = "warning: the tail run of 0xFF (100 bytes) follows 1,024 or "
                                      "more bytes of 0x00, which stay in the copy: padding of the "
                                      "other byte, or data?";

INSTANTIATE_TEST_SUITE_P(
    Warning, CliWarningTest,
    testing::Values(
        WarningRow{"ErasedAfterZeros",
                   Concat({kData, Bytes(1024, 0x00), Bytes(100, 0xFF)}),
                   {"--fill", "0xFF"},
                   kErasedAfterZeros},
        WarningRow{"MeasureOnly",
                   Concat({kData, Bytes(1024, 0x00), Bytes(100, 0xFF)}),
                   {"--fill", "0xFF", "--measure-only"},
                   kErasedAfterZeros},
        WarningRow{"AutoFill",
                   Concat({kData, Bytes(1024, 0x00), Bytes(100, 0xFF)}),
                   {"--fill", "auto"},
                   kErasedAfterZeros},
        WarningRow{"ZerosAfterErased",
                   Concat({kData, Bytes(5000, 0xFF), Bytes(3, 0x00)}),
                   {},
                   "warning: the tail run of 0x00 (3 bytes) follows 1,024 or more bytes of 0xFF, "
                   "which stay in the copy: padding of the other byte, or data?"},
        WarningRow{"OtherRunOneShort",
                   Concat({kData, Bytes(1023, 0x00), Bytes(100, 0xFF)}),
                   {"--fill", "0xFF"},
                   ""},
        WarningRow{"NoFillRun", Concat({Bytes(2000, 0x00), kData}), {}, ""}),
    RowName<WarningRow>);

// A tree with a copy, a record and a temporary file of an earlier run:
//   t/a.bin t/a(KST).bin t/a.bin.kstrec t/.kestrune-1-2-3.part
//   t/only/flat.bin (nothing to trim) t/sub/c.bin [t/link -> sub]
struct TreeRow {
    const char* name;
    std::vector<std::string> args;
    std::string copies;  // folder of the copies of t's files ("t" or "out")
    std::string statusA; // a.bin's
    std::string statusC; // sub/c.bin's
    json summary;
};
void PrintTo(const TreeRow& row, std::ostream* os) {
    *os << row.name;
}

class CliTreeTest : public CliRowTest<TreeRow> {
protected:
    const Bytes a = Filled(30, {3});
    const Bytes c = Filled(20, {9});
    const Bytes old{1, 2, 3};

    void SetUp() override {
        for (const char* folder : {"t/only", "t/sub", "out"}) {
            std::filesystem::create_directories(At(folder));
        }
        dir.Write("t/a.bin", a);
        dir.Write("t/a(KST).bin", old);
        dir.Write("t/a.bin.kstrec", old);
        dir.Write("t/.kestrune-1-2-3.part", old);
        dir.Write("t/only/flat.bin", Filled(8, {7}));
        dir.Write("t/sub/c.bin", c);
        dir.Write("out/a(KST).bin", old);
#ifndef _WIN32
        std::filesystem::create_directory_symlink("sub", At("t/link"));
#endif
    }
};

json TreeSummary(int trimmed, int measured, int skipped, int saved, int toSave) {
    return {{"files", 3},         {"trimmed", trimmed},   {"measured", measured},
            {"skipped", skipped}, {"failed", 0},          {"nothing_to_trim", 1},
            {"aborted", 0},       {"bytes_saved", saved}, {"bytes_to_save", toSave}};
}

TEST_P(CliTreeTest, WalksTheTreeInNameOrderPastKestrunesOwnFiles) {
    const TreeRow& row = GetParam();
    std::vector<std::string> args = row.args;
    args.insert(args.end(), {"--recursive", "--json", "t"});
    const CliRun run = Run(args);
    EXPECT_EQ(run.status, 0) << run.err;
    const std::vector<json> lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out;
    const std::vector<std::pair<std::string, std::string>> seen{
        {lines[0]["path"], lines[0]["status"]},
        {lines[1]["path"], lines[1]["status"]},
        {lines[2]["path"], lines[2]["status"]}};
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, std::string>>{
                        {Native("t/a.bin"), row.statusA},
                        {Native("t/only/flat.bin"), "nothing_to_trim"},
                        {Native("t/sub/c.bin"), row.statusC}}));
    EXPECT_EQ(JsonSummary(run.out), row.summary);

    const std::string copyA = row.copies + "/a(KST).bin";
    const std::string copyC = row.copies + "/sub/c(KST).bin";
    EXPECT_EQ(ReadAll(At(copyA)), row.statusA == "trimmed" ? TrimmedCopy(a, 0, 26) : old);
    EXPECT_EQ(Exists(copyC), row.statusC == "trimmed");
    if (row.statusC == "trimmed") {
        EXPECT_EQ(ReadAll(At(copyC)), TrimmedCopy(c, 0, 10));
        EXPECT_EQ(lines[2]["output"], Native(copyC));
    }
    // Nothing was written under only/, so no folder was left there.
    EXPECT_FALSE(Exists("out/only"));
    EXPECT_FALSE(Exists("t/a(KST)(KST).bin"));
    EXPECT_EQ(ReadAll(At("t/a.bin.kstrec")), old);
}

INSTANTIATE_TEST_SUITE_P(Tree, CliTreeTest,
                         testing::Values(TreeRow{"BesideReplacesOldCopies",
                                                 {},
                                                 "t",
                                                 "trimmed",
                                                 "trimmed",
                                                 TreeSummary(2, 0, 0, 36, 0)},
                                         TreeRow{"BesideSkipsExisting",
                                                 {"--skip-existing"},
                                                 "t",
                                                 "skipped",
                                                 "trimmed",
                                                 TreeSummary(1, 0, 1, 10, 0)},
                                         TreeRow{"OutDirMirrors",
                                                 {"--out-dir", "out"},
                                                 "out",
                                                 "trimmed",
                                                 "trimmed",
                                                 TreeSummary(2, 0, 0, 36, 0)},
                                         TreeRow{"OutDirSkipsExisting",
                                                 {"--out-dir", "out", "--skip-existing"},
                                                 "out",
                                                 "skipped",
                                                 "trimmed",
                                                 TreeSummary(1, 0, 1, 10, 0)},
                                         TreeRow{"MeasureOnlyNeverSkips",
                                                 {"--out-dir", "out", "-m", "--skip-existing"},
                                                 "out",
                                                 "measured",
                                                 "measured",
                                                 TreeSummary(0, 2, 0, 0, 36)}),
                         RowName<TreeRow>);

TEST_F(CliTreeTest, AFolderWithoutRecursiveFailsAsAFile) {
    const CliRun run = Run({"--json", "t"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(OnlyReport(run)["error_kind"], "open_failed");
    EXPECT_TRUE(HasLine(run, "Summary: 0 trimmed, 0 measured, 0 skipped, 1 failed, 0 nothing to "
                             "trim, 0 aborted; 0 bytes saved, 0 to save in measured files"));
}

} // namespace
