// SPDX-License-Identifier: MIT
// Share mode 0 on both files: nobody else may open the input or the output
// while the job holds them, and the job cannot take a file someone holds.
#include "copywriter.h"
#include "jobfixture.h"
#include "tempname.h"
#include "winfiles.h"

#include <windows.h>

#include <optional>

namespace {

using kst::Field;
using kst::Option;

constexpr Dword kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

TEST_F(JobTest, SecondOpenOfHeldInputIsASharingViolation) {
    Drop("in.bin", Filled(25, {3}));
    kst::InputFile first;
    ASSERT_TRUE(first.Open(input));
    kst::InputFile second;
    EXPECT_FALSE(second.Open(input));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

// Another program holding the input, with every share mode granted, still
// keeps the job out: share mode 0 refuses any handle that can read, write or
// delete. A handle for attributes only does not count.
struct HolderRow {
    const char* name;
    Dword access;
    bool jobOpens;
};

class InputHolder : public JobTest, public testing::WithParamInterface<HolderRow> {};

TEST_P(InputHolder, DecidesWhetherTheJobOpens) {
    Drop("in.bin", Filled(25, {3}));
    ForeignHandle holder(input, GetParam().access, kShareAll);
    ASSERT_TRUE(holder.IsOpen()) << holder.Error();
    if (GetParam().jobOpens) {
        EXPECT_EQ(Run().ending, kst::JobEnding::Finished);
        return;
    }
    EXPECT_EQ(Failure(), OpenFailed(input));
    EXPECT_EQ(Steps(), std::vector<std::string>{"clear"});
    holder.Close();
    EXPECT_EQ(Run().ending, kst::JobEnding::Finished);
}

INSTANTIATE_TEST_SUITE_P(Kinds, InputHolder,
                         testing::Values(HolderRow{"Reader", GENERIC_READ, false},
                                         HolderRow{"Writer", GENERIC_WRITE, false},
                                         HolderRow{"Deleter", DELETE, false},
                                         HolderRow{"AttributesOnly", FILE_READ_ATTRIBUTES, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// While the job runs, from its first yield to its last, every other open of
// the input is a sharing violation, and so is every open of the copy once
// it has been created under its temporary name.
struct AccessRow {
    const char* name;
    Dword access;
};

class WhileTheJobRuns : public JobTest, public testing::WithParamInterface<AccessRow> {};

TEST_P(WhileTheJobRuns, OthersAreKeptOut) {
    const Bytes bytes = Filled(45, {2, 30});
    Drop("in.bin", bytes);
    host.Tick(Option::TrimLeading);
    std::vector<Dword> inputErrors;
    std::vector<Dword> outputErrors;
    host.onYield = [&](int) {
        inputErrors.push_back(OpenError(input, GetParam().access));
        for (const auto& temp : TempFilesIn(dir.Path())) {
            outputErrors.push_back(OpenError(temp, GetParam().access));
        }
    };
    EXPECT_EQ(Run().ending, kst::JobEnding::Finished);
    ASSERT_FALSE(inputErrors.empty());
    ASSERT_FALSE(outputErrors.empty()); // 29 kept bytes: two full chunks
    for (const Dword error : inputErrors) {
        EXPECT_EQ(error, static_cast<Dword>(ERROR_SHARING_VIOLATION));
    }
    for (const Dword error : outputErrors) {
        EXPECT_EQ(error, static_cast<Dword>(ERROR_SHARING_VIOLATION));
    }
    EXPECT_EQ(ReadAll(input), bytes);
    EXPECT_EQ(ReadAll(Output()), Bytes(bytes.begin() + 2, bytes.begin() + 31));
}

INSTANTIATE_TEST_SUITE_P(Kinds, WhileTheJobRuns,
                         testing::Values(AccessRow{"Read", GENERIC_READ},
                                         AccessRow{"Write", GENERIC_WRITE},
                                         AccessRow{"Delete", DELETE}),
                         [](const auto& info) { return std::string(info.param.name); });

// Execute pressed again during a scan: the nested job cannot open the input
// the first one holds; the first goes on undisturbed.
TEST_F(JobTest, NestedJobFailsToOpenTheHeldInput) {
    const Bytes bytes = Filled(45, {0, 30});
    Drop("in.bin", bytes);
    std::string nested = "not run";
    host.onYield = [&](int n) {
        if (n == 0) {
            RecordingHost second;
            second.texts[Field::InputPath] = Utf8(input);
            try {
                kst::RunTrimJob(second, options);
                nested = "no failure";
            } catch (const kst::JobError& e) {
                nested = e.what();
            }
        }
    };
    EXPECT_EQ(Run().ending, kst::JobEnding::Finished);
    EXPECT_EQ(nested, OpenFailed(input));
    EXPECT_EQ(ReadAll(Output()), Bytes(bytes.begin(), bytes.begin() + 31));
}

// An output that another program holds, even one that shares everything,
// cannot be created; its bytes stay as they were and the input is released.
class OutputHolder : public JobTest, public testing::WithParamInterface<AccessRow> {};

TEST_P(OutputHolder, RefusesTheCreate) {
    Drop("in.bin", Filled(25, {0, 5}));
    const Bytes old(40, 9);
    dir.Write("in(KST).bin", old);
    ForeignHandle holder(Output(), GetParam().access, kShareAll);
    ASSERT_TRUE(holder.IsOpen()) << holder.Error();
    EXPECT_EQ(Failure(), CreateFailed(Output()));
    EXPECT_EQ(host.events.back(), "buttons:idle");
    EXPECT_TRUE(InputFree());
    holder.Close();
    EXPECT_EQ(ReadAll(Output()), old);
}

INSTANTIATE_TEST_SUITE_P(Kinds, OutputHolder,
                         testing::Values(AccessRow{"Reader", GENERIC_READ},
                                         AccessRow{"Writer", GENERIC_WRITE}),
                         [](const auto& info) { return std::string(info.param.name); });

// What is no regular file on Windows fails to open at once.
TEST_F(JobTest, NonRegularInputsFailToOpen) {
    for (const std::string& path :
         {Utf8(dir.Path()), std::string("NUL"), std::string("CONIN$"),
          Utf8(dir.Path() / "missing.bin"), Utf8(dir.Path() / "a?.bin")}) {
        host.texts[Field::InputPath] = path;
        EXPECT_EQ(Failure(), OpenFailed(kst::PathFromUtf8(path)));
    }
}

// A device that takes no byte: the write fails with its message and the
// device is neither emptied nor removed. Wine reaches /dev/full through its
// Z: drive.
TEST(FullDevice, WriteFailsAndTheDeviceStays) {
    if (!UnderWine()) {
        GTEST_SKIP() << "needs Wine's Z: drive";
    }
    const TempDir dir;
    const auto input = dir.Write("in.bin", Filled(25, {0, 5}));
    kst::JobState state;
    state.inputText = Utf8(input);
    ASSERT_TRUE(state.instream.Open(input));
    state.insize = state.instream.Size();
    state.outputText = "Z:\\dev\\full";
    state.outputPath = kst::PathFromUtf8(state.outputText);
    state.bufsize = 10;
    state.fzero = 0;
    state.mzero = 19;
    state.outsize = 6;
    RecordingHost host;
    try {
        kst::WriteTrimmedCopy(state, host);
        FAIL() << "no failure";
    } catch (const kst::JobError& e) {
        EXPECT_EQ(e.what(), WriteFailed(state.outputPath));
    }
    EXPECT_EQ(host.events.back(), "buttons:idle");
    EXPECT_TRUE(ForeignHandle(state.outputPath, GENERIC_WRITE, kShareAll).IsOpen());
}

// Temporary files of the same output: one whose process has ended is a dead
// job's and is removed; one of a running process (this one), and one that
// process holds, are left alone; the copy takes a name of its own.
struct TempRow {
    const char* name;
    bool ownProcess;
    bool held;
    bool removed;
};

class LeftTemp : public JobTest, public testing::WithParamInterface<TempRow> {};

TEST_P(LeftTemp, RemovedOnlyWhenItsJobIsGone) {
    const TempRow& row = GetParam();
    const Bytes bytes = Filled(25, {0, 5});
    Drop("in.bin", bytes);
    // Process ids are multiples of 4: 2 is never one.
    const std::uint64_t pid = row.ownProcess ? ::GetCurrentProcessId() : 2;
    const auto temp = dir.Path() / kst::TempName(Output().filename(), pid, 7);
    dir.Write(temp.filename().string(), Bytes(9, 1));
    std::optional<ForeignHandle> holder;
    if (row.held) {
        holder.emplace(temp, GENERIC_WRITE, 0);
        ASSERT_TRUE(holder->IsOpen());
    }
    EXPECT_EQ(Run().ending, kst::JobEnding::Finished);
    EXPECT_EQ(ReadAll(Output()), Bytes(bytes.begin(), bytes.begin() + 6));
    holder.reset();
    EXPECT_EQ(std::filesystem::exists(temp), !row.removed);
    EXPECT_EQ(TempFilesIn(dir.Path()).size(), row.removed ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Rows, LeftTemp,
                         testing::Values(TempRow{"OfAnEndedProcess", false, false, true},
                                         TempRow{"OfARunningProcess", true, false, false},
                                         TempRow{"HeldOpen", true, true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
