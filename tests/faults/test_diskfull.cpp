// SPDX-License-Identifier: MIT
// Disk full while the copy writes: in the pad, in every full chunk and in the
// last chunk, as a write that stores part of its bytes (short) and as one
// that stores none (failed). The job must fail naming the output, remove it,
// and never log that it finished.
#include "faultsupport.h"
#include "jobfixture.h"

namespace {

namespace fs = std::filesystem;
using kst::Field;
using kst::Option;

constexpr std::int64_t kPage = 4096;
constexpr std::int64_t kChunk = 2 * kPage; // a short write stores one page of a chunk
constexpr std::int64_t kPad = 2 * kPage;
constexpr int kFullChunks = 4;
constexpr std::int64_t kKept = kFullChunks * kChunk + 6000; // last chunk 6000 bytes
constexpr std::int64_t kOutput = kPad + kKept;

struct DiskRow {
    std::string name;
    std::int64_t room;   // free bytes on the output's disk
    std::string lastLog; // "" when the copy finishes
    int copyProgress;    // full chunks written before the disk ran out
};

void PrintTo(const DiskRow& row, std::ostream* os) {
    *os << row.name;
}

std::vector<DiskRow> Rows() {
    const std::string beforePad = kst::msg::kCreatingOutput;
    const std::string afterPad = kst::msg::kPadLine + std::to_string(kPad);
    std::vector<DiskRow> rows{{"PadFailedWrite", 0, beforePad, 0},
                              {"PadShortWrite", kPage, beforePad, 0}};
    for (int k = 0; k < kFullChunks; ++k) {
        const std::int64_t start = kPad + k * kChunk;
        const std::string chunk = "Chunk" + std::to_string(k);
        rows.push_back({chunk + "FailedWrite", start, afterPad, k});
        rows.push_back({chunk + "ShortWrite", start + kPage, afterPad, k});
    }
    const std::int64_t last = kPad + kFullChunks * kChunk;
    rows.push_back({"LastChunkFailedWrite", last, afterPad, kFullChunks});
    rows.push_back({"LastChunkShortWrite", last + kPage, afterPad, kFullChunks});
    // The control row: room for every byte, so the limit itself breaks nothing.
    rows.push_back({"RoomForAll", (kOutput + kPage - 1) / kPage * kPage, "", kFullChunks});
    return rows;
}

class DiskFull : public JobTest, public testing::WithParamInterface<DiskRow> {};

TEST_P(DiskFull, OutputRemovedAndInputIntact) {
    const DiskRow& row = GetParam();
    const Bytes bytes = Framed(100, kKept, 500, 7);
    Drop("disk.img", bytes);
    const fs::path disk = dir.Path() / "disk";
    fs::create_directory(disk);
    host.place = kst::OutputPlace::InFolder;
    host.texts[Field::OutputFolder] = Utf8(disk);
    host.Tick(Option::TrimLeading);
    host.Tick(Option::WritePad);
    host.texts[Field::PadText] = std::to_string(kPad);
    options.chunkUnit = kChunk;
    const fs::path output = kst::PathFromUtf8(kst::OutputInFolder(Utf8(disk), Utf8(input)));

    const ChildRun run = RunJobInChild(
        [&](std::string& note) { return LimitSpace(disk, row.room, note); }, host, options, output);
    if (!run.skipped.empty()) {
        GTEST_SKIP() << run.skipped;
    }
    AddNote(run.note);

    Outcome want{WriteFailed(output), row.lastLog, std::nullopt, row.copyProgress};
    if (row.lastLog.empty()) {
        want = Outcome{"Finished", kst::msg::kFinished,
                       Padded(kPad, bytes, 100, bytes.size() - 500), kFullChunks};
    }
    EXPECT_EQ(run.outcome, want);
    EXPECT_EQ(ReadAll(input), bytes);
}

INSTANTIATE_TEST_SUITE_P(Rows, DiskFull, testing::ValuesIn(Rows()),
                         [](const auto& info) { return info.param.name; });

} // namespace
