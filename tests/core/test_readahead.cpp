// SPDX-License-Identifier: MIT
// Scans that read ahead on a second thread against the same job reading in
// turn: the same runs, progress, yields and output, for chunks cut into
// several pieces and for tiny chunks that wrap the pieces' ring many times.
// A job that ends early, by its answer or by a failure, stops the reader.
// The ring itself, driven step by step: pieces intact as its slots wrap, and
// a failure thrown while reading handed to the scan, never out of the thread.
#include "jobfixture.h"
#include "readahead.h"

#include <chrono>
#include <limits>
#include <new>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace {

using kst::Field;
using kst::Option;

constexpr std::size_t kPiece = kst::ReadAhead::kPieceBytes;
constexpr std::size_t kChunk = 5000000; // two whole pieces and a short one
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

// Piece edges: leading pieces run [0, 2 MiB), [2 MiB, 4 MiB), [4 MiB, chunk);
// trailing ones the same from each chunk's end.
INSTANTIATE_TEST_SUITE_P(
    Layouts, ReadAheadScan,
    testing::Values(AheadRow{"AllZeros", kBig, kChunk, {}},
                    AheadRow{"LastByteOfFirstPieces", kBig, kChunk, {kPiece - 1, kBig - kPiece}},
                    AheadRow{"FirstByteOfSecondPieces", kBig, kChunk, {kPiece, kBig - kPiece - 1}},
                    AheadRow{"InShortPieces", kBig, kChunk, {kChunk - 1, kBig - kChunk}},
                    AheadRow{"InSecondChunk", kBig, kChunk, {kChunk + kPiece, kBig - kChunk - 1}},
                    AheadRow{"InShortLastChunk", kBig, kChunk, {kBig - 5}},
                    AheadRow{"TinyChunksAllZeros", 300, 7, {}},
                    AheadRow{"TinyChunks", 300, 7, {100, 201}},
                    AheadRow{"TinyChunksOtherFill", 300, 7, {6, 293}, 0xFF},
                    AheadRow{"ShorterThanChunk", 5, 7, {2}}, AheadRow{"EmptyInput", 0, 7, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// 300 bytes in chunks of 7: the reader fills its ring long before the scan
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
// The held input cannot be resized on Windows. The pieces read before the cut
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

// Numbered pieces of up to kSlotBytes, each with bytes of its own, then the
// failed piece that ends a scan; fail runs as piece failAt is read.
constexpr std::int64_t kSlotBytes = 16;
constexpr std::int64_t kPieces = 40; // the ring of 3 wraps 13 times

std::int64_t PieceLength(std::int64_t index) {
    return kSlotBytes - index % 3;
}

std::uint8_t PieceByte(std::int64_t index, std::int64_t i) {
    return static_cast<std::uint8_t>(index * 17 + i);
}

kst::ReadAhead::Producer NumberedPieces(std::int64_t failAt = -1, std::function<void()> fail = {}) {
    return [next = std::int64_t{0}, failAt, fail](std::uint8_t* buffer) mutable -> kst::Piece {
        if (next == failAt) {
            fail();
        }
        if (next == kPieces) {
            return {0, 0, nullptr, false, true, true};
        }
        const std::int64_t index = next++;
        for (std::int64_t i = 0; i < PieceLength(index); ++i) {
            buffer[i] = PieceByte(index, i);
        }
        return {index * kSlotBytes, PieceLength(index), buffer, false, false, true};
    };
}

void ExpectPiece(const kst::Piece& piece, std::int64_t index) {
    ASSERT_FALSE(piece.readFailed) << "piece " << index;
    ASSERT_EQ(piece.pos, index * kSlotBytes);
    ASSERT_EQ(piece.length, PieceLength(index));
    for (std::int64_t i = 0; i < piece.length; ++i) {
        ASSERT_EQ(piece.data[i], PieceByte(index, i)) << "piece " << index << " byte " << i;
    }
}

constexpr int kAll = std::numeric_limits<int>::max();

// How many reads the test lets happen before each hand-over and while the
// scan holds the piece it was handed.
struct ScheduleRow {
    const char* name;
    int readsBefore;
    int readsWhileHeld;
};

void PrintTo(const ScheduleRow& row, std::ostream* os) {
    *os << row.name;
}

class RingSchedule : public testing::TestWithParam<ScheduleRow> {};

TEST_P(RingSchedule, PiecesArriveIntactAsTheSlotsWrap) {
    const ScheduleRow& row = GetParam();
    kst::ReadAhead ring(NumberedPieces(), kSlotBytes, kst::Reading::Driven);
    std::int64_t read = 0;
    const auto readUpTo = [&](int reads) {
        for (int r = 0; r < reads && ring.TryRead(); ++r) {
            ++read;
        }
    };
    for (std::int64_t taken = 0; taken < kPieces; ++taken) {
        readUpTo(row.readsBefore);
        ASSERT_GT(read, taken) << "nothing read to hand over";
        const kst::Piece& piece = ring.Next();
        readUpTo(row.readsWhileHeld);
        if (row.readsWhileHeld == kAll) {
            // Every other slot refilled: the ring holds all it can.
            EXPECT_EQ(read - taken,
                      std::min<std::int64_t>(kst::ReadAhead::kSlots, kPieces + 1 - taken));
        }
        ExpectPiece(piece, taken);
    }
    readUpTo(kAll);
    EXPECT_TRUE(ring.Next().readFailed);
    EXPECT_FALSE(ring.TryRead()); // nothing is read after the last piece
}

INSTANTIATE_TEST_SUITE_P(Schedules, RingSchedule,
                         testing::Values(ScheduleRow{"InStep", 1, 0},
                                         ScheduleRow{"FullRingBeforeEachTake", kAll, 0},
                                         ScheduleRow{"RefilledWhileHeld", 1, kAll},
                                         ScheduleRow{"OneReadEachSide", 1, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// What the reading throws at piece kFailAt, and what the scan then meets:
// a JobError of the kind given, or (no kind) a failed piece.
struct FailureRow {
    const char* name;
    std::function<void()> fail;
    std::optional<kst::ErrorKind> thrown;
};

void PrintTo(const FailureRow& row, std::ostream* os) {
    *os << row.name;
}

constexpr std::int64_t kFailAt = 4; // after the ring has wrapped once

class ReaderFailure : public testing::TestWithParam<std::tuple<FailureRow, kst::Reading>> {};

TEST_P(ReaderFailure, ReachesTheScanAtItsPiece) {
    const auto& [row, reading] = GetParam();
    kst::ReadAhead ring(NumberedPieces(kFailAt, row.fail), kSlotBytes, reading);
    for (std::int64_t index = 0; index < kFailAt; ++index) {
        ExpectPiece(ring.Next(), index);
    }
    if (row.thrown) {
        try {
            ring.Next();
            FAIL() << "no failure";
        } catch (const kst::JobError& e) {
            EXPECT_EQ(e.Kind(), *row.thrown);
        }
    } else {
        EXPECT_TRUE(ring.Next().readFailed);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Throws, ReaderFailure,
    testing::Combine(
        testing::Values(
            FailureRow{"OutOfMemory", [] { throw std::bad_alloc(); }, kst::ErrorKind::OutOfMemory},
            FailureRow{"JobErrorAsItIs",
                       [] { throw kst::JobError(kst::ErrorKind::InputChanged, "changed"); },
                       kst::ErrorKind::InputChanged},
            FailureRow{
                "SystemError", [] { throw std::system_error(EIO, std::generic_category()); }, {}},
            FailureRow{"NotAnException", [] { throw 42; }, {}}),
        testing::Values(kst::Reading::InTurn, kst::Reading::Ahead)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) == kst::Reading::Ahead ? "Ahead" : "InTurn");
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
