// SPDX-License-Identifier: MIT
#include "jobfixture.h"

#include <random>
#include <thread>
#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using kst::Field;
using kst::Option;

using namespace kst::msg;

std::vector<std::string> CopyLog(const std::vector<std::string>& log) {
    const auto at = std::find(log.begin(), log.end(), kCreatingOutput);
    return {at, log.end()};
}

struct CopyRow {
    const char* name;
    std::size_t size;
    std::vector<std::size_t> marks;
    bool leading;
    bool padBox;
    const char* pad;
    std::int64_t fzero, mzero, padBytes;
    std::vector<int> copyGauge;
    std::vector<std::string> log;
};

class CopyCase : public JobTest, public testing::WithParamInterface<CopyRow> {};

TEST_P(CopyCase, OutputAndLog) {
    const CopyRow& row = GetParam();
    const Bytes bytes = Filled(row.size, row.marks);
    Drop("in.bin", bytes);
    host.checks[Option::TrimLeading] = row.leading;
    host.checks[Option::WritePad] = row.padBox;
    host.texts[Field::PadText] = row.pad;
    std::vector<int> gaugeBefore;
    host.onYield = [&](int) {
        if (host.events.back() == "buttons:abort" || !gaugeBefore.empty()) {
            gaugeBefore.push_back(host.gauge.back());
        }
    };
    const kst::JobResult result = Run();
    EXPECT_EQ(result.ending, kst::JobEnding::Finished);
    EXPECT_EQ(result.frontRun, row.fzero);
    EXPECT_EQ(result.tailRun, row.mzero);
    EXPECT_EQ(ReadAll(Output()), TrimmedCopy(bytes, row.fzero, row.mzero, row.padBytes));
    EXPECT_EQ(CopyLog(host.log), row.log);
    const auto copyStart = std::find(host.events.begin(), host.events.end(), "buttons:abort");
    std::vector<int> copyGauge;
    for (auto it = copyStart; it != host.events.end(); ++it) {
        if (it->rfind("gauge:", 0) == 0) {
            copyGauge.push_back(std::stoi(it->substr(6)));
        }
    }
    EXPECT_EQ(copyGauge, row.copyGauge);
    EXPECT_EQ(host.events.end()[-2], "buttons:idle");
    EXPECT_TRUE(InputFree());
}

const std::vector<std::string> kFinishedLog{kCreatingOutput, kFinished};

std::vector<std::string> PadLog(const char* pad) {
    return {kCreatingOutput, kPadLine + std::string(pad), kFinished};
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CopyCase,
    testing::Values(
        // 25 bytes, last 12 zero: one full chunk at 50%, then 3 bytes.
        CopyRow{"TrailingRunOnly", 25, {0, 12}, false, false, "0", 0, 12, 0, {50}, kFinishedLog},
        // 30 bytes kept 5..24: two full chunks at 33 and 66, a last write of none.
        CopyRow{"BothRunsEmptyLastChunk",
                30,
                {5, 24},
                true,
                false,
                "0",
                5,
                5,
                0,
                {33, 66},
                kFinishedLog},
        CopyRow{"KeptShorterThanChunk", 25, {2, 4}, true, false, "0", 2, 20, 0, {}, kFinishedLog},
        CopyRow{"LeadingRunOnly", 25, {7, 24}, true, false, "0", 7, 0, 0, {50}, kFinishedLog},
        CopyRow{"Pad16", 25, {3, 9}, true, true, "16", 3, 15, 16, {}, PadLog("16")},
        CopyRow{"PadZeroStillLogged", 25, {3, 9}, true, true, "0", 3, 15, 0, {}, PadLog("0")},
        CopyRow{"PadHex", 25, {3, 9}, true, true, "$10", 3, 15, 16, {}, PadLog("16")},
        CopyRow{
            "PadBoxWithoutLeadingBox", 25, {3, 9}, false, true, "16", 0, 15, 0, {50}, kFinishedLog},
        CopyRow{"LargePadInBlocks",
                25,
                {3, 9},
                true,
                true,
                "200000",
                3,
                15,
                200000,
                {},
                PadLog("200000")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(JobTest, ExistingLargerOutputIsReplaced) {
    Drop("in.bin", Filled(25, {0, 5}));
    dir.Write("in(KST).bin", Bytes(1000, 7));
    Run();
    EXPECT_EQ(ReadAll(Output()), Filled(6, {0, 5}));
}

TEST_F(JobTest, StaleAbortFlagIsClearedWhenTheCopyBegins) {
    Drop("in.bin", Filled(45, {0, 30}));
    host.abortflag = true;
    EXPECT_EQ(Run().ending, kst::JobEnding::Finished);
    EXPECT_EQ(host.log.back(), kFinished);
}

// Abort pressed during the yield after full chunk j: the copy stops at the
// head of chunk j + 1, keeping the pad and the chunks written. After the last
// full chunk the press is not seen.
TEST_F(JobTest, AbortAtEveryChunk) {
    const Bytes bytes = Filled(75, {0, 60});
    constexpr int kFullChunks = 6; // 61 kept bytes: 6 full chunks, rest 1
    for (int j = 0; j < kFullChunks; ++j) {
        Drop("in.bin", bytes);
        host = RecordingHost{};
        host.texts[Field::InputPath] = Utf8(input);
        host.Tick(Option::TrimLeading);
        host.Tick(Option::WritePad);
        host.texts[Field::PadText] = "4";
        int copyYields = 0;
        host.onYield = [&](int) {
            const bool copying = std::find(host.events.begin(), host.events.end(),
                                           "buttons:abort") != host.events.end();
            if (copying && copyYields++ == j) {
                host.abortflag = true;
            }
        };
        const kst::JobResult result = Run();
        if (j < kFullChunks - 1) {
            EXPECT_EQ(result.ending, kst::JobEnding::Aborted) << j;
            EXPECT_EQ(host.log.back(), kAborted);
            Bytes want(4, 0);
            want.insert(want.end(), bytes.begin(), bytes.begin() + 10 * (j + 1));
            EXPECT_EQ(ReadAll(Output()), want) << j;
        } else {
            EXPECT_EQ(result.ending, kst::JobEnding::Finished);
            EXPECT_EQ(host.log.back(), kFinished);
            EXPECT_EQ(ReadAll(Output()), TrimmedCopy(bytes, 0, 14, 4));
        }
        EXPECT_EQ(host.events.end()[-2], "buttons:idle");
        EXPECT_TRUE(InputFree());
    }
}

// A hard link back to the input is refused before anything is emptied; a
// symbolic link there is replaced, never written through.
TEST_F(JobTest, OutputThatIsTheInputIsRefused) {
    const Bytes bytes = Filled(25, {0, 5});
    for (const bool hard : {false, true}) {
#ifdef _WIN32
        if (!hard) {
            continue; // symbolic links need a privilege on Windows
        }
#endif
        std::filesystem::remove_all(dir.Path());
        std::filesystem::create_directories(dir.Path());
        Drop("in.bin", bytes);
        if (hard) {
            std::filesystem::create_hard_link(input, Output());
            EXPECT_EQ(Failure(), CreateFailed(Output()));
            EXPECT_EQ(host.events.back(), "buttons:idle");
        } else {
            std::filesystem::create_symlink(input, Output());
            EXPECT_EQ(Failure(), "no failure");
            EXPECT_EQ(ReadAll(Output()), Bytes(bytes.begin(), bytes.begin() + 6));
        }
        EXPECT_EQ(ReadAll(input), bytes);
    }
}

TEST_F(JobTest, OutputHeldElsewhereIsNotTouched) {
    Drop("in.bin", Filled(25, {0, 5}));
    const Bytes old(40, 9);
    dir.Write("in(KST).bin", old);
    kst::InputFile holder;
    ASSERT_TRUE(holder.Open(Output()));
    EXPECT_EQ(Failure(), CreateFailed(Output()));
    holder.Close(); // on Windows nobody else can read it while held
    EXPECT_EQ(ReadAll(Output()), old);
}

// A bad pad text is refused before the output is created, so an existing file
// of that name keeps its bytes.
TEST_F(JobTest, BadPadTextLeavesExistingOutputAlone) {
    const std::pair<const char*, const char*> rows[] = {
        {"abc", kNotInteger},
        {"-5", kNegativePad},
    };
    for (const auto& [text, pattern] : rows) {
        Drop("in.bin", Filled(25, {3, 5}));
        const Bytes old(40, 9);
        dir.Write("in(KST).bin", old);
        host.Tick(Option::TrimLeading);
        host.Tick(Option::WritePad);
        host.texts[Field::PadText] = text;
        EXPECT_EQ(Failure(), kst::FormatMessage(pattern, text));
        EXPECT_EQ(ReadAll(Output()), old);
        EXPECT_EQ(host.events.back(), "buttons:idle");
        EXPECT_TRUE(InputFree());
    }
}

#ifndef _WIN32
// On Windows the held input cannot be resized (tests/win32 checks that), nor
// is there a file-size limit or a full device to stop a write.
TEST_F(JobTest, InputShrinkingDuringCopyRemovesTheOutput) {
    Drop("in.bin", Filled(45, {0, 40}));
    host.onYield = [this](int) {
        if (host.events.back() == "gauge:20") { // after the copy's first full chunk
            std::filesystem::resize_file(input, 12);
        }
    };
    EXPECT_EQ(Failure(), InputChanged(input));
    EXPECT_FALSE(std::filesystem::exists(Output()));
    EXPECT_EQ(host.events.back(), "buttons:idle");
}

// A write that falls short: the failure names the output, which is removed,
// and the log never says the copy finished. Runs the job in a child process
// whose file-size limit stops the write at limit bytes.
struct ShortWriteRow {
    const char* name;
    rlim_t limit;
};

class ShortWrite : public JobTest, public testing::WithParamInterface<ShortWriteRow> {};

TEST_P(ShortWrite, FailsAndRemovesTheOutput) {
    const Bytes bytes = Filled(45, {3, 40}); // pad 8 + kept 38: 3 full chunks, rest 8
    Drop("in.bin", bytes);
    host.Tick(Option::TrimLeading);
    host.Tick(Option::WritePad);
    host.texts[Field::PadText] = "8";
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{GetParam().limit, GetParam().limit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::string failure = Failure();
        const bool ok = failure == WriteFailed(Output()) && host.log.back() != kFinished &&
                        host.events.back() == "buttons:idle" && !std::filesystem::exists(Output());
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadAll(input), bytes);
}

INSTANTIATE_TEST_SUITE_P(Limits, ShortWrite,
                         testing::Values(ShortWriteRow{"InPad", 5},
                                         ShortWriteRow{"InFirstChunk", 12},
                                         ShortWriteRow{"InLaterChunk", 35},
                                         ShortWriteRow{"InLastChunk", 44}),
                         [](const auto& info) { return std::string(info.param.name); });

// An output that is a device is written in place and never removed on
// failure. Making one at the output path takes root; elsewhere the row skips.
TEST_F(JobTest, FullDeviceFailsWithoutRemovingIt) {
    Drop("in.bin", Filled(25, {0, 5}));
    if (::mknod(Output().c_str(), S_IFCHR | 0666, ::makedev(1, 7)) != 0) { // /dev/full
        GTEST_SKIP() << "cannot make a device node here";
    }
    EXPECT_EQ(Failure(), WriteFailed(Output()));
    EXPECT_TRUE(std::filesystem::is_character_file(Output()));
}
#endif

struct RandomCase {
    Bytes bytes;
    std::int64_t chunkUnit = 1;
    bool readAhead = false;
    bool leading = false;
    bool padBox = false;
    bool measureOnly = false;
    int pad = 0;
};

std::vector<RandomCase> RandomCases(int count) {
    std::mt19937 random(20261207);
    const auto draw = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    std::vector<RandomCase> cases(static_cast<std::size_t>(count));
    for (RandomCase& c : cases) {
        c.bytes.assign(static_cast<std::size_t>(draw(0, 12)), 0);
        for (int i = draw(0, 30); i > 0; --i) {
            c.bytes.push_back(static_cast<std::uint8_t>(draw(0, 3) == 0 ? 0 : draw(1, 255)));
        }
        c.bytes.resize(c.bytes.size() + static_cast<std::size_t>(draw(0, 12)), 0);
        c.chunkUnit = draw(1, 9);
        c.readAhead = draw(0, 3) == 0; // a quarter read ahead
        c.leading = draw(0, 1) == 1;
        c.padBox = draw(0, 1) == 1;
        c.measureOnly = draw(0, 4) == 0;
        c.pad = draw(0, 5);
    }
    return cases;
}

// "" when the job over c in folder matches the plain reference trim.
std::string RandomCaseFault(const RandomCase& c, const TempDir& folder) {
    const std::filesystem::path input = folder.Write("r.bin", c.bytes);
    const std::filesystem::path output = folder.Path() / "r(KST).bin";
    std::filesystem::remove(output);
    RecordingHost host;
    host.texts[Field::InputPath] = Utf8(input);
    host.checks[Option::TrimLeading] = c.leading;
    host.checks[Option::WritePad] = c.padBox;
    host.checks[Option::MeasureOnly] = c.measureOnly;
    host.texts[Field::PadText] = std::to_string(c.pad);
    kst::JobOptions options{0, c.chunkUnit};
    options.readAheadFrom = c.readAhead ? 0 : kst::kReadAheadFrom;

    const Trim want = ReferenceTrim(c.bytes);
    const std::int64_t fzero = c.leading ? want.fzero : 0;
    const kst::JobResult result = kst::RunTrimJob(host, options);
    const bool trims = fzero >= 1 || want.mzero >= 1;
    if (result.tailRun != want.mzero || result.frontRun != fzero) {
        return "runs";
    }
    if (std::filesystem::exists(output) != (trims && !c.measureOnly)) {
        return "output left or missing";
    }
    if (trims && !c.measureOnly &&
        ReadAll(output) !=
            TrimmedCopy(c.bytes, fzero, want.mzero, c.leading && c.padBox ? c.pad : 0)) {
        return "output bytes";
    }
    return "";
}

// Random files, chunk sizes and options against the plain reference trim;
// shared among threads (a folder each), so the waits of opening, closing and
// flushing overlap.
// Chunks of a grain and more, as the window's are: each goes out up to the
// grain's last edge within it, where a file system that shares blocks clones
// whole ones. Wherever this runs (under Wine, on any file system) the bytes
// come out as the reference's, with digests reading them or not.
TEST_F(JobTest, ChunksBeyondTheCloneGrainGiveTheReferenceBytes) {
    std::mt19937 random(4242);
    for (const std::size_t front : {std::size_t{65536}, std::size_t{1000}}) {
        for (const bool hash : {false, true}) {
            Bytes bytes(front, 0);
            for (int i = 0; i < 300000; ++i) {
                bytes.push_back(static_cast<std::uint8_t>(random() | 1));
            }
            bytes.resize(bytes.size() + 5000, 0);
            host = RecordingHost{};
            Drop("grain.bin", bytes);
            host.Tick(Option::TrimLeading);
            options.chunkUnit = 100000;
            ByteRecorder in;
            ByteRecorder out;
            options.inputSink = hash ? &in : nullptr;
            options.outputSink = hash ? &out : nullptr;
            Run();
            const Bytes copy = ReadAll(Output());
            EXPECT_TRUE(copy == TrimmedCopy(bytes, static_cast<std::int64_t>(front), 5000))
                << front << (hash ? " hashed" : "");
            EXPECT_TRUE(!hash || (in.seen == bytes && out.seen == copy)) << front;
        }
    }
}

TEST_F(JobTest, RandomFilesMatchReferenceTrim) {
    const std::vector<RandomCase> cases = RandomCases(2000);
    constexpr int kThreads = 8;
    std::vector<std::string> faults(cases.size());
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&, t] {
            const TempDir folder;
            for (std::size_t i = static_cast<std::size_t>(t); i < cases.size(); i += kThreads) {
                faults[i] = RandomCaseFault(cases[i], folder);
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    const auto first = std::find_if(faults.begin(), faults.end(),
                                    [](const std::string& fault) { return !fault.empty(); });
    EXPECT_TRUE(first == faults.end())
        << "case " << (first - faults.begin()) << ": " << (first == faults.end() ? "" : *first);
}

} // namespace
