// SPDX-License-Identifier: MIT
// Faults at the output path: links back to the input, a file or folder that
// may not be written, a folder that disappears while the job measures, a
// folder standing where the output goes. The job fails naming the output;
// the input and whatever stood at the path are left as they were.
#include "faultsupport.h"
#include "jobfixture.h"

#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using kst::Field;
using kst::Option;

constexpr const char* kCreating = kst::msg::kCreatingOutput;

class OutputFault : public JobTest {
protected:
    const Bytes bytes = Framed(4, 30, 9, 21);
    const Bytes old = Framed(0, 64, 0, 22);

    void SetUp() override { Drop("in.bin", bytes); }

    // The output in a chosen folder.
    fs::path Into(const fs::path& folder) {
        host.place = kst::OutputPlace::InFolder;
        host.texts[Field::OutputFolder] = Utf8(folder);
        return kst::PathFromUtf8(kst::OutputInFolder(Utf8(folder), Utf8(input)));
    }

    // Lets kNobody read the input and reach the folder.
    void OpenToUnprivileged() {
        fs::permissions(dir.Path(), fs::perms(0755));
        fs::permissions(input, fs::perms(0644));
    }
};

// A hard link shares the input's very bytes: refused before anything is
// emptied. A symbolic link is a name of its own: the copy replaces the link
// and its target is never written through.
struct LinkRow {
    const char* name;
    int kind; // 0 symlink, 1 hard link, 2 symlink to a symlink
};

void PrintTo(const LinkRow& row, std::ostream* os) {
    *os << row.name;
}

class LinkToInput : public OutputFault, public testing::WithParamInterface<LinkRow> {};

TEST_P(LinkToInput, NeverWrittenThrough) {
    const fs::path output = Output();
    const bool hard = GetParam().kind == 1;
    switch (GetParam().kind) {
    case 0:
        fs::create_symlink(input, output);
        break;
    case 1:
        fs::create_hard_link(input, output);
        break;
    default:
        fs::create_symlink(input, dir.Path() / "hop");
        fs::create_symlink(dir.Path() / "hop", output);
    }
    const Outcome want = hard
                             ? Outcome{CreateFailed(output), kCreating, bytes, 0}
                             : Outcome{"Finished", kst::msg::kFinished, Padded(0, bytes, 0, 34), 3};
    EXPECT_EQ(RunJob(host, options, output), want);
    EXPECT_EQ(ReadAll(input), bytes);
    EXPECT_FALSE(fs::is_symlink(output));
    EXPECT_EQ(fs::equivalent(input, output), hard);
}

INSTANTIATE_TEST_SUITE_P(Rows, LinkToInput,
                         testing::Values(LinkRow{"Symlink", 0}, LinkRow{"HardLink", 1},
                                         LinkRow{"SymlinkChain", 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OutputFault, ReadOnlyExistingOutput) {
    OpenToUnprivileged();
    HandToUnprivileged(dir.Path());
    const fs::path output = Output();
    dir.Write("in(KST).bin", old);
    HandToUnprivileged(output);
    fs::permissions(output, fs::perms(0444));
    const ChildRun run =
        RunJobInChild([](std::string&) { return BecomeUnprivileged(); }, host, options, output);
    if (!run.skipped.empty()) {
        GTEST_SKIP() << run.skipped;
    }
    EXPECT_EQ(run.outcome, (Outcome{CreateFailed(output), kCreating, old, 0}));
    EXPECT_EQ(ReadAll(input), bytes);
}

TEST_F(OutputFault, OutputFolderWithoutWritePermission) {
    OpenToUnprivileged();
    const fs::path folder = dir.Path() / "locked";
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms(0555));
    const fs::path output = Into(folder);
    const ChildRun run =
        RunJobInChild([](std::string&) { return BecomeUnprivileged(); }, host, options, output);
    if (!run.skipped.empty()) {
        GTEST_SKIP() << run.skipped;
    }
    EXPECT_EQ(run.outcome, (Outcome{CreateFailed(output), kCreating, std::nullopt, 0}));
    EXPECT_EQ(ReadAll(input), bytes);
}

TEST_F(OutputFault, FolderAtTheOutputPath) {
    const fs::path output = Output();
    fs::create_directory(output);
    fs::create_directory(output / "inside");
    const Outcome got = RunJob(host, options, output);
    EXPECT_EQ(got.ending, CreateFailed(output));
    EXPECT_EQ(got.lastLog, kCreating);
    EXPECT_TRUE(fs::is_directory(output / "inside"));
    EXPECT_EQ(ReadAll(input), bytes);
}

// The chosen folder is removed (or replaced by a file) by another process
// during a scan; the job finds out when it creates the output.
struct FolderGoneRow {
    const char* name;
    const char* scanLog; // the scan during whose first yield it goes
    bool fileInItsPlace;
};

void PrintTo(const FolderGoneRow& row, std::ostream* os) {
    *os << row.name;
}

class FolderGone : public OutputFault, public testing::WithParamInterface<FolderGoneRow> {};

TEST_P(FolderGone, WhileMeasuring) {
    const FolderGoneRow& row = GetParam();
    const fs::path folder = dir.Path() / "out";
    fs::create_directory(folder);
    const fs::path output = Into(folder);
    host.Tick(Option::TrimLeading);
    bool removed = false;
    host.onYield = [&](int) {
        if (!removed && host.log.back() == row.scanLog) {
            removed = InOtherProcess([&] {
                fs::remove(folder);
                if (row.fileInItsPlace) {
                    dir.Write("out", old);
                }
            });
        }
    };
    EXPECT_EQ(RunJob(host, options, output),
              (Outcome{CreateFailed(output), kCreating, std::nullopt, 0}));
    EXPECT_TRUE(removed);
    EXPECT_EQ(ReadAll(input), bytes);
    if (row.fileInItsPlace) {
        EXPECT_EQ(ReadAll(folder), old);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FolderGone,
    testing::Values(FolderGoneRow{"DuringLeadingScan", kst::msg::kScanningLeading, false},
                    FolderGoneRow{"DuringTrailingScan", kst::msg::kScanningTrailing, false},
                    FolderGoneRow{"ReplacedByFile", kst::msg::kScanningTrailing, true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
