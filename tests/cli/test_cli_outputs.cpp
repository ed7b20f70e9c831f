// SPDX-License-Identifier: MIT
// Whole commands run in this process: which input may write which copy, and
// what a walk takes. No child is needed to see these faults.
#include "clitest.h"
#include "file.h"
#include "joberror.h"
#include "messages.h"
#include "outputbatch.h"
#include "tempname.h"
#include "trimrun.h"

#include <atomic>
#include <sstream>

namespace {

using nlohmann::json;

struct InProcessRun {
    int status = -1;
    std::vector<json> reports;
    json summary;
    std::string err;
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
        run.err = err.str();
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

// A batch's copies wait in one group and are committed together. A fault at
// one of them fails that file alone: the others are whole under their names,
// each reported after its own "終わり", in input order; nothing of the failed
// one is left, under its name or a temporary one.
enum class GroupFault { None, FolderAtTheCopysName, FlushFails };

struct GroupRow {
    const char* name;
    GroupFault fault;
    const char* errorKind; // of the third file
};
void PrintTo(const GroupRow& row, std::ostream* os) {
    *os << row.name;
}

// The lines of err that are among lines, in the order they came.
std::vector<std::string> LinesAmong(const std::string& err, const std::vector<std::string>& lines) {
    std::vector<std::string> seen;
    std::istringstream text(err);
    for (std::string line; std::getline(text, line);) {
        if (std::find(lines.begin(), lines.end(), line) != lines.end()) {
            seen.push_back(line);
        }
    }
    return seen;
}

class CliGroupTest : public CliOutputsTest, public testing::WithParamInterface<GroupRow> {
protected:
    static constexpr int kFiles = 5;
    static constexpr int kFaulty = 2;
    void TearDown() override { kst::SetCommitProbe(nullptr); }
    static bool ThirdFlushFails() {
        static std::atomic<int> flushes{0};
        return ++flushes % kFiles != kFaulty + 1;
    }
    static std::string Name(int i, const char* suffix) {
        return "d1/" + std::string(1, static_cast<char>('a' + i)) + suffix;
    }
};

TEST_P(CliGroupTest, AFaultFailsOnlyItsOwnFile) {
    std::vector<std::string> args;
    for (int i = 0; i < kFiles; ++i) {
        dir.Write(Name(i, ".bin"), first);
        args.push_back(Path(Name(i, ".bin")));
    }
    if (GetParam().fault == GroupFault::FolderAtTheCopysName) {
        std::filesystem::create_directories(At(Name(kFaulty, "(KST).bin")));
    }
    if (GetParam().fault == GroupFault::FlushFails) {
        kst::SetCommitProbe(&ThirdFlushFails);
    }
    const InProcessRun run = RunHere(args);
    ASSERT_EQ(run.reports.size(), static_cast<std::size_t>(kFiles));
    std::vector<std::string> lines; // each file's first and last
    for (int i = 0; i < kFiles; ++i) {
        lines.push_back(kst::FormatMessage(kst::msg::kSizeLine, args[i]) +
                        std::to_string(first.size()));
        const bool faulty = i == kFaulty && GetParam().fault != GroupFault::None;
        EXPECT_EQ(run.reports[i]["path"], args[i]);
        EXPECT_EQ(run.reports[i]["status"], faulty ? "failed" : "trimmed") << i;
        if (faulty) {
            EXPECT_EQ(run.reports[i]["error_kind"], GetParam().errorKind);
            EXPECT_FALSE(std::filesystem::is_regular_file(At(Name(i, "(KST).bin"))));
            lines.push_back(run.reports[i]["error"]);
        } else {
            EXPECT_EQ(ReadAll(At(Name(i, "(KST).bin"))), TrimmedCopy(first, 0, 30)) << i;
            lines.push_back(kst::msg::kFinished);
        }
    }
    EXPECT_EQ(run.status, GetParam().fault == GroupFault::None ? 0 : 1);
    EXPECT_TRUE(TempFilesIn(At("d1")).empty());
    // Each file's outcome comes before the next file's first line.
    EXPECT_EQ(LinesAmong(run.err, lines), lines);
}

// A copy too large to wait in the group: the copies waiting are committed
// and reported before its first line, not after its whole copy.
TEST_F(CliGroupTest, CopiesWaitingAreCommittedBeforeOneTooLargeToJoinThem) {
    constexpr std::uintmax_t kLarge = std::uintmax_t{65} << 20; // above a group's 64 MiB
    dir.Write("d1/b.bin", Filled(1, {0}));
    std::filesystem::resize_file(At("d1/b.bin"), kLarge); // a hole, then the tail run
    const std::vector<std::string> args{Path("d1/a.bin"), Path("d1/b.bin"), Path("d1/a2.bin")};
    dir.Write("d1/a2.bin", first);
    // At each flush: is the first copy in place yet?
    static std::filesystem::path firstCopy;
    static std::vector<bool> placed;
    firstCopy = At("d1/a(KST).bin");
    placed.clear();
    kst::SetCommitProbe([] {
        placed.push_back(std::filesystem::exists(firstCopy));
        return true;
    });
    const InProcessRun run = RunHere(args);
    EXPECT_EQ(placed, (std::vector<bool>{false, true, true})) << "the large copy went first";
    ASSERT_EQ(run.reports.size(), args.size());
    for (const json& report : run.reports) {
        EXPECT_EQ(report["status"], "trimmed") << report;
    }
    const auto sizeLine = [&](std::size_t i, std::uintmax_t size) {
        return kst::FormatMessage(kst::msg::kSizeLine, args[i]) + std::to_string(size);
    };
    const std::vector<std::string> lines{sizeLine(0, first.size()), kst::msg::kFinished,
                                         sizeLine(1, kLarge),       kst::msg::kFinished,
                                         sizeLine(2, first.size()), kst::msg::kFinished};
    EXPECT_EQ(LinesAmong(run.err, lines), lines);
    EXPECT_EQ(std::filesystem::file_size(At("d1/b(KST).bin")), 1U);
}

INSTANTIATE_TEST_SUITE_P(
    Group, CliGroupTest,
    testing::Values(GroupRow{"AllCommitted", GroupFault::None, ""},
                    GroupRow{"FolderAtTheCopysName", GroupFault::FolderAtTheCopysName,
                             "create_failed"},
                    GroupRow{"FlushFails", GroupFault::FlushFails, "write_failed"}),
    [](const auto& info) { return std::string(info.param.name); });

// A copy waiting in a batch may have no name until it is committed; a file
// that appeared at its name meanwhile is replaced, as a named temporary's
// rename would have replaced it, and nothing is left besides.
TEST_F(CliOutputsTest, WaitingCopyReplacesAFileThatAppearedAtItsName) {
    kst::InputFile input;
    ASSERT_TRUE(input.Open(At("d1/a.bin")));
    kst::OutputBatch batch;
    auto output = std::make_unique<kst::OutputFile>();
    const std::filesystem::path copy = At("d1/a(KST).bin");
    ASSERT_EQ(output->Create(copy, input, kst::SpecialDestination::WriteInPlace, &batch.Temps(),
                             kst::Waiting::InBatch),
              kst::CreateResult::Created);
    ASSERT_EQ(output->Write(first.data(), 10), 10);
    dir.Write("d1/a(KST).bin", second);
    batch.Hold(std::move(output), 10, Utf8(copy));
    const auto outcomes = batch.Commit();
    ASSERT_EQ(outcomes.size(), 1U);
    EXPECT_FALSE(outcomes[0].has_value());
    EXPECT_EQ(ReadAll(copy), Bytes(first.begin(), first.begin() + 10));
    EXPECT_TRUE(TempFilesIn(At("d1")).empty());
}

// Stale temporaries of the copies written are still removed, from one listing
// of their folder per run: a name that appears after it is not seen again.
TEST_F(CliOutputsTest, StaleTemporariesAreSweptFromOneListingOfTheFolder) {
    const std::uint64_t deadProcess = 999999;
    const auto stale = [&](const char* copy, std::uint64_t token) {
        const auto path = At("d1") / kst::TempName(copy, deadProcess, token);
        dir.Write(Utf8(path.lexically_relative(dir.Path())), first);
        return path;
    };
    const auto ofA = stale("a(KST).bin", 1);
    const auto ofB = stale("b(KST).bin", 2);
    dir.Write("d1/b.bin", first);
    const InProcessRun run = RunHere({Path("d1/a.bin"), Path("d1/b.bin")});
    EXPECT_EQ(run.status, 0);
    EXPECT_FALSE(std::filesystem::exists(ofA));
    EXPECT_FALSE(std::filesystem::exists(ofB));

    kst::FolderTemps temps;
    EXPECT_TRUE(temps.In(At("d1")).empty());
    const auto late = stale("c(KST).bin", 3);
    EXPECT_TRUE(temps.In(At("d1")).empty());
    EXPECT_EQ(kst::FolderTemps().In(At("d1")), std::vector{late.filename()});
}

} // namespace
