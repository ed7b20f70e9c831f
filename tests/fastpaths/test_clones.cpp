// SPDX-License-Identifier: MIT
// The copy's ways, on the temp folder's file system and on loop-mounted ones
// that share blocks: every way gives the reference trim's bytes; holes of the
// kept range stay holes where the file system keeps them; where input and
// output lie alike on its blocks, the kept bytes are shared with the input
// but for the edges, also when digests read them.
#include "fastpathtest.h"

#include <fstream>
#include <random>

namespace {

namespace fs = std::filesystem;
using kst::Field;
using kst::Option;

constexpr std::int64_t kBlock = 4096;

using Ranges = std::vector<std::pair<std::int64_t, std::int64_t>>; // [from, to) in blocks

struct CopyWayRow {
    const char* name;
    std::int64_t front;  // zero bytes before the kept ones
    std::int64_t kept;   // kept bytes, from the first non-zero byte
    Ranges holes;        // punched into the kept bytes, counted from the input's start
    std::int64_t pad;    // zero bytes ahead of the copy
    std::int64_t chunk;  // bytes per chunk
    bool hash = false;   // digests observe the bytes
    int abortAfter = -1; // Abort pressed after this full chunk, -1: never
};

const std::vector<CopyWayRow> kRows{
    {"AlignedFront", 16 * kBlock, 300 * kBlock + 777, {}, 0, 300000},
    {"UnalignedFront", 1000, 200 * kBlock, {}, 0, 100000},
    {"PadMatchingTheFront", 2 * kBlock, 200 * kBlock + 5, {}, 2 * kBlock, 1000000},
    {"UnalignedPad", 32 * kBlock, 200 * kBlock, {}, 3, 70000},
    {"HolesAtEdgesAndMiddle", kBlock, 300 * kBlock, {{2, 40}, {100, 180}, {290, 300}}, 0, 262144},
    {"HoleAcrossEveryChunk", 0, 400 * kBlock, {{1, 399}}, kBlock, 65536},
    {"HolesInSmallChunks", 3 * kBlock, 60 * kBlock, {{10, 20}, {40, 50}}, 0, 10000},
    {"HashWithClones", 16 * kBlock, 300 * kBlock + 1, {}, 0, 300000, true},
    {"HashWithHoles", kBlock, 300 * kBlock, {{5, 150}}, 7, 200000, true},
    {"AbortMidway", 16 * kBlock, 300 * kBlock, {{60, 120}}, 0, 300000, false, 1},
    {"AbortInsideAHole", 16 * kBlock, 300 * kBlock, {{60, 250}}, 0, 300000, false, 1},
};

class CopyWays : public FastPathTest, public testing::WithParamInterface<const char*> {
protected:
    // The row's input in folder; false where the holes could not be punched.
    bool MakeInput(const fs::path& folder, const CopyWayRow& row) {
        Bytes bytes(static_cast<std::size_t>(row.front + row.kept + 3 * kBlock), 0);
        std::mt19937 random(static_cast<unsigned>(row.kept));
        for (std::int64_t i = row.front; i < row.front + row.kept; ++i) {
            bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(random() | 1);
        }
        input = folder / "in.bin";
        std::ofstream{input, std::ios::trunc}.close();
        WriteAt(input, 0, bytes);
        host.texts[Field::InputPath] = Utf8(input);
        for (const auto& [from, to] : row.holes) {
            if (!PunchHole(input, from * kBlock, to * kBlock)) {
                return false;
            }
        }
        return true;
    }

    void Check(const CopyWayRow& row, bool clones) {
        host = RecordingHost{};
        host.texts[Field::InputPath] = Utf8(input);
        host.Tick(Option::TrimLeading);
        host.Tick(Option::WritePad);
        host.texts[Field::PadText] = std::to_string(row.pad);
        options.chunkUnit = row.chunk;
        ByteRecorder in;
        ByteRecorder out;
        options.inputSink = row.hash ? &in : nullptr;
        options.outputSink = row.hash ? &out : nullptr;
        int copyYields = 0;
        host.onYield = [&](int) {
            const bool copying = host.log.back() == kst::msg::kCreatingOutput ||
                                 host.log.back().rfind(kst::msg::kPadLine, 0) == 0;
            if (copying && copyYields++ == row.abortAfter) {
                host.abortflag = true;
            }
        };
        const Bytes bytes = ReadAll(input);
        const Trim want = ReferenceTrim(bytes);
        fs::remove(Output());
        Run();
        const Bytes copy = ReadAll(Output());
        Bytes reference = TrimmedCopy(bytes, want.fzero, want.mzero, row.pad);
        if (row.abortAfter >= 0) {
            reference.resize(static_cast<std::size_t>(row.pad + (row.abortAfter + 1) * row.chunk));
        }
        ASSERT_TRUE(copy == reference) << copy.size() << " bytes, want " << reference.size();
        if (row.hash) {
            EXPECT_TRUE(in.seen == bytes);
            EXPECT_TRUE(out.seen == copy);
        }
        // Each hole, in the copy's offsets, less its blocks shared with data.
        const std::int64_t shift = row.pad - want.fzero;
        for (const auto& [from, to] : row.holes) {
            const std::int64_t start = (from * kBlock + shift + kBlock - 1) / kBlock * kBlock;
            const std::int64_t end =
                std::min<std::int64_t>(to * kBlock + shift,
                                       static_cast<std::int64_t>(copy.size())) /
                kBlock * kBlock;
            EXPECT_TRUE(start >= end || IsHole(Output(), start, end)) << from << ".." << to;
        }
        // Blocks lie alike when the front run and the pad differ by whole
        // ones: then all but a grain at each edge of the data is shared.
        if (clones && shift % kBlock == 0) {
            const StoredBytes stored = StoredBytesOf(Output());
            const auto edges =
                static_cast<std::int64_t>(2 + 2 * row.holes.size()) * kst::kCloneGrain;
            EXPECT_GE(stored.shared, stored.data - edges) << stored.data;
        }
    }

    void CheckRows(const fs::path& folder, bool clones) {
        host.place = kst::OutputPlace::BesideInput;
        for (const CopyWayRow& row : kRows) {
            SCOPED_TRACE(row.name);
            if (!MakeInput(folder, row)) {
                GTEST_SKIP() << "this file system makes no holes";
            }
            Check(row, clones);
        }
    }
};

TEST_P(CopyWays, GiveTheReferenceBytes) {
    const std::string type = GetParam();
    if (type == "temp") {
        CheckRows(dir.Path(), false);
        return;
    }
    const LoopMount mount(type);
    if (mount.Path().empty()) {
        GTEST_SKIP() << mount.Reason();
    }
    CheckRows(mount.Path(), true);
}

INSTANTIATE_TEST_SUITE_P(FileSystems, CopyWays, testing::Values("temp", "btrfs", "xfs"),
                         [](const auto& info) { return std::string(info.param); });

} // namespace
