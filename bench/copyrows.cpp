// SPDX-License-Identifier: MIT
// A trimmed copy by the whole kestrune-cli process against cp of the same
// file followed by sync of the copy: the same durability, as our output is
// flushed before it is named. Warm and cold, and through the window.
#include "measure.h"
#include "outputpath.h"
#include "process.h"
#include "rowgroups.h"
#include "scratch.h"

namespace {

using namespace bench;
namespace fs = std::filesystem;

constexpr std::int64_t kKept = kGiB;
constexpr std::int32_t kChunkUnits = 10;
constexpr int kProcessRounds = 5;

void Remove(const fs::path& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

struct CopyFiles {
    fs::path input;
    fs::path ours;     // the output's name beside the input
    fs::path baseline; // cp's copy
};

// Drops the page cache once the outputs of earlier runs are gone.
std::function<void()> Before(const CopyFiles& files, bool cold) {
    return [files, cold] {
        Remove(files.ours);
        Remove(files.baseline);
        if (cold) {
            DropPageCache();
        }
    };
}

TimedRun CpAndSync(const CopyFiles& files, bool cold) {
    return [files, before = Before(files, cold)] {
        before();
        const double seconds =
            RunChecked({"cp", files.input.string(), files.baseline.string()}).seconds +
            RunChecked({"sync", files.baseline.string()}).seconds;
        Expect(fs::file_size(files.baseline) == fs::file_size(files.input), "cp");
        return seconds;
    };
}

std::vector<std::string> CliCopyArgs(const CopyFiles& files) {
    return {CliProgram().string(), "--json", "--chunk", std::to_string(kChunkUnits),
            files.input.string()};
}

TimedRun CliCopy(const CopyFiles& files, bool cold) {
    ProcessJob job(CliCopyArgs(files));
    job.before = Before(files, cold);
    job.check = [ours = files.ours](const ProcessRun& run) {
        Expect(run.out.find("\"out_size\":" + std::to_string(kKept)) != std::string::npos &&
                   fs::file_size(ours) == static_cast<std::uintmax_t>(kKept),
               "trimmed copy: " + run.out);
    };
    return ProcessTimer(std::move(job));
}

} // namespace

void bench::TrimCopyRows(Report& report, const fs::path& folder) {
    const ScratchFile input(folder, "trim.bin", kKept + 64 * kMiB);
    input.WriteRandom(0, kKept);
    input.WriteZeros(kKept, 64 * kMiB);
    input.Sync();
    const CopyFiles files{input.Path(),
                          kst::PathFromUtf8(kst::OutputBesideInput(input.Path().string())),
                          folder / "cp-copy.bin"};
    const std::string chunk = ChunkLabel(kChunkUnits * kUnit);

    ReadWhole(input.Path(), kMiB);
    auto measured =
        Measure(input.Size(), {CpAndSync(files, false), CliCopy(files, false)}, kProcessRounds);
    report.Versus("trim copy 1 GiB, warm, vs cp + sync", chunk, measured[1], measured[0], 1.0);

    if (WindowProgram().empty()) {
        report.Skipped("trim copy 1 GiB, window vs kestrune-cli", chunk,
                       "the window was not built");
    } else {
        measured =
            Measure(input.Size(),
                    {CliCopy(files, false), WindowTimer(input.Path(), kChunkUnits, false,
                                                        "1,073,741,824", Before(files, false))},
                    kProcessRounds);
        report.Versus("trim copy 1 GiB, window vs kestrune-cli", chunk, measured[1], measured[0],
                      0.91);
    }

    if (DropPageCache()) {
        measured =
            Measure(input.Size(), {CpAndSync(files, true), CliCopy(files, true)}, kColdRounds);
        report.Versus("trim copy 1 GiB, cold, vs cp + sync", chunk, measured[1], measured[0], 1.0);
    } else {
        report.Skipped("trim copy 1 GiB, cold, vs cp + sync", chunk,
                       "the page cache cannot be dropped here: not root");
    }
    Before(files, false)();
    const std::int64_t peak = PeakKiB(CliCopyArgs(files));
    Before(files, false)();
    report.Memory("trim copy 1 GiB, peak memory above idle", chunk,
                  static_cast<double>(peak - IdleCliKiB()) / 1024, 64);
}
