// SPDX-License-Identifier: MIT
// Lengths and positions past 2 GiB and 4 GiB, on sparse files.
#include "copywriter.h"
#include "groupdigits.h"
#include "jobfixture.h"
#include "winfiles.h"

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
    EXPECT_EQ(host.log.front(), Utf8(input) + "のサイズは " + std::to_string(row.size));
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

} // namespace
