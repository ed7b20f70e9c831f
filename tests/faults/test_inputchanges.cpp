// SPDX-License-Identifier: MIT
// Another process changes the input while the job yields, at every yield of
// the leading scan, the trailing scan and the copy. The job either fails with
// a message that names the input (the output removed), or, where the file it
// opened was not changed, writes the exact trim of that file: never a mix.
#include "faultsupport.h"
#include "jobfixture.h"

namespace {

namespace fs = std::filesystem;
using kst::Option;

enum class Phase { Leading, Trailing, Copy };
enum class Change { Truncated, Extended, Overwritten, RenamedAway, Replaced };

// 95 bytes in chunks of 10, kept bytes [35, 60): the leading scan yields 4
// times, the trailing scan 5 (the last after it found its byte), the copy 2.
constexpr std::size_t kLead = 35;
constexpr std::size_t kKept = 25;
constexpr std::size_t kTrail = 35;
constexpr int kYields[] = {4, 5, 2};

const char* PhaseLog(Phase phase) {
    switch (phase) {
    case Phase::Leading:
        return kst::msg::kScanningLeading;
    case Phase::Trailing:
        return kst::msg::kScanningTrailing;
    case Phase::Copy:
        break;
    }
    return kst::msg::kCreatingOutput;
}

struct ChangeRow {
    Phase phase;
    int yield; // counted within the phase from 0
    Change change;
    bool readAhead; // the scans read on a second thread, ahead of the yields
    std::string name;

    // Where the job reads next after the change: the trailing scan's last
    // yield comes after its last read.
    Phase NextRead() const {
        return phase == Phase::Trailing && yield == kYields[1] - 1 ? Phase::Copy : phase;
    }
};

void PrintTo(const ChangeRow& row, std::ostream* os) {
    *os << row.name;
}

std::vector<ChangeRow> Rows() {
    const std::pair<Phase, const char*> phases[] = {
        {Phase::Leading, "Leading"}, {Phase::Trailing, "Trailing"}, {Phase::Copy, "Copy"}};
    const std::pair<Change, const char*> changes[] = {{Change::Truncated, "Truncated"},
                                                      {Change::Extended, "Extended"},
                                                      {Change::Overwritten, "Overwritten"},
                                                      {Change::RenamedAway, "RenamedAway"},
                                                      {Change::Replaced, "Replaced"}};
    std::vector<ChangeRow> rows;
    for (const auto& [phase, phaseName] : phases) {
        for (int y = 0; y < kYields[static_cast<int>(phase)]; ++y) {
            for (const auto& [change, changeName] : changes) {
                const std::string name =
                    std::string(changeName) + "In" + phaseName + "Yield" + std::to_string(y);
                rows.push_back({phase, y, change, false, name});
                if (phase != Phase::Copy) {
                    rows.push_back({phase, y, change, true, name + "ReadAhead"});
                }
            }
        }
    }
    return rows;
}

class InputChange : public JobTest, public testing::WithParamInterface<ChangeRow> {
protected:
    const Bytes original = Framed(kLead, kKept, kTrail, 11);
    const Bytes replacement = Framed(3, 80, 12, 12);
    fs::path moved;

    // Applies the row's change from another process; returns the bytes the
    // input's path should hold afterwards, or nullopt when nothing is there.
    std::optional<Bytes> Apply(Change change) {
        std::optional<Bytes> after;
        const auto act = [&]() -> std::function<void()> {
            switch (change) {
            case Change::Truncated:
                after = Padded(0, original, 0, 50);
                return [this] { fs::resize_file(input, 50); };
            case Change::Extended:
                after = original;
                after->insert(after->end(), 7, 0x77);
                return [this] { WriteAt(input, original.size(), Bytes(7, 0x77)); };
            case Change::Overwritten:
                after = replacement;
                return [this] { WriteAt(input, 0, replacement); };
            case Change::RenamedAway:
                return [this] { fs::rename(input, moved); };
            case Change::Replaced:
                after = replacement;
                return [this] {
                    fs::rename(input, moved);
                    dir.Write("in.bin", replacement);
                };
            }
            return [] {};
        }();
        EXPECT_TRUE(InOtherProcess(act));
        return after;
    }
};

TEST_P(InputChange, FailsOrTrimsTheFileAsOpened) {
    const ChangeRow& row = GetParam();
    ASSERT_EQ(replacement.size(), original.size());
    Drop("in.bin", original);
    moved = dir.Path() / "moved.bin";
    host.Tick(Option::TrimLeading);
    if (row.readAhead) {
        options.readAheadFrom = 0;
    }
    int seen = 0;
    std::optional<Bytes> after;
    bool applied = false;
    host.onYield = [&](int) {
        const std::string& line = host.log.back();
        const Phase now = line == PhaseLog(Phase::Leading)    ? Phase::Leading
                          : line == PhaseLog(Phase::Trailing) ? Phase::Trailing
                                                              : Phase::Copy;
        if (now == row.phase && seen++ == row.yield) {
            after = Apply(row.change);
            applied = true;
        }
    };
    const Outcome got = RunJob(host, options, Output());
    ASSERT_TRUE(applied) << "the job never reached the row's yield";

    const bool fileKept = row.change == Change::RenamedAway || row.change == Change::Replaced;
    if (fileKept) {
        // The job goes on with the file it opened, wherever it now is.
        const Bytes trim = Padded(0, original, kLead, kLead + kKept);
        EXPECT_EQ(got, (Outcome{"Finished", kst::msg::kFinished, trim, 2}));
        EXPECT_EQ(ReadAll(moved), original);
    } else {
        // A shortened file shows as changed, whether its read came short
        // or came before the change.
        EXPECT_EQ(got.ending, InputChanged(input));
        EXPECT_EQ(got.lastLog, PhaseLog(row.NextRead()));
        EXPECT_EQ(got.output, std::nullopt);
    }
    EXPECT_EQ(OutputAt(input), after);
    if (fileKept || row.NextRead() == Phase::Copy) {
        EXPECT_EQ(host.events.end()[fileKept ? -2 : -1], "buttons:idle");
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, InputChange, testing::ValuesIn(Rows()),
                         [](const auto& info) { return info.param.name; });

#ifdef __linux__
// A batch's inputs leave their watches behind and drop them together. An
// input open through that is still watched, whatever went before it: its
// file opened and closed before, or the others' watches dropped while it is
// open. The write keeps the size and puts the time back, so only the watch
// can tell.
enum class Before { Nothing, SameFileOpenedAndClosed, OthersDropped, AllDropped, SameFileDropped };

class BatchWatch : public JobTest, public testing::WithParamInterface<Before> {};

TEST_P(BatchWatch, SeesAWriteThatLeavesSizeAndTime) {
    using kst::InputFile;
    Drop("in.bin", Framed(3, 20, 3, 5));
    const fs::path other = dir.Write("other.bin", Framed(1, 5, 1, 6));
    const auto open = [](InputFile& file, const fs::path& path) {
        ASSERT_TRUE(file.Open(path, InputFile::Watch::WritesInBatch));
    };
    InputFile earlier;
    const bool sameFile =
        GetParam() == Before::SameFileOpenedAndClosed || GetParam() == Before::SameFileDropped;
    open(earlier, sameFile ? input : other);
    earlier.Close();
    if (GetParam() == Before::AllDropped) {
        InputFile::ReleaseBatchWatches();
    }
    InputFile file;
    open(file, input);
    if (GetParam() == Before::OthersDropped || GetParam() == Before::SameFileDropped) {
        InputFile::ReleaseBatchWatches();
    }
    ASSERT_TRUE(file.Unchanged());
    const fs::file_time_type time = fs::last_write_time(input);
    ASSERT_TRUE(InOtherProcess([&] {
        WriteAt(input, 4, Bytes{0x42});
        fs::last_write_time(input, time);
    }));
    EXPECT_FALSE(file.Unchanged());
    file.Close();
    InputFile::ReleaseBatchWatches();
}

INSTANTIATE_TEST_SUITE_P(Rows, BatchWatch,
                         testing::Values(Before::Nothing, Before::SameFileOpenedAndClosed,
                                         Before::OthersDropped, Before::AllDropped,
                                         Before::SameFileDropped));
#endif

} // namespace
