// SPDX-License-Identifier: MIT
// Scans that read ahead on a second thread against the same job reading in
// turn: the same runs, progress, yields and output, for chunks cut into
// several pieces and for tiny chunks that wrap the pieces' ring many times.
// A job that ends early, by its answer or by a failure, stops the reader.
#include "jobfixture.h"
#include "readahead.h"

#include <chrono>
#include <limits>
#include <stdexcept>
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
    EXPECT_EQ(Failure(), "ファイル " + Utf8(input) + " は読み込み中に変更されました");
    EXPECT_FALSE(std::filesystem::exists(Output()));
    EXPECT_TRUE(InputFree());
}
#endif

} // namespace
