// SPDX-License-Identifier: MIT
// Lengths and positions past 2 GiB and 4 GiB, on sparse files.
#include "copywriter.h"
#include "groupdigits.h"
#include "jobfixture.h"
#include "winfiles.h"

#include <thread>

namespace {

using kst::Option;

constexpr std::int64_t k2GiB = std::int64_t{1} << 31;
constexpr std::int64_t k4GiB = std::int64_t{1} << 32;

TEST(LargeFile, SizeAndReadsAcrossFourGiB) {
    const TempDir dir;
    const auto path = dir.Path() / "big.bin";
    const std::int64_t size = k4GiB + k2GiB + 37;
    MakeSparse(path, size, {k2GiB, k4GiB - 1, k4GiB, size - 1});
    kst::InputFile file;
    ASSERT_TRUE(file.Open(path));
    EXPECT_EQ(file.Size(), size);

    Bytes got(16, 0xEE);
    ASSERT_EQ(file.ReadAt(k4GiB - 8, got.data(), 16), 16);
    EXPECT_EQ(got, Filled(16, {7, 8}));
    ASSERT_EQ(file.ReadAt(k2GiB, got.data(), 1), 1);
    EXPECT_EQ(got[0], 0x5A);
    // Short only at the end.
    ASSERT_EQ(file.ReadAt(size - 4, got.data(), 16), 4);
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 4), Filled(4, {3}));
}

// The trailing scan of a measure-only job, 10-byte chunks from the end.
struct TailRow {
    const char* name;
    std::int64_t size;
    std::int64_t mark; // the last non-zero byte
};

class LargeTail : public JobTest, public testing::WithParamInterface<TailRow> {};

TEST_P(LargeTail, IsMeasured) {
    const TailRow& row = GetParam();
    input = dir.Path() / "big.bin";
    MakeSparse(input, row.size, {row.mark});
    host.texts[kst::Field::InputPath] = Utf8(input);
    host.Tick(Option::MeasureOnly);
    const kst::JobResult result = Run();
    const std::int64_t mzero = row.size - 1 - row.mark;
    EXPECT_EQ(result.ending, kst::JobEnding::MeasureOnly);
    EXPECT_EQ(result.inputSize, row.size);
    EXPECT_EQ(result.tailRun, mzero);
    EXPECT_EQ(host.log.front(), SizeLine(input, row.size));
    EXPECT_EQ(host.panels[1], "Tail 0=" + kst::GroupDigits(mzero));
    EXPECT_EQ(host.panels[2], "Out Size=" + kst::GroupDigits(row.size - mzero));
}

INSTANTIATE_TEST_SUITE_P(Sizes, LargeTail,
                         testing::Values(TailRow{"Past2GiB", k2GiB + 40, k2GiB + 3},
                                         TailRow{"Past4GiB", k4GiB + 40, k4GiB + 7},
                                         // The chunk that holds the byte straddles 4 GiB.
                                         TailRow{"Across4GiB", k4GiB + 5, k4GiB - 3},
                                         TailRow{"Past5GiB", k4GiB + k2GiB / 2 + 25,
                                                 k4GiB + k2GiB / 2}),
                         [](const auto& info) { return std::string(info.param.name); });

// The copy reads from past 4 GiB and writes the kept bytes whole.
TEST(LargeFile, CopyFromPastFourGiB) {
    const TempDir dir;
    const auto path = dir.Path() / "big.bin";
    const std::int64_t first = k4GiB + 7;
    MakeSparse(path, first + 40, {first, first + 24});
    kst::JobState state;
    state.inputText = Utf8(path);
    ASSERT_TRUE(state.instream.Open(path));
    state.insize = state.instream.Size();
    state.outputPath = dir.Path() / "big(KST).bin";
    state.outputText = Utf8(state.outputPath);
    state.bufsize = 10;
    state.fzero = first;
    state.mzero = 15;
    state.outsize = 25;
    RecordingHost host;
    EXPECT_EQ(kst::WriteTrimmedCopy(state, host), kst::JobEnding::Finished);
    EXPECT_EQ(host.gauge, (std::vector<int>{33, 66}));
    EXPECT_EQ(ReadAll(state.outputPath), Filled(25, {0, 24}));
}

// Reads from two threads at once, each at its own offset, as the scans'
// read-ahead does: every byte comes from where it was asked for.
TEST(LargeFile, ReadsFromTwoThreadsKeepTheirOffsets) {
    const TempDir dir;
    Bytes bytes(4 << 20);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
    }
    const auto path = dir.Write("pattern.bin", bytes);
    kst::InputFile file;
    ASSERT_TRUE(file.Open(path));
    constexpr std::int64_t kPiece = 4096;
    const auto readAll = [&](std::int64_t from, int* wrong) {
        Bytes got(kPiece);
        for (int round = 0; round < 4; ++round) {
            for (std::int64_t pos = from; pos + kPiece <= std::int64_t(bytes.size());
                 pos += 2 * kPiece) {
                if (file.ReadAt(pos, got.data(), kPiece) != kPiece ||
                    !std::equal(got.begin(), got.end(), bytes.begin() + pos)) {
                    ++*wrong;
                }
            }
        }
    };
    int wrongA = 0;
    int wrongB = 0;
    std::thread other(readAll, kPiece, &wrongB);
    readAll(0, &wrongA);
    other.join();
    EXPECT_EQ(wrongA + wrongB, 0);
}

// A job over an input past the size from which the scans read ahead on a
// second thread, with the window's own chunk unit: the same runs and bytes
// as the plain reference.
TEST_F(JobTest, ReadAheadJobMatchesTheReference) {
    constexpr std::size_t kSize = 80 << 20;
    Bytes bytes(kSize, 0);
    for (std::size_t i = (5 << 20) + 3; i < kSize - (33 << 20) - 7; ++i) {
        bytes[i] = static_cast<std::uint8_t>(1 + (i % 251));
    }
    ASSERT_GE(std::int64_t{kSize}, kst::kReadAheadFrom);
    Drop("big.bin", bytes);
    host.Tick(Option::TrimLeading);
    options = kst::JobOptions{};
    const kst::JobResult result = Run();
    const Trim want = ReferenceTrim(bytes);
    EXPECT_EQ(result.ending, kst::JobEnding::Finished);
    EXPECT_EQ(result.frontRun, want.fzero);
    EXPECT_EQ(result.tailRun, want.mzero);
    EXPECT_TRUE(ReadAll(Output()) == Bytes(bytes.begin() + want.fzero, bytes.end() - want.mzero));
}

} // namespace
