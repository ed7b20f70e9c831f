// SPDX-License-Identifier: MIT
#include "outputpath.h"
#include "recordinghost.h"
#include "scan.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

struct ScanRun {
    std::int64_t result = -2;
    std::vector<int> gauge;
    int yields = 0;
};

enum class Side { Leading, Trailing };

// The input held open as a job holds it. Opening costs far more than a scan
// of a few bytes (the change watch is set up and torn down), so one opening
// serves every chunk size and both sides; each scan starts afresh otherwise.
class OpenInput {
public:
    OpenInput(const std::filesystem::path& path, std::uint8_t fill) {
        state_.inputText = Utf8(path);
        EXPECT_TRUE(state_.instream.Open(kst::PathFromUtf8(state_.inputText)));
        state_.insize = state_.instream.Size();
        state_.fill = fill;
    }

    // Slices of sliceBytes shared by two threads, or all on this one.
    ScanRun Scan(std::int64_t bufsize, Side side, std::int64_t sliceBytes = 0) {
        state_.readAheadFrom = sliceBytes > 0 ? 0 : kst::kReadAheadFrom;
        state_.scanSliceBytes = sliceBytes > 0 ? sliceBytes : kst::kScanSliceBytes;
        state_.bufsize = bufsize;
        state_.grid = kst::MakeChunkGrid(state_.insize, bufsize);
        state_.chunkbuf = kst::ChunkBuffer{};
        state_.fzero = -1;
        state_.mzero = -1;
        RecordingHost host;
        ScanRun run;
        if (side == Side::Leading) {
            kst::ScanLeadingZeros(state_, host);
            run.result = state_.fzero;
        } else {
            kst::ScanTrailingZeros(state_, host);
            run.result = state_.mzero;
        }
        run.gauge = host.gauge;
        run.yields = host.yields;
        return run;
    }

private:
    kst::JobState state_;
};

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

// The worked cases at a scale of one byte per 100,000, chunk 10 bytes, on
// one thread and on two with slices of 3 bytes.
TEST_P(ScanGrid, ResultsAndProgress) {
    const GridRow& row = GetParam();
    const Bytes bytes = Filled(row.size, row.marks);
    const TempDir dir;
    OpenInput input(dir.Write("in.bin", bytes), 0);
    for (const std::int64_t slice : {0, 3}) {
        const ScanRun leading = input.Scan(10, Side::Leading, slice);
        EXPECT_EQ(leading.result, row.fzero) << slice;
        EXPECT_EQ(leading.gauge, row.leadingGauge) << slice;
        EXPECT_EQ(leading.yields, static_cast<int>(row.leadingGauge.size())) << slice;
        const ScanRun trailing = input.Scan(10, Side::Trailing, slice);
        EXPECT_EQ(trailing.result, row.mzero) << slice;
        EXPECT_EQ(trailing.gauge, row.trailingGauge) << slice;
        EXPECT_EQ(trailing.yields, static_cast<int>(row.trailingGauge.size())) << slice;
    }
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
struct Layout {
    std::uint8_t fill;
    std::size_t size, a, b;
};

std::vector<Layout> AllLayouts() {
    std::vector<Layout> layouts;
    for (const std::uint8_t fill : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
        for (std::size_t size = 0; size <= 23; ++size) {
            for (std::size_t a = 0; a <= size; ++a) {
                for (std::size_t b = a; b <= size; b += 3) {
                    layouts.push_back({fill, size, a, b});
                }
            }
        }
    }
    return layouts;
}

// Rewrites path in place with the layout and scans it with every chunk size,
// on one thread and on two with slices of 2 bytes (so the marked bytes fall
// on, before and after every slice edge, and both threads may find one in
// the same chunk); false after the first scan that differs from the
// reference.
bool ScansMatchReference(const std::filesystem::path& path, const Layout& layout) {
    const auto [fill, size, a, b] = layout;
    std::vector<std::size_t> marks;
    if (a < size) {
        marks = {a, std::min(b, size - 1)};
    }
    const Bytes bytes = Filled(size, marks, fill);
    WriteAt(path, 0, bytes);
    std::filesystem::resize_file(path, size);
    const Trim want = ReferenceTrim(bytes, fill);
    OpenInput input(path, fill);
    for (std::int64_t bufsize = 1; bufsize <= 7; ++bufsize) {
        for (const std::int64_t slice : {0, 2}) {
            const std::int64_t fzero = input.Scan(bufsize, Side::Leading, slice).result;
            const std::int64_t mzero = input.Scan(bufsize, Side::Trailing, slice).result;
            if (fzero != want.fzero || mzero != want.mzero) {
                ADD_FAILURE() << int{fill} << "/" << size << "/" << bufsize << "/" << slice << "/"
                              << a << "/" << b << ": fzero " << fzero << " mzero " << mzero
                              << ", want " << want.fzero << " " << want.mzero;
                return false;
            }
        }
    }
    return true;
}

// The layouts are shared out to threads with a file each: an opening mostly
// waits on the kernel, so the waits overlap.
TEST(ScanExhaustive, MatchesReferenceAtEveryBoundary) {
    constexpr std::size_t kThreads = 16;
    const std::vector<Layout> layouts = AllLayouts();
    const TempDir dir;
    std::vector<std::jthread> workers;
    for (std::size_t t = 0; t < kThreads; ++t) {
        workers.emplace_back([&, t] {
            const std::filesystem::path path = dir.Write("in" + std::to_string(t), {});
            for (std::size_t i = t; i < layouts.size(); i += kThreads) {
                if (!ScansMatchReference(path, layouts[i])) {
                    return;
                }
            }
        });
    }
}

} // namespace
