// SPDX-License-Identifier: MIT
// Whole commands run in this process: which input may write which copy, and
// what a walk takes. No child is needed to see these faults.
#include "clitest.h"
#include "trimrun.h"

#include <sstream>

namespace {

using nlohmann::json;

struct InProcessRun {
    int status = -1;
    std::vector<json> reports;
    json summary;
};

class CliOutputsTest : public CliTest {
protected:
    const Bytes first = Filled(40, {0, 9});
    const Bytes second = Filled(50, {0, 19});

    void SetUp() override {
        std::filesystem::create_directories(At("d1"));
        std::filesystem::create_directories(At("d2"));
        std::filesystem::create_directories(At("out"));
        dir.Write("d1/a.bin", first);
        dir.Write("d2/a.bin", second);
    }
    std::string Path(const std::string& name) const { return Utf8(At(name)); }
    InProcessRun RunHere(std::vector<std::string> args) const {
        args.insert(args.begin(), {"kestrune-cli", "--json"});
        std::vector<const char*> argv;
        for (const std::string& arg : args) {
            argv.push_back(arg.c_str());
        }
        std::ostringstream out;
        std::ostringstream err;
        InProcessRun run;
        run.status = kst::cli::RunCommand(static_cast<int>(argv.size()), argv.data(), out, err);
        run.reports = JsonLines(out.str());
        run.summary = JsonSummary(out.str());
        return run;
    }
};

struct CollisionRow {
    const char* name;
    std::vector<std::string> options;
    std::vector<std::string> inputs; // under the test's folder
};
void PrintTo(const CollisionRow& row, std::ostream* os) {
    *os << row.name;
}

class CliCollisionTest : public CliOutputsTest, public testing::WithParamInterface<CollisionRow> {};

// The second input fails naming the first, and the first's copy stays.
TEST_P(CliCollisionTest, SecondInputFailsAndNothingIsOverwritten) {
    std::vector<std::string> args = GetParam().options;
    for (const std::string& input : GetParam().inputs) {
        args.push_back(Path(input));
    }
    const InProcessRun run = RunHere(args);
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.reports.size(), 2u);
    EXPECT_EQ(run.reports[0]["status"], "trimmed");
    EXPECT_EQ(run.reports[1]["status"], "failed");
    EXPECT_EQ(run.reports[1]["error_kind"], "output_collision");
    const std::string error = run.reports[1]["error"];
    EXPECT_NE(error.find(" copy of " + run.reports[0]["path"].get<std::string>() + " "),
              std::string::npos)
        << error;
    // The walk spells paths with the system's separator: the first input is
    // read back by the name it was reported under.
    const auto named = [](const json& value) {
        const std::string utf8 = value.get<std::string>();
        return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
    };
    EXPECT_EQ(ReadAll(named(run.reports[0]["output"])),
              TrimmedCopy(ReadAll(named(run.reports[0]["path"])), 0, 30));
    EXPECT_EQ(run.summary["bytes_saved"], 30);
}

INSTANTIATE_TEST_SUITE_P(
    Collision, CliCollisionTest,
    testing::Values(CollisionRow{"TwoFoldersOneOutDir", {"-o"}, {"out", "d1/a.bin", "d2/a.bin"}},
                    CollisionRow{"SkipExistingNeverSkipsACollision",
                                 {"--skip-existing", "-o"},
                                 {"out", "d1/a.bin", "d2/a.bin"}},
                    CollisionRow{"WalkedFolders", {"-r", "-o"}, {"out", "d1", "d2"}},
                    CollisionRow{"OneFileTwice", {}, {"d1/a.bin", "d1/a.bin"}},
                    CollisionRow{"TwoSpellingsOfOneFile", {}, {"d1/a.bin", "d2/../d1/a.bin"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A walk reports a link to a file skipped and leaves its target alone; the
// same link named on the command line is followed.
TEST_F(CliOutputsTest, WalkSkipsLinksToFilesButNamedLinksAreFollowed) {
    std::error_code error;
    std::filesystem::create_symlink(At("d2/a.bin"), At("d1/b.bin"), error);
    if (error) {
        GTEST_SKIP() << "no symbolic links here: " << error.message();
    }
    const InProcessRun walked = RunHere({"-r", Path("d1")});
    ASSERT_EQ(walked.reports.size(), 2u);
    EXPECT_EQ(walked.reports[0]["status"], "trimmed");
    EXPECT_EQ(walked.reports[1]["path"], Path("d1/b.bin"));
    EXPECT_EQ(walked.reports[1]["status"], "skipped");
    EXPECT_FALSE(Exists("d1/b(KST).bin"));
    const InProcessRun named = RunHere({Path("d1/b.bin")});
    ASSERT_EQ(named.reports.size(), 1u);
    EXPECT_EQ(named.reports[0]["status"], "trimmed");
    EXPECT_EQ(ReadAll(At("d1/b(KST).bin")), TrimmedCopy(second, 0, 30));
}

} // namespace
