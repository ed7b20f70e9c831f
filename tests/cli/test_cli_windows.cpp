// SPDX-License-Identifier: MIT
// kestrune-cli.exe typed at a cmd.exe prompt, which passes wildcards and
// quotes on to the program; its output read from a pipe as UTF-8.
#include "clitest.h"
#include "joberror.h"
#include "messages.h"
#include "winargs.h"

namespace {

struct Expected {
    std::string path;
    std::string status;
    std::string errorKind; // for a failure
};

struct PromptRow {
    const char* name;
    std::string command;
    int exitStatus;
    std::vector<Expected> files;
};
void PrintTo(const PromptRow& row, std::ostream* os) {
    *os << row.name;
}

class CliPromptTest : public CliTest, public testing::WithParamInterface<PromptRow> {
protected:
    void SetUp() override {
        for (const char* name : {"ロム2.bin", "b.bin", "ロム1.bin", "あ.bin", "c.txt"}) {
            dir.Write(name, Filled(300, {0}));
        }
        std::filesystem::create_directory(At("d.bin"));
    }
};

TEST_P(CliPromptTest, ExpandsUnquotedWildcards) {
    const CliRun run = RunAtPrompt(GetParam().command);
    EXPECT_EQ(run.status, GetParam().exitStatus) << run.err;
    const std::vector<nlohmann::json> lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), GetParam().files.size()) << run.out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Expected& file = GetParam().files[i];
        EXPECT_EQ(lines[i]["path"], file.path);
        EXPECT_EQ(lines[i]["status"], file.status);
        EXPECT_EQ(lines[i].value("error_kind", ""), file.errorKind);
        if (file.errorKind.empty()) {
            EXPECT_TRUE(HasLine(run, kst::FormatMessage(kst::msg::kSizeLine, file.path) + "300"))
                << run.err;
            continue;
        }
        // A failure is logged as reported; one to open adds the system's reason.
        const std::string error = lines[i].value("error", "");
        EXPECT_TRUE(HasLine(run, error)) << error << " not in\n" << run.err;
        EXPECT_TRUE(error.starts_with(kst::FormatMessage(
            file.errorKind == "no_match" ? kst::cli::kNoMatch : kst::msg::kOpenFailed, file.path)))
            << error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cmd, CliPromptTest,
    testing::Values(PromptRow{"PatternGivesFilesInNameOrder",
                              "kestrune-cli.exe --json *.bin",
                              0,
                              {{"b.bin", "trimmed", ""},
                               {"あ.bin", "trimmed", ""},
                               {"ロム1.bin", "trimmed", ""},
                               {"ロム2.bin", "trimmed", ""}}},
                    PromptRow{"QuotedPatternIsAName",
                              "kestrune-cli.exe --json \"*.bin\"",
                              1,
                              {{"*.bin", "failed", "open_failed"}}},
                    PromptRow{"PatternMatchingNothing",
                              "kestrune-cli.exe --json --measure-only *.img ロム?.bin",
                              1,
                              {{"*.img", "failed", "no_match"},
                               {"ロム1.bin", "measured", ""},
                               {"ロム2.bin", "measured", ""}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliTest, SlashQuestionMarkPrintsTheHelp) {
    const CliRun run = RunAtPrompt("kestrune-cli.exe /?");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, RunCli({"--help"}).out);
    EXPECT_NE(run.out.find("kestrune-cli.exe --json roms\\*.bin"), std::string::npos) << run.out;
}

TEST_F(CliTest, RestoreExpandsRecordPatterns) {
    dir.Write("a.bin", Filled(300, {0}));
    ASSERT_EQ(Run({"--record", "a.bin"}).status, 0);
    std::filesystem::create_directory(At("restored"));
    const CliRun run =
        RunAtPrompt("kestrune-cli.exe restore --json --out-dir restored *.kstrec *.none");
    EXPECT_EQ(run.status, 1) << run.err;
    const std::vector<nlohmann::json> lines = AllJsonLines(run.out);
    ASSERT_EQ(lines.size(), 2U) << run.out;
    EXPECT_EQ(lines[0]["record"], "a(KST).bin.kstrec");
    EXPECT_EQ(lines[0]["status"], "restored");
    EXPECT_EQ(lines[1]["record"], "*.none");
    EXPECT_EQ(lines[1]["error"], kst::FormatMessage(kst::cli::kNoMatch, "*.none"));
    EXPECT_EQ(ReadAll(At("restored/a.bin")), Filled(300, {0}));
}

} // namespace
