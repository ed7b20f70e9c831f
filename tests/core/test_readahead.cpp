// SPDX-License-Identifier: MIT
// Scans on two threads against the same job on one: the same runs, progress,
// yields and output, for chunks cut into several slices and for tiny chunks
// that wrap the slices' window many times. A job that ends early, by its
// answer or by a failure, stops the second thread. The workers themselves:
// every slice tested once, in a buffer of its worker's own, results taken in
// order, and a failure thrown while testing handed to the scan at its slice,
// never out of the thread.
#include "jobfixture.h"
#include "readahead.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <new>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#ifdef __linux__
#include <pthread.h>
#include <sched.h>
#endif

namespace {

using kst::Field;
using kst::Option;

constexpr std::size_t kSlice = kst::kScanSliceBytes;
constexpr std::size_t kChunk = 5000000; // four whole slices and a short one
constexpr std::size_t kBig = 3 * kChunk + 123;
constexpr std::int64_t kInTurn = std::numeric_limits<std::int64_t>::max();

struct AheadRow {
    const char* name;
    std::size_t size;
    std::int64_t unit; // bytes per unit of ComboBox1, which holds 1
    std::vector<std::size_t> marks;
    std::uint8_t fill = 0;
};

void PrintTo(const AheadRow& row, std::ostream* os) {
    *os << row.name;
}

struct Record {
    std::vector<std::string> events;
    kst::JobResult result;
    Bytes output;
};

class ReadAheadScan : public JobTest, public testing::WithParamInterface<AheadRow> {
protected:
    Record RunFrom(std::int64_t readAheadFrom) {
        const AheadRow& row = GetParam();
        host = RecordingHost{};
        Drop("in.bin", Filled(row.size, row.marks, row.fill));
        host.Tick(Option::TrimLeading);
        host.Tick(Option::WritePad);
        host.texts[Field::PadText] = "2";
        host.onYield = [this](int) { host.events.push_back("yield"); };
        options = {row.fill, row.unit, readAheadFrom};
        std::filesystem::remove(Output());
        Record record{{}, Run(), {}};
        record.events = host.events;
        if (std::filesystem::exists(Output())) {
            record.output = ReadAll(Output());
        }
        return record;
    }
};

TEST_P(ReadAheadScan, SameAsReadInTurn) {
    const AheadRow& row = GetParam();
    const Record ahead = RunFrom(0);
    const Record inTurn = RunFrom(kInTurn);
    const Trim want = ReferenceTrim(Filled(row.size, row.marks, row.fill), row.fill);
    EXPECT_EQ(ahead.result.frontRun, want.fzero);
    EXPECT_EQ(ahead.result.tailRun, want.mzero);
    EXPECT_EQ(ahead.events, inTurn.events);
    EXPECT_EQ(ahead.output, inTurn.output);
    EXPECT_EQ(ahead.result.ending == kst::JobEnding::Finished, want.fzero >= 1 || want.mzero >= 1);
}

// Slice edges: leading slices run [0, 1 MiB), [1 MiB, 2 MiB) and so on to
// the chunk's end; trailing ones the same from each chunk's end.
INSTANTIATE_TEST_SUITE_P(
    Layouts, ReadAheadScan,
    testing::Values(AheadRow{"AllZeros", kBig, kChunk, {}},
                    AheadRow{"LastByteOfFirstSlices", kBig, kChunk, {kSlice - 1, kBig - kSlice}},
                    AheadRow{"FirstByteOfSecondSlices", kBig, kChunk, {kSlice, kBig - kSlice - 1}},
                    AheadRow{"InShortSlices", kBig, kChunk, {kChunk - 1, kBig - kChunk}},
                    AheadRow{"InSecondChunk", kBig, kChunk, {kChunk + kSlice, kBig - kChunk - 1}},
                    AheadRow{"InShortLastChunk", kBig, kChunk, {kBig - 5}},
                    AheadRow{"TinyChunksAllZeros", 300, 7, {}},
                    AheadRow{"TinyChunks", 300, 7, {100, 201}},
                    AheadRow{"TinyChunksOtherFill", 300, 7, {6, 293}, 0xFF},
                    AheadRow{"ShorterThanChunk", 5, 7, {2}}, AheadRow{"EmptyInput", 0, 7, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// 300 bytes in chunks of 7: the second thread fills its window long before the scan
// needs it and then waits; a yield that sleeps lets it fall asleep.
class ReadAheadEnd : public JobTest {
protected:
    void SetUp() override {
        Drop("in.bin", Filled(300, {150}));
        host.Tick(Option::TrimLeading);
        options = {0, 7, 0};
    }
    static void LetReaderSleep() { std::this_thread::sleep_for(std::chrono::milliseconds(5)); }
};

TEST_F(ReadAheadEnd, AYieldThatThrowsStopsTheReader) {
    host.onYield = [](int n) {
        LetReaderSleep();
        if (n == 3) {
            throw std::runtime_error("closed");
        }
    };
    EXPECT_THROW(Run(), std::runtime_error);
    EXPECT_TRUE(InputFree());
    EXPECT_EQ(host.yields, 3); // the throwing yield is not counted
}

TEST_F(ReadAheadEnd, AnswerFoundStopsTheReader) {
    host.Tick(Option::MeasureOnly);
    host.onYield = [](int) { LetReaderSleep(); };
    const kst::JobResult result = Run();
    EXPECT_EQ(result.frontRun, 150);
    EXPECT_EQ(result.tailRun, 149);
    EXPECT_TRUE(InputFree());
}

#ifndef _WIN32
// The held input cannot be resized on Windows. The slices read before the cut
// pass their test, and the check after their chunk finds the change.
TEST_F(ReadAheadEnd, ShrinkingAfterTheReaderReadShowsAsAChange) {
    host.onYield = [this](int n) {
        if (n == 2) {
            LetReaderSleep();
            std::filesystem::resize_file(input, 20);
        }
    };
    EXPECT_EQ(Failure(), InputChanged(input));
    EXPECT_FALSE(std::filesystem::exists(Output()));
    EXPECT_TRUE(InputFree());
}
#endif

// Slices tested by a stand-in: each fills the worker's buffer with a byte of
// its own and finds it intact afterwards (no other worker wrote there), and
// slices from kEnd on all end the scan, so both workers may find one.
constexpr std::int64_t kBufferBytes = 64;
constexpr std::int64_t kSlices = 1000; // the window wraps many times
constexpr std::int64_t kEnd = 700;

struct Tested {
    std::vector<std::atomic<int>> times = std::vector<std::atomic<int>>(kSlices);
    std::atomic<bool> buffersShared{false};
};

kst::SliceWorkers::Tester CountingTester(Tested& tested, std::int64_t failAt = -1,
                                         std::function<void()> fail = {}) {
    return [&tested, failAt, fail](std::int64_t slice, std::uint8_t* buffer, int) {
        if (slice == failAt) {
            fail();
        }
        ++tested.times[static_cast<std::size_t>(slice)];
        const auto mark = static_cast<std::uint8_t>(slice);
        std::fill_n(buffer, kBufferBytes, mark);
        std::this_thread::yield();
        if (std::count(buffer, buffer + kBufferBytes, mark) != kBufferBytes) {
            tested.buffersShared = true;
        }
        return kst::SliceResult{slice >= kEnd ? slice * 3 : -1, true, false, nullptr};
    };
}

class Workers : public testing::TestWithParam<bool> {};

TEST_P(Workers, ResultsComeInOrderAndTheFirstEndWins) {
    Tested tested;
    {
        kst::SliceWorkers workers(CountingTester(tested), kSlices, kBufferBytes, GetParam());
        for (std::int64_t slice = 0; slice < kEnd; ++slice) {
            const kst::SliceResult result = workers.Take(slice % 7 == 0 ? slice + 1 : kSlices);
            ASSERT_FALSE(result.EndsScan()) << slice;
            ASSERT_TRUE(result.read) << slice;
        }
        EXPECT_EQ(workers.Take(kSlices).found, kEnd * 3);
    }
    for (std::int64_t slice = 0; slice <= kEnd; ++slice) {
        EXPECT_EQ(tested.times[static_cast<std::size_t>(slice)], 1) << slice;
    }
    EXPECT_FALSE(tested.buffersShared);
}

INSTANTIATE_TEST_SUITE_P(OneAndTwo, Workers, testing::Bool(),
                         [](const auto& info) { return info.param ? "Two" : "One"; });

#ifdef __linux__
// Two workers test on different cores, and the job's thread gets back the
// cores it had: a window's thread left on one core would stay there.
TEST(WorkerCores, ApartDuringTheScanAndGivenBackAfter) {
    cpu_set_t before;
    ASSERT_EQ(::pthread_getaffinity_np(::pthread_self(), sizeof before, &before), 0);
    if (CPU_COUNT(&before) < 2) {
        GTEST_SKIP() << "the process may use one core only";
    }
    std::atomic<std::uint64_t> cores[2] = {0, 0}; // a bit per core each worker ran on
    {
        kst::SliceWorkers workers(
            [&cores](std::int64_t, std::uint8_t*, int worker) {
                cores[worker] |= std::uint64_t{1} << (::sched_getcpu() % 64);
                std::this_thread::sleep_for(std::chrono::microseconds(50));
                return kst::SliceResult{-1, true, false, nullptr};
            },
            kSlices, kBufferBytes, true);
        for (std::int64_t slice = 0; slice < kSlices; ++slice) {
            ASSERT_FALSE(workers.Take(kSlices).EndsScan());
        }
    }
    EXPECT_NE(cores[1].load(), 0U) << "the second worker tested no slice";
    EXPECT_EQ(cores[0] & cores[1], 0U);
    cpu_set_t after;
    ASSERT_EQ(::pthread_getaffinity_np(::pthread_self(), sizeof after, &after), 0);
    EXPECT_TRUE(CPU_EQUAL(&before, &after));
}
#endif

// What the testing throws at slice kFailAt, and what the scan then meets:
// a JobError of the kind given, or (no kind) a failed result.
struct FailureRow {
    const char* name;
    std::function<void()> fail;
    std::optional<kst::ErrorKind> thrown;
};

void PrintTo(const FailureRow& row, std::ostream* os) {
    *os << row.name;
}

constexpr std::int64_t kFailAt = 100; // after the window has wrapped once

class TesterFailure : public testing::TestWithParam<std::tuple<FailureRow, bool>> {};

TEST_P(TesterFailure, ReachesTheScanAtItsSlice) {
    const auto& [row, twoWorkers] = GetParam();
    Tested tested;
    kst::SliceWorkers workers(CountingTester(tested, kFailAt, row.fail), kSlices, kBufferBytes,
                              twoWorkers);
    for (std::int64_t slice = 0; slice < kFailAt; ++slice) {
        ASSERT_FALSE(workers.Take(kSlices).EndsScan()) << slice;
    }
    if (row.thrown) {
        try {
            workers.Take(kSlices);
            FAIL() << "no failure";
        } catch (const kst::JobError& e) {
            EXPECT_EQ(e.Kind(), *row.thrown);
        }
    } else {
        EXPECT_TRUE(workers.Take(kSlices).failed);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Throws, TesterFailure,
    testing::Combine(
        testing::Values(
            FailureRow{"OutOfMemory", [] { throw std::bad_alloc(); }, kst::ErrorKind::OutOfMemory},
            FailureRow{"JobErrorAsItIs",
                       [] { throw kst::JobError(kst::ErrorKind::InputChanged, "changed"); },
                       kst::ErrorKind::InputChanged},
            FailureRow{
                "SystemError", [] { throw std::system_error(EIO, std::generic_category()); }, {}},
            FailureRow{"NotAnException", [] { throw 42; }, {}}),
        testing::Bool()),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) ? "Two" : "One");
    });

// Sanitizers stop the process on a request this size instead of failing it.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
TEST(ChunkBuffer, LengthBeyondMemoryFailsAsOutOfMemory) {
    kst::ChunkBuffer buffer;
    buffer.SetLength(10);
    try {
        buffer.SetLength(std::numeric_limits<std::int64_t>::max());
        FAIL() << "no failure";
    } catch (const kst::JobError& e) {
        EXPECT_EQ(e.Kind(), kst::ErrorKind::OutOfMemory);
        EXPECT_STREQ(e.what(), kst::msg::kOutOfMemory);
    }
}
#endif

} // namespace
