// SPDX-License-Identifier: MIT
#include "jobfixture.h"

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace {

using kst::Field;
using kst::Option;
using Lines = std::vector<std::string>;

using namespace kst::msg;

std::string Log(std::string_view line) {
    return "log:" + std::string(line);
}

std::string Inform(std::string_view text) {
    return "inform:" + std::string(text);
}

TEST_F(JobTest, AllZeroInputWithLeadingScan) {
    Drop("zero.bin", Bytes(25, 0));
    host.Tick(Option::TrimLeading);
    EXPECT_EQ(Run().ending, kst::JobEnding::NothingToTrim);
    EXPECT_EQ(Steps(), (Lines{"clear", "panel0:", "panel1:", "panel2:", Log(SizeLine(input, 25)),
                              Log(kScanningLeading), "panel0:Front 0=-1", Log(kScanningTrailing),
                              "inform:-1", "panel1:Tail 0=-1", "inform:fzero=-1", "inform:mzero=-1",
                              Log(kNothingToTrim)}));
    EXPECT_FALSE(std::filesystem::exists(Output()));
    EXPECT_TRUE(InputFree());
}

TEST_F(JobTest, EmptyInputWithoutLeadingScan) {
    Drop("empty.bin", {});
    Run();
    EXPECT_EQ(Steps(), (Lines{"clear", "panel0:", "panel1:", "panel2:", Log(SizeLine(input, 0)),
                              Log(kScanningTrailing), "inform:-1", "panel1:Tail 0=-1",
                              "inform:mzero=-1", Log(kNothingToTrim)}));
    EXPECT_EQ(host.gauge, std::vector<int>{100});
}

TEST_F(JobTest, NonZeroAtBothEndsHasNothingToTrim) {
    Drop("full.bin", Filled(25, {0, 24}));
    host.Tick(Option::TrimLeading);
    EXPECT_EQ(Run().ending, kst::JobEnding::NothingToTrim);
    EXPECT_EQ(host.panels[0], "Front 0=0");
    EXPECT_EQ(host.panels[1], "Tail 0=0");
    EXPECT_EQ(host.panels[2], "");
    EXPECT_EQ(host.log.back(), kNothingToTrim);
    EXPECT_FALSE(std::filesystem::exists(Output()));
}

TEST_F(JobTest, MeasureOnlyShowsFiguresAndWritesNothing) {
    Drop("disk.img", Filled(2500, {0, 1299}));
    options.chunkUnit = 1000;
    host.Tick(Option::MeasureOnly);
    const kst::JobResult result = Run();
    EXPECT_EQ(result.ending, kst::JobEnding::MeasureOnly);
    EXPECT_EQ(result.tailRun, 1200);
    EXPECT_EQ(host.panels[1], "Tail 0=1,200");
    EXPECT_EQ(host.panels[2], "Out Size=1,300");
    EXPECT_EQ(host.log.back(), kScanningTrailing);
    EXPECT_FALSE(std::filesystem::exists(Output()));
    EXPECT_TRUE(InputFree());
}

TEST_F(JobTest, MissingOutputFolderAsksForOne) {
    for (const std::string& folder : {std::string(), Utf8(dir.Path() / "missing")}) {
        Drop("disk.img", Filled(25, {3}));
        host.place = kst::OutputPlace::InFolder;
        host.texts[Field::OutputFolder] = folder;
        host.panels[1] = "kept";
        host.events.clear();
        EXPECT_EQ(Run().ending, kst::JobEnding::NoOutputFolder);
        EXPECT_EQ(Steps(), (Lines{"clear", Inform(kSpecifyFolder)}));
        EXPECT_TRUE(InputFree());
    }
}

TEST_F(JobTest, OutputGoesIntoChosenFolder) {
    std::filesystem::create_directory(dir.Path() / u8"出力");
    Drop("表.img", Filled(25, {3}));
    host.place = kst::OutputPlace::InFolder;
    host.texts[Field::OutputFolder] = Utf8(dir.Path() / u8"出力");
    EXPECT_EQ(Run().ending, kst::JobEnding::Finished);
    EXPECT_EQ(ReadAll(dir.Path() / u8"出力" / u8"表(KST).img"), Filled(4, {3}));
}

TEST_F(JobTest, NothingDroppedFailsToOpen) {
    EXPECT_EQ(Failure(), OpenFailed(""));
    EXPECT_EQ(Steps(), Lines{"clear"});
}

#ifndef _WIN32
// Inputs that are no regular file fail at once instead of hanging (the
// Windows kinds are in tests/win32).
TEST_F(JobTest, NonRegularInputsFailToOpen) {
    const std::string fifo = Utf8(dir.Path() / "fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string sock = Utf8(dir.Path() / "sock");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    sock.copy(addr.sun_path, sizeof(addr.sun_path) - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    for (const std::string& path : {Utf8(dir.Path()), fifo, sock, std::string("/dev/zero"),
                                    Utf8(dir.Path() / "missing.bin")}) {
        host.texts[Field::InputPath] = path;
        EXPECT_EQ(Failure(), OpenFailed(path));
    }
    ::close(fd);
}
#endif

TEST_F(JobTest, InputHeldByAnotherJobFailsToOpen) {
    Drop("held.bin", Filled(25, {3}));
    kst::InputFile other;
    ASSERT_TRUE(other.Open(input));
    EXPECT_EQ(Failure(), OpenFailed(input));
    other.Close();
    EXPECT_EQ(Failure(), "no failure");
}

struct ChunkSizeRow {
    const char* name;
    const char* combo;
    std::size_t size;
    const char* pattern; // of the message, given the typed text
    bool sizeLogged;
};

class ChunkSizeFailure : public JobTest, public testing::WithParamInterface<ChunkSizeRow> {};

TEST_P(ChunkSizeFailure, EndsTheJobAndReleasesTheInput) {
    const ChunkSizeRow& row = GetParam();
    Drop("in.bin", Filled(row.size, {}));
    host.texts[Field::ChunkText] = row.combo;
    EXPECT_EQ(Failure(), kst::FormatMessage(row.pattern, row.combo));
    EXPECT_EQ(host.log.size(), row.sizeLogged ? 1u : 0u);
    EXPECT_TRUE(InputFree());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ChunkSizeFailure,
    testing::Values(ChunkSizeRow{"NotInteger", "abc", 5, kNotInteger, false},
                    ChunkSizeRow{"TrailingBlank", "1 ", 5, kNotInteger, false},
                    ChunkSizeRow{"ZeroWithData", "0", 5, kDivideByZero, true},
                    ChunkSizeRow{"ZeroOnEmptyInput", "0", 0, kInvalidOperation, true},
                    ChunkSizeRow{"Negative", "-1", 5, kChunkSizeRange, false},
                    ChunkSizeRow{"Overflowing", "2148", 5, kChunkSizeRange, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(JobTest, LongAndJapanesePathsAreTakenWhole) {
    std::filesystem::path folder = dir.Path();
    for (int i = 0; i < 6; ++i) {
        folder /= std::string(60, static_cast<char>('a' + i));
    }
    std::filesystem::create_directories(folder);
    input = folder / u8"ソフト.bin";
    ASSERT_GT(Utf8(input).size(), 260u);
    std::filesystem::copy_file(dir.Write("src", Filled(25, {1, 2})), input);
    host.texts[Field::InputPath] = Utf8(input);
    EXPECT_EQ(Run().ending, kst::JobEnding::Finished);
    EXPECT_EQ(ReadAll(folder / u8"ソフト(KST).bin"), Filled(3, {1, 2}));
}

// CheckBox3 counts as it stands after the measurement, not at the start.
TEST_F(JobTest, MeasureOnlyTickedDuringScanCounts) {
    Drop("in.bin", Filled(25, {3}));
    host.onYield = [this](int) { host.Tick(Option::MeasureOnly); };
    EXPECT_EQ(Run().ending, kst::JobEnding::MeasureOnly);
    EXPECT_FALSE(std::filesystem::exists(Output()));
}

// ComboBox1 counts only as it stood at the start.
TEST_F(JobTest, ChunkSizeChangedDuringScanIsIgnored) {
    Drop("in.bin", Filled(95, {0}));
    host.onYield = [this](int) { host.texts[Field::ChunkText] = "5"; };
    Run();
    // Ten trailing chunks of 10 bytes, not two of 50; the one kept byte
    // needs no copy progress.
    EXPECT_EQ(host.gauge, (std::vector<int>{100, 90, 80, 70, 60, 50, 40, 30, 20, 10}));
}

#ifndef _WIN32
// The held input cannot be resized on Windows.
TEST_F(JobTest, InputShrinkingDuringScanFailsCleanly) {
    Drop("in.bin", Filled(45, {0}));
    host.onYield = [this](int n) {
        if (n == 1) {
            std::filesystem::resize_file(input, 12);
        }
    };
    EXPECT_EQ(Failure(), InputChanged(input));
    EXPECT_FALSE(std::filesystem::exists(Output()));
    EXPECT_TRUE(InputFree());
}
#endif

// The tail hook's answer is held to the measured run: the copy never reaches
// past the input nor cuts into the kept bytes.
struct TailHookRow {
    const char* name;
    std::int64_t answer;
    std::int64_t removed;
};
void PrintTo(const TailHookRow& row, std::ostream* os) {
    *os << row.name;
}
class TailHook : public JobTest, public testing::WithParamInterface<TailHookRow> {};

TEST_P(TailHook, RemovesWhatTheHookAsksWithinTheRun) {
    const Bytes bytes = Filled(40, {3, 9});
    Drop("hook.bin", bytes);
    kst::MeasuredRuns seen;
    options.tailToRemove = [&](const kst::MeasuredRuns& runs) {
        seen = runs;
        return GetParam().answer;
    };
    const kst::JobResult result = Run();
    EXPECT_EQ((std::vector<std::int64_t>{seen.inputSize, seen.frontRun, seen.tailRun}),
              (std::vector<std::int64_t>{40, 0, 30}));
    EXPECT_EQ(result.tailRun, GetParam().removed);
    if (GetParam().removed > 0) {
        EXPECT_EQ(result.outputSize, 40 - GetParam().removed);
        EXPECT_EQ(ReadAll(Output()), TrimmedCopy(bytes, 0, GetParam().removed));
    } else {
        EXPECT_EQ(result.ending, kst::JobEnding::NothingToTrim);
    }
}

INSTANTIATE_TEST_SUITE_P(Hook, TailHook,
                         testing::Values(TailHookRow{"Shortened", 7, 7},
                                         TailHookRow{"Unchanged", 30, 30},
                                         TailHookRow{"BeyondTheRun", 31, 30},
                                         TailHookRow{"Negative", -1, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// A stop asked for while the sinks take a long removed run is noticed at
// the next piece: the job ends Aborted and leaves no output, whether it
// copies or only measures.
struct SinkStopRow {
    const char* name;
    std::size_t data; // bytes before 64 MiB of zeros
    bool measureOnly;
};
void PrintTo(const SinkStopRow& row, std::ostream* os) {
    *os << row.name;
}
class SinkStop : public JobTest, public testing::WithParamInterface<SinkStopRow> {};

// Asks the job to stop once it has seen the first piece of a run.
class StoppingSink : public kst::ByteSink {
public:
    explicit StoppingSink(RecordingHost& host) : host_(host) {}
    void Run(std::uint8_t, std::int64_t count) override {
        runBytes += count;
        host_.abortflag = true;
    }
    void Bytes(const std::uint8_t*, std::int64_t) override {}
    std::int64_t runBytes = 0;

private:
    RecordingHost& host_;
};

TEST_P(SinkStop, EndsAbortedWithinOnePiece) {
    const std::size_t data = GetParam().data;
    Drop("stop.bin", data > 0 ? Filled(data, {data - 1}) : Bytes{});
    std::filesystem::resize_file(input, data + (std::size_t{64} << 20));
    if (GetParam().measureOnly) {
        host.Tick(kst::Option::MeasureOnly);
    }
    StoppingSink sink(host);
    options.chunkUnit = std::int64_t{1} << 20; // the run is long, not the steps through it
    options.inputSink = &sink;
    EXPECT_EQ(Run().ending, kst::JobEnding::Aborted);
    EXPECT_EQ(sink.runBytes, kst::kRunPieceBytes);
    EXPECT_FALSE(std::filesystem::exists(Output()));
    EXPECT_TRUE(TempFilesIn(dir.Path()).empty());
    EXPECT_TRUE(InputFree());
}

INSTANTIATE_TEST_SUITE_P(Stop, SinkStop,
                         testing::Values(SinkStopRow{"Copy", 10, false},
                                         SinkStopRow{"MeasureOnly", 10, true},
                                         SinkStopRow{"NothingToTrim", 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
