// SPDX-License-Identifier: MIT
// Scans over files with holes, on one thread and on two, against the same
// bytes stored in full: the same results, progress, yields and output. Holes
// lie at chunk edges and inside chunks, and zeros are written back into part
// of a punched range.
#include "fastpathtest.h"

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kBlock = 4096;

using BlockRanges = std::vector<std::pair<std::int64_t, std::int64_t>>; // [from, to)

struct HoleRow {
    const char* name;
    std::int64_t blocks; // length in blocks of 4 KiB
    std::vector<std::size_t> marks;
    BlockRanges holes;
    BlockRanges zeros; // written back with zero bytes after the punching
    std::uint8_t fill = 0;
};

void PrintTo(const HoleRow& row, std::ostream* os) {
    *os << row.name;
}

// Chunk sizes: one block, unaligned, three blocks, sixteen, the whole file;
// then for each hole those that put an edge of the leading or the trailing
// grid one byte either side of the hole's start and end.
std::vector<std::int64_t> Units(const HoleRow& row) {
    std::vector<std::int64_t> units{4096, 10000, 12288, 65536, 1000000};
    const std::int64_t size = row.blocks * kBlock;
    for (const auto& [from, to] : row.holes) {
        for (const std::int64_t edge : {from * kBlock, to * kBlock}) {
            for (const std::int64_t unit : {edge - 1, edge + 1, size - edge - 1, size - edge + 1}) {
                if (unit > 0) {
                    units.push_back(unit);
                }
            }
        }
    }
    return units;
}

class HoleScan : public FastPathTest, public testing::WithParamInterface<HoleRow> {
protected:
    // The row's file at the dropped path; false when the file system made no
    // holes of it.
    bool MakeSparse() {
        const HoleRow& row = GetParam();
        Drop("in.bin", Filled(static_cast<std::size_t>(row.blocks * kBlock), row.marks, row.fill));
        for (const auto& [from, to] : row.holes) {
            if (!PunchHole(input, from * kBlock, to * kBlock)) {
                return false;
            }
        }
        for (const auto& [from, to] : row.zeros) {
            WriteAt(input, from * kBlock, Bytes(static_cast<std::size_t>((to - from) * kBlock), 0));
        }
        return HasHoles(input);
    }
};

TEST_P(HoleScan, SameRunAsTheBytesStoredInFull) {
    const HoleRow& row = GetParam();
    options.fill = row.fill;
    for (const std::int64_t unit : Units(row)) {
        options.chunkUnit = unit;
        if (!MakeSparse()) {
            GTEST_SKIP() << "the temp folder's file system makes no holes";
        }
        const Bytes bytes = ReadAll(input);
        const JobRecord sparse = RunRecorded(Output());
        options.readAheadFrom = 0;
        const JobRecord sparseAhead = RunRecorded(Output());
        options.readAheadFrom = kst::kReadAheadFrom;
        Drop("in.bin", bytes);
        ASSERT_FALSE(HasHoles(input));
        const JobRecord dense = RunRecorded(Output());

        const Trim want = ReferenceTrim(bytes, row.fill);
        EXPECT_EQ(sparse.fzero, want.fzero) << unit;
        EXPECT_EQ(sparse.mzero, want.mzero) << unit;
        EXPECT_EQ(sparse.events, dense.events) << unit;
        EXPECT_EQ(sparseAhead.events, dense.events) << unit;
        EXPECT_EQ(sparseAhead.output, sparse.output) << unit;
        ASSERT_EQ(sparse.wrote, want.fzero >= 1 || want.mzero >= 1) << unit;
        if (sparse.wrote) {
            EXPECT_EQ(sparse.output, TrimmedCopy(bytes, want.fzero, want.mzero, 3)) << unit;
            EXPECT_EQ(sparse.output, dense.output) << unit;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, HoleScan,
    testing::Values(
        HoleRow{"HoleAtStart", 24, {12 * kBlock, 20 * kBlock + 100}, {{0, 12}}, {}},
        HoleRow{"HoleToTheEnd", 24, {3, 5000}, {{2, 24}}, {}},
        HoleRow{"HoleInside", 24, {2 * kBlock - 1, 21 * kBlock}, {{2, 21}}, {}},
        // With chunks of three blocks both grids fall on these edges.
        HoleRow{"HolesOnChunkEdges",
                36,
                {1, 35 * kBlock + 4095},
                {{3, 6}, {9, 12}, {15, 18}, {21, 30}},
                {}},
        HoleRow{"HoleAcrossChunkEdges", 30, {0, 29 * kBlock}, {{2, 5}, {7, 26}}, {}},
        HoleRow{"ZerosWrittenIntoAHole", 32, {7, 31 * kBlock}, {{1, 31}}, {{10, 14}, {20, 21}}},
        HoleRow{"OneBlockOfDataBetweenHoles", 40, {17 * kBlock + 2048}, {{0, 17}, {18, 40}}, {}},
        HoleRow{"OnlyHoles", 16, {}, {{0, 16}}, {}},
        // Many chunks of one block each within one hole, either side.
        HoleRow{"LongHolesAcrossManyChunks",
                160,
                {3 * kBlock + 5, 80 * kBlock, 157 * kBlock + 9},
                {{4, 80}, {81, 157}},
                {}},
        // Holes read as zeros, which are not the fill here: they must be read.
        HoleRow{"OtherFillReadsTheHoles", 24, {}, {{2, 5}, {10, 12}}, {}, 0xFF}),
    [](const auto& info) { return std::string(info.param.name); });

// The holes are passed over, not read as zeros: a file of 64 MiB whose only
// data lies in its middle costs each scan one chunk of reading.
TEST_F(FastPathTest, HoleChunksAreNotRead) {
    constexpr std::int64_t kSize = std::int64_t{64} << 20;
    constexpr std::int64_t kMark = kSize / 2 + 12345;
    Drop("big.bin", {});
    fs::resize_file(input, kSize);
    WriteAt(input, kMark, {0x5A});
    if (!HasHoles(input)) {
        GTEST_SKIP() << "the temp folder's file system makes no holes";
    }
    host.Tick(kst::Option::TrimLeading);
    host.Tick(kst::Option::MeasureOnly);
    options.chunkUnit = 1000000;

    const std::int64_t before = BytesReadSoFar();
    const kst::JobResult result = Run();
    const std::int64_t read = BytesReadSoFar() - before;
    EXPECT_EQ(result.frontRun, kMark);
    EXPECT_EQ(result.tailRun, kSize - 1 - kMark);
    // Two chunks, and the few bytes of /proc that the count itself reads.
    EXPECT_LT(read, 2 * options.chunkUnit + 4096) << read;
}

} // namespace
