// SPDX-License-Identifier: MIT
// A trimmed copy by the whole kestrune-cli process against cp of the same
// file followed by sync of the copy (copyjobs.h). Warm and cold, and through
// the window.
#include "copyjobs.h"
#include "measure.h"
#include "process.h"
#include "rowgroups.h"
#include "scratch.h"

namespace {

using namespace bench;
namespace fs = std::filesystem;

constexpr std::int64_t kKept = kGiB;
constexpr std::int32_t kChunkUnits = 10;
// A flushed copy's time is mostly the disk's, which swings between runs by
// more than the copy's own cost or a front end's: more rounds, so a row shows
// the copy, not the disk.
constexpr int kProcessRounds = 9;

} // namespace

void bench::TrimCopyRows(Report& report, const fs::path& folder) {
    const ScratchFile input(folder, "trim.bin", kKept + 64 * kMiB);
    input.WriteRandom(0, kKept);
    input.WriteZeros(kKept, 64 * kMiB);
    input.Sync();
    const CopyFiles files = CopyFilesOf(input.Path(), "cp-copy.bin");
    const std::string chunk = ChunkLabel(kChunkUnits * kUnit);

    ReadWhole(input.Path(), kMiB);
    auto measured =
        Measure(input.Size(), {CpAndSync(files, false), CliCopy(files, false, kChunkUnits, kKept)},
                kProcessRounds);
    report.Versus("trim copy 1 GiB, warm, vs cp + sync", chunk, measured[1], measured[0], 1.0);

    if (WindowProgram().empty()) {
        report.Skipped("trim copy 1 GiB, window vs kestrune-cli", chunk,
                       "the window was not built");
    } else {
        measured = Measure(
            input.Size(),
            {CliCopy(files, false, kChunkUnits, kKept),
             WindowTimer(input.Path(), kChunkUnits, false, "1,073,741,824", Before(files, false))},
            kProcessRounds);
        report.Versus("trim copy 1 GiB, window vs kestrune-cli", chunk, measured[1], measured[0],
                      0.91);
    }

    if (DropPageCache()) {
        measured = Measure(input.Size(),
                           {CpAndSync(files, true), CliCopy(files, true, kChunkUnits, kKept)},
                           kColdRounds);
        report.Versus("trim copy 1 GiB, cold, vs cp + sync", chunk, measured[1], measured[0], 1.0);
    } else {
        report.Skipped("trim copy 1 GiB, cold, vs cp + sync", chunk,
                       "the page cache cannot be dropped here: not root");
    }
    Before(files, false)();
    const std::int64_t peak = PeakKiB(CliCopyArgs(files, kChunkUnits));
    Before(files, false)();
    report.Memory("trim copy 1 GiB, peak memory above idle", chunk,
                  static_cast<double>(peak - IdleCliKiB()) / 1024, 64);
}
