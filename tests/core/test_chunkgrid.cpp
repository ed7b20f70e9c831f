// SPDX-License-Identifier: MIT
#include "chunkgrid.h"
#include "joberror.h"
#include "messages.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ChunkGrid, ChunksAndRest) {
    struct Row {
        std::int64_t length, bufsize, chunks, rest;
    };
    const Row rows[] = {
        {2500000, 1000000, 3, 500000},
        {3000000, 1000000, 4, 0},
        {999999, 1000000, 1, 999999},
        {0, 1000000, 1, 0},
        {1, 1, 2, 0},
        {(1LL << 33) + 5, 10000000, 859, 9934597},
    };
    for (const Row& r : rows) {
        const kst::ChunkGrid grid = kst::MakeChunkGrid(r.length, r.bufsize);
        EXPECT_EQ(grid.chunks, r.chunks) << r.length;
        EXPECT_EQ(grid.rest, r.rest) << r.length;
    }
}

TEST(ChunkGrid, ZeroChunkSizeFailsLikeTheRuntimeDivision) {
    const auto message = [](std::int64_t length) {
        try {
            kst::MakeChunkGrid(length, 0);
        } catch (const kst::JobError& e) {
            return std::string(e.what());
        }
        return std::string("no failure");
    };
    EXPECT_EQ(message(5), kst::msg::kDivideByZero);
    EXPECT_EQ(message(0), kst::msg::kInvalidOperation);
}

TEST(ChunkGrid, ProgressIsTruncatedAndSafeForHugeChunkCounts) {
    EXPECT_EQ(kst::ProgressValue(1, 3), 33);
    EXPECT_EQ(kst::ProgressValue(2, 3), 66);
    EXPECT_EQ(kst::ProgressValue(3, 3), 100);
    // k * 100 beyond 32 bits.
    EXPECT_EQ(kst::ProgressValue(50000000000LL, 100000000000LL), 50);
}

} // namespace
