// SPDX-License-Identifier: MIT
#include "clitest.h"
#include "kestrune_version.h"

namespace {

struct UsageRow {
    const char* name;
    std::vector<std::string> args;
    std::string message; // part of stderr
};
void PrintTo(const UsageRow& row, std::ostream* os) {
    *os << row.name;
}

class CliUsageTest : public CliTest, public testing::WithParamInterface<UsageRow> {};

TEST_P(CliUsageTest, RefusesBeforeTouchingAnyFile) {
    dir.Write("a.bin", Filled(20, {0}));
    dir.Write("a.txt", Filled(20, {0}));
    const CliRun run = Run(GetParam().args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
    EXPECT_FALSE(Exists("a(KST).bin"));
}

INSTANTIATE_TEST_SUITE_P(
    Args, CliUsageTest,
    testing::Values(
        UsageRow{"NoFile", {"--leading"}, "FILE is required"},
        UsageRow{"ChunkZero", {"--chunk", "0", "a.bin"}, "'0' is not an integer from 1 to 2147"},
        UsageRow{"ChunkAboveRange", {"--chunk", "2148", "a.bin"}, "'2148' is not an integer"},
        UsageRow{"ChunkNegative", {"--chunk=-1", "a.bin"}, "'-1' is not an integer"},
        UsageRow{"ChunkFraction", {"--chunk", "1.5", "a.bin"}, "'1.5' is not an integer"},
        UsageRow{"ChunkTrailingBlank", {"--chunk", "5 ", "a.bin"}, "'5 ' is not an integer"},
        UsageRow{"ChunkWithoutValue", {"a.bin", "--chunk"}, "--chunk"},
        UsageRow{"PadNegative", {"-l", "--pad=-1", "a.bin"}, "'-1' is not an integer from 0"},
        UsageRow{"PadNotNumber", {"-l", "--pad", "ten", "a.bin"}, "'ten' is not an integer"},
        UsageRow{"PadWithoutLeading", {"--pad", "4", "a.bin"}, "--pad requires --leading"},
        UsageRow{"FillOtherByte", {"--fill", "0x01", "a.bin"}, "'0x01' is not 0x00, 0xFF or auto"},
        UsageRow{"FillDecimal", {"--fill", "255", "a.bin"}, "'255' is not 0x00, 0xFF or auto"},
        UsageRow{"AlignZero", {"--align", "0", "a.bin"}, "'0' is not pow2 or a size"},
        UsageRow{"AlignNegative", {"--align=-512", "a.bin"}, "'-512' is not pow2"},
        UsageRow{"AlignUnknownSuffix", {"--align", "4T", "a.bin"}, "'4T' is not pow2"},
        UsageRow{"AlignSuffixAlone", {"--align", "K", "a.bin"}, "'K' is not pow2"},
        UsageRow{"AlignOtherWord", {"--align", "pow3", "a.bin"}, "'pow3' is not pow2"},
        UsageRow{"OutDirMissing", {"--out-dir", "nowhere", "a.bin"}, "nowhere"},
        UsageRow{"OutDirIsFile", {"--out-dir", "a.txt", "a.bin"}, "a.txt"},
        UsageRow{"UnknownOption", {"--frobnicate", "a.bin"}, "--frobnicate"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliTest, HelpListsEveryOption) {
    const CliRun run = Run({"--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* option :
         {"--out-dir", "--chunk", "--leading", "--pad", "--measure-only", "--fill", "--json",
          "--progress", "--version", "--align", "--recursive", "--skip-existing"}) {
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(run.out.find("--chunk-unit"), std::string::npos);
}

TEST_F(CliTest, VersionIsTheProjectVersion) {
    const CliRun run = Run({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "kestrune-cli " KESTRUNE_VERSION_STRING "\n");
}

} // namespace
