// SPDX-License-Identifier: MIT
#include "outputpath.h"
#include "recordinghost.h"
#include "scan.h"
#include "testfiles.h"

#include <gtest/gtest.h>

namespace {

struct ScanRun {
    std::int64_t result = -2;
    std::vector<int> gauge;
    int yields = 0;
};

enum class Side { Leading, Trailing };

ScanRun Scan(const TempDir& dir, const Bytes& bytes, std::int64_t bufsize, Side side,
             std::uint8_t fill = 0) {
    kst::JobState state;
    state.inputText = Utf8(dir.Write("in.bin", bytes));
    EXPECT_TRUE(state.instream.Open(kst::PathFromUtf8(state.inputText)));
    state.insize = state.instream.Size();
    state.bufsize = bufsize;
    state.grid = kst::MakeChunkGrid(state.insize, bufsize);
    state.fill = fill;
    RecordingHost host;
    ScanRun run;
    if (side == Side::Leading) {
        kst::ScanLeadingZeros(state, host);
        run.result = state.fzero;
    } else {
        kst::ScanTrailingZeros(state, host);
        run.result = state.mzero;
    }
    run.gauge = host.gauge;
    run.yields = host.yields;
    return run;
}

struct GridRow {
    const char* name;
    std::size_t size;
    std::vector<std::size_t> marks;
    std::int64_t fzero;
    std::vector<int> leadingGauge;
    std::int64_t mzero;
    std::vector<int> trailingGauge;
};

class ScanGrid : public testing::TestWithParam<GridRow> {};

// The worked cases at a scale of one byte per 100,000, chunk 10 bytes.
TEST_P(ScanGrid, ResultsAndProgress) {
    const GridRow& row = GetParam();
    const Bytes bytes = Filled(row.size, row.marks);
    const TempDir dir;
    const ScanRun leading = Scan(dir, bytes, 10, Side::Leading);
    EXPECT_EQ(leading.result, row.fzero);
    EXPECT_EQ(leading.gauge, row.leadingGauge);
    EXPECT_EQ(leading.yields, static_cast<int>(row.leadingGauge.size()));
    const ScanRun trailing = Scan(dir, bytes, 10, Side::Trailing);
    EXPECT_EQ(trailing.result, row.mzero);
    EXPECT_EQ(trailing.gauge, row.trailingGauge);
    EXPECT_EQ(trailing.yields, static_cast<int>(row.trailingGauge.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Worked, ScanGrid,
    testing::Values(GridRow{"AllZeroThreeChunks", 25, {}, -1, {0, 33, 66}, -1, {100, 66, 33}},
                    GridRow{"FirstByteOnly", 25, {0}, 0, {0}, 24, {100, 66, 33}},
                    GridRow{"ByteInShortChunk", 25, {5}, 5, {0}, 19, {100, 66, 33}},
                    GridRow{"LastByteOnly", 25, {24}, 24, {0, 33, 66}, 0, {100, 66}},
                    GridRow{"RunAcrossChunks", 25, {12}, 12, {0, 33}, 12, {100, 66, 33}},
                    GridRow{"EmptyLastChunk", 20, {}, -1, {0, 33, 66}, -1, {100, 66, 33}},
                    GridRow{"ShorterThanChunk", 7, {3}, 3, {0}, 3, {100}},
                    GridRow{"EmptyInput", 0, {}, -1, {0}, -1, {100}}),
    [](const auto& info) { return std::string(info.param.name); });

// Every position of the first and last marked byte for many sizes and chunk
// sizes, against the plain reference.
TEST(ScanExhaustive, MatchesReferenceAtEveryBoundary) {
    const TempDir dir;
    for (const std::uint8_t fill : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
        for (std::size_t size = 0; size <= 23; ++size) {
            for (std::int64_t bufsize = 1; bufsize <= 7; ++bufsize) {
                for (std::size_t a = 0; a <= size; ++a) {
                    for (std::size_t b = a; b <= size; b += 3) {
                        std::vector<std::size_t> marks;
                        if (a < size) {
                            marks = {a, std::min(b, size - 1)};
                        }
                        const Bytes bytes = Filled(size, marks, fill);
                        const Trim want = ReferenceTrim(bytes, fill);
                        ASSERT_EQ(Scan(dir, bytes, bufsize, Side::Leading, fill).result, want.fzero)
                            << size << "/" << bufsize << "/" << a << "/" << b;
                        ASSERT_EQ(Scan(dir, bytes, bufsize, Side::Trailing, fill).result,
                                  want.mzero)
                            << size << "/" << bufsize << "/" << a << "/" << b;
                    }
                }
            }
        }
    }
}

} // namespace
