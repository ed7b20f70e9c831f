// SPDX-License-Identifier: MIT
// A copy is whole or absent under its name, however the job ends: killed
// at any moment, its folder removed or locked, its disk full at the flush.
// Whatever stood at the name stays byte for byte until the complete copy
// replaces it; links there are replaced, never written through; the next
// job clears what a dead one left.
#include "faultsupport.h"
#include "jobfixture.h"
#include "tempname.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using kst::Field;
using kst::Option;

constexpr std::size_t kLead = 3;
constexpr std::size_t kKept = 61; // six full chunks of 10 and one of 1
constexpr std::size_t kPad = 4;
constexpr int kFullChunks = 6;
const std::string kPadLog = kst::msg::kPadLine + std::to_string(kPad);

// True when job ended its process by SIGKILL.
bool KilledWhileRunning(const std::function<void()>& job) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        job();
        ::_exit(0);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFSIGNALED(status) &&
           WTERMSIG(status) == SIGKILL;
}

bool Die() {
    ::raise(SIGKILL);
    return true;
}

class Durable : public JobTest {
protected:
    const Bytes bytes = Framed(kLead, kKept, 11, 51);
    const Bytes old = Framed(0, 90, 0, 52);

    void SetUp() override {
        Drop("in.bin", bytes);
        host.Tick(Option::TrimLeading);
        host.Tick(Option::WritePad);
        host.texts[Field::PadText] = std::to_string(kPad);
    }
    void TearDown() override { kst::SetCommitProbe(nullptr); }

    Outcome Whole() const {
        return {"Finished", kst::msg::kFinished, Padded(kPad, bytes, kLead, kLead + kKept),
                kFullChunks};
    }
    // Runs fn during the copy's yield after full chunk k.
    void AtCopyYield(int k, std::function<void()> fn) {
        host.onYield = [this, k, fn, seen = 0](int) mutable {
            const bool copying = host.log.back() == kPadLog;
            if (copying && seen++ == k) {
                fn();
            }
        };
    }
    // The next job, from a fresh window, clears what is left and finishes.
    void NextJobFinishesClean(const fs::path& output) {
        RecordingHost next;
        next.texts = host.texts;
        next.checks = host.checks;
        next.place = host.place;
        EXPECT_EQ(RunJob(next, options, output), Whole());
        EXPECT_TRUE(TempFilesIn(output.parent_path()).empty());
    }
};

enum class KillAt { Pad, FirstChunk, MiddleChunk, LastChunk, BeforeRename };

struct KillRow {
    const char* name;
    KillAt at;
    bool earlierOutput;
};

void PrintTo(const KillRow& row, std::ostream* os) {
    *os << row.name;
}

// Dies right after the pad has been written.
class DyingAtPad : public RecordingHost {
public:
    void AppendLog(std::string_view line) override {
        RecordingHost::AppendLog(line);
        if (line == kPadLog) {
            Die();
        }
    }
};

class KilledCopy : public Durable, public testing::WithParamInterface<KillRow> {};

TEST_P(KilledCopy, LeavesNoPartUnderTheName) {
    const KillRow& row = GetParam();
    if (row.earlierOutput) {
        dir.Write("in(KST).bin", old);
    }
    const bool killed = KilledWhileRunning([&] {
        DyingAtPad dying;
        dying.texts = host.texts;
        dying.checks = host.checks;
        RecordingHost& job = row.at == KillAt::Pad ? dying : host;
        switch (row.at) {
        case KillAt::FirstChunk:
            AtCopyYield(0, Die);
            break;
        case KillAt::MiddleChunk:
            AtCopyYield(kFullChunks / 2, Die);
            break;
        case KillAt::LastChunk:
            AtCopyYield(kFullChunks - 1, Die);
            break;
        case KillAt::BeforeRename:
            kst::SetCommitProbe(&Die);
            break;
        case KillAt::Pad:
            break;
        }
        kst::RunTrimJob(job, options);
    });
    ASSERT_TRUE(killed);
    EXPECT_EQ(OutputAt(Output()), row.earlierOutput ? std::optional(old) : std::nullopt);
    EXPECT_EQ(TempFilesIn(dir.Path()).size(), 1u);
    EXPECT_EQ(ReadAll(input), bytes);
    NextJobFinishesClean(Output());
}

INSTANTIATE_TEST_SUITE_P(Rows, KilledCopy,
                         testing::Values(KillRow{"AtPad", KillAt::Pad, false},
                                         KillRow{"AtPadOverOld", KillAt::Pad, true},
                                         KillRow{"FirstChunk", KillAt::FirstChunk, false},
                                         KillRow{"FirstChunkOverOld", KillAt::FirstChunk, true},
                                         KillRow{"MiddleChunk", KillAt::MiddleChunk, false},
                                         KillRow{"MiddleChunkOverOld", KillAt::MiddleChunk, true},
                                         KillRow{"LastChunk", KillAt::LastChunk, false},
                                         KillRow{"LastChunkOverOld", KillAt::LastChunk, true},
                                         KillRow{"FlushedNotRenamed", KillAt::BeforeRename, false},
                                         KillRow{"FlushedNotRenamedOverOld", KillAt::BeforeRename,
                                                 true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Links at the output name: the complete copy replaces the link; what it
// pointed at is not touched.
enum class LinkTarget { OtherFile, Folder, Nothing };

struct LinkRow {
    const char* name;
    LinkTarget target;
};

void PrintTo(const LinkRow& row, std::ostream* os) {
    *os << row.name;
}

class LinkAtOutput : public Durable, public testing::WithParamInterface<LinkRow> {};

TEST_P(LinkAtOutput, ReplacedNotFollowed) {
    const fs::path other = dir.Write("other.bin", old);
    const fs::path folder = dir.Path() / "folder";
    fs::create_directory(folder);
    dir.Write("folder/inside.bin", old);
    const fs::path nowhere = dir.Path() / "nowhere.bin";
    const fs::path target = GetParam().target == LinkTarget::OtherFile ? other
                            : GetParam().target == LinkTarget::Folder  ? folder
                                                                       : nowhere;
    fs::create_symlink(target, Output());
    EXPECT_EQ(RunJob(host, options, Output()), Whole());
    EXPECT_FALSE(fs::is_symlink(Output()));
    EXPECT_EQ(ReadAll(other), old);
    EXPECT_EQ(ReadAll(folder / "inside.bin"), old);
    EXPECT_EQ(fs::directory_iterator(folder)->path().filename(), "inside.bin");
    EXPECT_FALSE(fs::exists(nowhere));
    EXPECT_TRUE(TempFilesIn(dir.Path()).empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, LinkAtOutput,
                         testing::Values(LinkRow{"ToOtherFile", LinkTarget::OtherFile},
                                         LinkRow{"ToFolder", LinkTarget::Folder},
                                         LinkRow{"Dangling", LinkTarget::Nothing}),
                         [](const auto& info) { return std::string(info.param.name); });

// Something planted at the very name the job's first temporary file takes.
enum class Planted { LinkToOtherFile, LiveJobsFile, DeadJobsFile };

struct PlantRow {
    const char* name;
    Planted what;
};

void PrintTo(const PlantRow& row, std::ostream* os) {
    *os << row.name;
}

class PlantedAtTempName : public Durable, public testing::WithParamInterface<PlantRow> {};

TEST_P(PlantedAtTempName, NeverWrittenThrough) {
    constexpr std::uint64_t kSeed = 20261208;
    kst::SeedTempTokens(kSeed);
    const fs::path planted =
        dir.Path() / kst::TempName(Output().filename(), static_cast<std::uint64_t>(::getpid()),
                                   kst::TempTokenAfter(kSeed, 0));
    const fs::path other = dir.Write("other.bin", old);
    std::optional<HeldElsewhere> holder;
    switch (GetParam().what) {
    case Planted::LinkToOtherFile:
        fs::create_symlink(other, planted);
        break;
    case Planted::LiveJobsFile:
        dir.Write(planted.filename().string(), old);
        holder.emplace(planted);
        ASSERT_TRUE(holder->Held());
        break;
    case Planted::DeadJobsFile:
        dir.Write(planted.filename().string(), old);
        break;
    }
    EXPECT_EQ(RunJob(host, options, Output()), Whole());
    EXPECT_EQ(ReadAll(other), old);
    // A dead job's file is cleared; anything else is left as it was.
    const bool left = GetParam().what != Planted::DeadJobsFile;
    EXPECT_EQ(fs::exists(fs::symlink_status(planted)), left);
    if (GetParam().what == Planted::LiveJobsFile) {
        holder.reset();
        EXPECT_EQ(ReadAll(planted), old);
    }
    EXPECT_EQ(TempFilesIn(dir.Path()).size(), left ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Rows, PlantedAtTempName,
                         testing::Values(PlantRow{"LinkToOtherFile", Planted::LinkToOtherFile},
                                         PlantRow{"LiveJobsFile", Planted::LiveJobsFile},
                                         PlantRow{"DeadJobsFile", Planted::DeadJobsFile}),
                         [](const auto& info) { return std::string(info.param.name); });

// The destination folder taken away or locked by another process mid-copy,
// and a disk that refuses the data at the flush: the job fails, and the
// name holds what it held before.
class OutputFolder : public Durable {
protected:
    fs::path folder = dir.Path() / "out";
    fs::path output;

    void SetUp() override {
        Durable::SetUp();
        fs::create_directory(folder);
        host.place = kst::OutputPlace::InFolder;
        host.texts[Field::OutputFolder] = Utf8(folder);
        output = kst::PathFromUtf8(kst::OutputInFolder(Utf8(folder), Utf8(input)));
        dir.Write("out/in(KST).bin", old);
    }
    Outcome Failed(std::optional<Bytes> left) const {
        return {WriteFailed(output), kPadLog, std::move(left), kFullChunks};
    }
};

TEST_F(OutputFolder, RemovedMidCopy) {
    bool removed = false;
    AtCopyYield(1, [&] { removed = InOtherProcess([&] { fs::remove_all(folder); }); });
    EXPECT_EQ(RunJob(host, options, output), Failed(std::nullopt));
    EXPECT_TRUE(removed);
    EXPECT_EQ(ReadAll(input), bytes);
}

TEST_F(OutputFolder, MadeReadOnlyMidCopy) {
    fs::permissions(dir.Path(), fs::perms(0755));
    fs::permissions(input, fs::perms(0644));
    HandToUnprivileged(folder);
    HandToUnprivileged(output);
    AtCopyYield(1, [&] { fs::permissions(folder, fs::perms(0555)); });
    const ChildRun run =
        RunJobInChild([](std::string&) { return BecomeUnprivileged(); }, host, options, output);
    fs::permissions(folder, fs::perms(0755));
    if (!run.skipped.empty()) {
        GTEST_SKIP() << run.skipped;
    }
    EXPECT_EQ(run.outcome, Failed(old));
    // The temporary file could not be removed from the locked folder either.
    EXPECT_EQ(TempFilesIn(folder).size(), 1u);
    NextJobFinishesClean(output);
}

TEST_F(OutputFolder, DiskFullAtTheFlush) {
    kst::SetCommitProbe([] { return false; });
    EXPECT_EQ(RunJob(host, options, output), Failed(old));
    EXPECT_TRUE(TempFilesIn(folder).empty());
    kst::SetCommitProbe(nullptr);
    NextJobFinishesClean(output);
}

} // namespace
