// SPDX-License-Identifier: MIT
// Whole processes against what a user would compare them with: dd reading
// the same file, beside kestrune-cli measuring it, warm and cold, dense and
// sparse; the progress line on a terminal; the same job through the window.
#include "measure.h"
#include "process.h"
#include "rowgroups.h"
#include "scratch.h"

#include <iterator>
#include <optional>

namespace {

using namespace bench;
namespace fs = std::filesystem;

constexpr std::int64_t kZeros = 3 * kGiB;
constexpr std::int32_t kChunkUnits[] = {1, 5, 10, 100, 2147};
// Warm runs take a tenth of a second each, shorter than a spell of another
// machine's load on the shared host: nine rounds spread a row over enough
// time that one such spell does not decide its median.
constexpr int kProcessRounds = 9;
// A cold run reads all 3 GiB from a disk shared with other machines, whose
// own cache comes and goes: dd's cold read of one file took from 0.57 s to
// 4.3 s in consecutive runs. Five rounds, so that one such swing does not
// decide the median, and the group stays within minutes.
constexpr int kColdMeasureRounds = 5;
// The progress line's cost is a few percent at most of a run this short, so
// its row takes more rounds to stand above the machine's noise.
constexpr int kProgressRounds = 15;
// A job's memory beyond the idle program: its chunk (sized, though a scan
// touches only its slices), and little else.
constexpr double kMemoryAboveChunkMib = 16;

// Every file here holds 1 MiB of data, which is what each measurement keeps.
const std::string kFoundJson = "\"out_size\":" + std::to_string(kMiB);
const std::string kFoundPanel = "1,048,576";

enum class End { Tail, Head };

// How the zeros were written: the page cache holds a file written in large
// pieces in large pages and one written in small pieces (or through a pipe)
// in small ones, and reads out of each cost differently.
struct Layout {
    const char* name;
    std::int64_t piece;
};
constexpr Layout kLayouts[] = {{"64 MiB writes", 64 * kMiB}, {"4 KiB writes", 4 * 1024}};

// Whether a nice -n 19 loop keeps one of the cores busy meanwhile.
enum class Load { Quiet, BusyCore };

std::string RowName(End end, const std::string& rest) {
    return std::string("measure, 3 GiB zero ") + (end == End::Tail ? "tail" : "head") + ", " + rest;
}

std::vector<Measured> MeasureUnder(Load load, std::int64_t bytes, const std::vector<TimedRun>& runs,
                                   int rounds) {
    std::optional<BusyCore> busy;
    if (load == Load::BusyCore) {
        busy.emplace();
    }
    return Measure(bytes, runs, rounds);
}

std::string LoadText(Load load) {
    return load == Load::Quiet ? "" : ", busy core";
}

ProcessJob DdJob(const fs::path& file) {
    return ProcessJob({"dd", "if=" + file.string(), "of=/dev/null", "bs=1M"});
}

ProcessJob CliMeasureJob(const fs::path& file, std::int32_t units, End end) {
    ProcessJob job(
        {CliProgram().string(), "--json", "--measure-only", "--chunk", std::to_string(units)});
    if (end == End::Head) {
        job.argv.emplace_back("--leading");
    }
    job.argv.push_back(file.string());
    job.check = [](const ProcessRun& run) {
        Expect(run.out.find(kFoundJson) != std::string::npos, "measurement: " + run.out);
    };
    return job;
}

// Read from the disk: the page cache is dropped before each run.
ProcessJob Cold(ProcessJob job) {
    job.before = [] { DropPageCache(); };
    return job;
}

// 1 MiB of data and 3 GiB of stored zeros written in the layout's pieces;
// the data first when the zeros are the tail.
void FillDense(const ScratchFile& file, End end, const Layout& layout) {
    const std::int64_t data = end == End::Tail ? 0 : kZeros;
    file.WriteZeros(end == End::Tail ? kMiB : 0, kZeros, layout.piece);
    file.WriteRandom(data, kMiB);
    file.Sync();
    ReadWhole(file.Path(), kMiB);
}

// dd first, then each chunk size; quiet, the in-process read loop too.
void WarmRows(Report& report, const ScratchFile& file, End end, const Layout& layout, Load load) {
    std::vector<TimedRun> runs = {ProcessTimer(DdJob(file.Path()))};
    for (const std::int32_t units : kChunkUnits) {
        runs.push_back(ProcessTimer(CliMeasureJob(file.Path(), units, end)));
    }
    if (load == Load::Quiet) {
        runs.emplace_back(
            [&] { return Seconds([&] { ReadWhole(file.Path(), kMiB); }, Clock::Wall); });
    }
    const auto measured = MeasureUnder(load, file.Size(), runs, kProcessRounds);
    const std::string name = RowName(end, layout.name + std::string(", warm") + LoadText(load));
    for (std::size_t i = 0; i < std::size(kChunkUnits); ++i) {
        report.Versus(name, ChunkLabel(kChunkUnits[i] * kUnit), measured[i + 1], measured[0],
                      load == Load::Quiet ? 1.1 : 0.9);
    }
    if (load == Load::Quiet) {
        report.Versus("1 MiB read loop in-process vs dd bs=1M, warm", "-", measured.back(),
                      measured[0], 0);
    }
}

// The peak memory of one run at each chunk size.
void MemoryRows(Report& report, const ScratchFile& file, End end) {
    const std::int64_t idle = IdleCliKiB();
    for (const std::int32_t units : kChunkUnits) {
        const std::int64_t peak = PeakKiB(CliMeasureJob(file.Path(), units, end).argv);
        const double chunkMib = static_cast<double>(units * kUnit) / kMiB;
        report.Memory(RowName(end, "peak memory above idle"), ChunkLabel(units * kUnit),
                      static_cast<double>(peak - idle) / 1024, chunkMib + kMemoryAboveChunkMib);
    }
}

// The trailing scan reads backwards, which the disk's read-ahead does not
// foresee the way it does dd's forward reads. A cold file is one layout,
// whichever way it was written: the reads shape the page cache anew.
void ColdRows(Report& report, const ScratchFile& file, Load load) {
    const std::string name = RowName(End::Tail, "cold" + LoadText(load));
    if (!DropPageCache()) {
        report.Skipped(name, "all", "the page cache cannot be dropped here: not root");
        return;
    }
    std::vector<TimedRun> runs = {ProcessTimer(Cold(DdJob(file.Path())))};
    for (const std::int32_t units : kChunkUnits) {
        runs.push_back(ProcessTimer(Cold(CliMeasureJob(file.Path(), units, End::Tail))));
    }
    const auto measured = MeasureUnder(load, file.Size(), runs, kColdMeasureRounds);
    for (std::size_t i = 0; i < std::size(kChunkUnits); ++i) {
        report.Versus(name, ChunkLabel(kChunkUnits[i] * kUnit), measured[i + 1], measured[0],
                      load == Load::Quiet ? 1.0 : 0.9);
    }
    ReadWhole(file.Path(), kMiB);
}

// One chunk a MB: a gauge setting every MB, which the line must not follow.
void ProgressRow(Report& report, const ScratchFile& file) {
    ProcessJob plain = CliMeasureJob(file.Path(), 1, End::Tail);
    plain.setup.terminal = true;
    ProcessJob shown = plain;
    shown.argv.insert(shown.argv.begin() + 1, "--progress");
    shown.check = [check = plain.check](const ProcessRun& run) {
        check(run);
        Expect(run.out.find(" left") != std::string::npos, "progress line: " + run.out);
    };
    const auto measured =
        Measure(file.Size(), {ProcessTimer(plain), ProcessTimer(shown)}, kProgressRounds);
    report.Versus("measure, --progress on a terminal vs without", "1 MB", measured[1], measured[0],
                  0.95);
}

// The window yields and repaints once a chunk: the most chunks, 1 MB each.
void WindowRow(Report& report, const ScratchFile& file) {
    const char* const name = "measure, window vs kestrune-cli";
    if (WindowProgram().empty()) {
        report.Skipped(name, "1 MB", "the window was not built");
        return;
    }
    const auto measured = Measure(file.Size(),
                                  {ProcessTimer(CliMeasureJob(file.Path(), 1, End::Tail)),
                                   WindowTimer(file.Path(), 1, true, kFoundPanel)},
                                  kProcessRounds);
    report.Versus(name, "1 MB", measured[1], measured[0], 0.91);
}

} // namespace

void bench::MeasureRows(Report& report, const fs::path& folder) {
    report.Note("(measure rows: kestrune-cli --measure-only against dd bs=1M of the same file)");
    for (const End end : {End::Tail, End::Head}) {
        for (const Layout& layout : kLayouts) {
            const ScratchFile file(folder, "dense.bin", kZeros + kMiB);
            FillDense(file, end, layout);
            WarmRows(report, file, end, layout, Load::Quiet);
            WarmRows(report, file, end, layout, Load::BusyCore);
            if (&layout != &kLayouts[0]) {
                continue;
            }
            MemoryRows(report, file, end);
            if (end == End::Tail) {
                ProgressRow(report, file);
                WindowRow(report, file);
                ColdRows(report, file, Load::Quiet);
                ColdRows(report, file, Load::BusyCore);
            }
        }
    }
}

// Holes read as zeros without being stored: dd reads all 16 GiB of them,
// the scan asks the file system where the data is. Each run starts with
// none of the file in the page cache, as dd's reads leave the holes' zero
// pages there.
void bench::HoleRows(Report& report, const fs::path& folder) {
    const ScratchFile file(folder, "holes.bin", 16 * kGiB);
    file.WriteRandom(0, kMiB);
    file.Sync();
    std::vector<ProcessJob> jobs = {DdJob(file.Path()), CliMeasureJob(file.Path(), 1, End::Tail)};
    std::vector<TimedRun> runs;
    for (ProcessJob& job : jobs) {
        job.before = [&file] { file.Evict(); };
        runs.push_back(ProcessTimer(std::move(job)));
    }
    const auto measured = Measure(file.Size(), runs, 3);
    report.Versus("measure, 16 GiB sparse, 1 MiB data, vs dd bs=1M", "1 MB", measured[1],
                  measured[0], 100);
}
