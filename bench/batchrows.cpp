// SPDX-License-Identifier: MIT
// A batch of small files by one kestrune-cli process against cp of the same
// files followed by sync, and the same batch in a folder crowded with other
// entries against it alone: the cost per file must not grow with the folder.
#include "measure.h"
#include "process.h"
#include "rowgroups.h"
#include "scratch.h"

#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace bench;
namespace fs = std::filesystem;

constexpr int kBatchFiles = 10000;
constexpr int kFewFiles = 1000;
constexpr int kCrowd = 20000;
constexpr std::int64_t kFileBytes = 4096;
constexpr std::int64_t kKeptBytes = 3000; // the rest is the tail run
constexpr int kRounds = 3;
constexpr int kFewRounds = 7; // runs of half a second: more rounds outvote the noise

// count files of random data and a zero tail in folder; returns their paths
// as they will be in run.
std::vector<std::string> MakeInputs(const fs::path& folder, int count, const fs::path& run) {
    fs::create_directories(folder);
    std::vector<std::string> paths;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kFileBytes), 0);
    const Fd random("/dev/urandom", O_RDONLY);
    for (int i = 0; i < count; ++i) {
        const fs::path path = folder / (std::to_string(100000 + i) + ".bin");
        const Fd file(path, O_WRONLY | O_CREAT | O_TRUNC);
        Expect(::read(random.Get(), bytes.data(), kKeptBytes) == kKeptBytes &&
                   ::write(file.Get(), bytes.data(), bytes.size()) == kFileBytes,
               "writing " + path.string());
        paths.push_back((run / path.filename()).string());
    }
    return paths;
}

void MakeCrowd(const fs::path& folder, int count) {
    for (int i = 0; i < count; ++i) {
        const Fd entry(folder / ("other-" + std::to_string(i)), O_WRONLY | O_CREAT | O_TRUNC);
    }
}

// Moves a run's folder aside, kept until the group ends: ext4 skips the
// inodes of files deleted in the last minutes when it makes new ones, one
// look at each, so deleting a run's 10,000 files would slow the next run's
// every new file, on both sides, by far more than the work measured.
void Retire(const fs::path& folder) {
    static int retired = 0;
    if (fs::exists(folder)) {
        fs::rename(folder, fs::path(folder).concat(".spent-" + std::to_string(++retired)));
    }
}

// A fresh copy of the inputs for each run, in a new folder. Synced, so no
// writeback of it is left for the run.
void Refresh(const fs::path& inputs, const fs::path& run) {
    Retire(run);
    fs::copy(inputs, run, fs::copy_options::recursive);
    ::sync();
}
// inputs name the files of run, made afresh from those of source.
TimedRun CpAndSync(const std::vector<std::string>& inputs, const fs::path& source,
                   const fs::path& run, const fs::path& target) {
    return [inputs, source, run, target] {
        Retire(target);
        fs::create_directories(target);
        Refresh(source, run);
        std::vector<std::string> cp{"cp"};
        cp.insert(cp.end(), inputs.begin(), inputs.end());
        cp.push_back(target.string());
        const double seconds = RunChecked(cp).seconds + RunChecked({"sync"}).seconds;
        Expect(fs::file_size(target / fs::path(inputs.back()).filename()) == kFileBytes, "cp");
        return seconds;
    };
}

TimedRun CliBatch(const std::vector<std::string>& inputs, const fs::path& source,
                  const fs::path& run) {
    std::vector<std::string> args{CliProgram().string(), "--json"};
    args.insert(args.end(), inputs.begin(), inputs.end());
    ProcessJob job(std::move(args));
    job.before = [source, run] { Refresh(source, run); };
    job.check = [count = inputs.size()](const ProcessRun& run) {
        Expect(run.out.find("\"trimmed\":" + std::to_string(count) + ",") != std::string::npos,
               "a batch of " + std::to_string(count) + " trimmed in full");
    };
    return ProcessTimer(std::move(job));
}

} // namespace

void bench::BatchRows(Report& report, const fs::path& folder) {
    const fs::path batch = folder / "batch";
    const std::vector<std::string> many = MakeInputs(batch / "src", kBatchFiles, batch / "run");
    ::sync();
    const auto measured = Measure(kBatchFiles * kFileBytes,
                                  {CpAndSync(many, batch / "src", batch / "run", batch / "cp"),
                                   CliBatch(many, batch / "src", batch / "run")},
                                  kRounds);
    report.Versus("batch of 10,000 x 4 KB, vs cp + sync", "1 MB", measured[1], measured[0], 0.5);
    Retire(batch); // deleted with the rest at the end, not before the rows below

    const fs::path few = folder / "few";
    const std::vector<std::string> alone = MakeInputs(few / "alone", kFewFiles, few / "run");
    fs::copy(few / "alone", few / "crowded");
    MakeCrowd(few / "crowded", kCrowd);
    ::sync();
    const auto beside = Measure(kFewFiles * kFileBytes,
                                {CliBatch(alone, few / "alone", few / "run"),
                                 CliBatch(alone, few / "crowded", few / "run")},
                                kFewRounds);
    report.Versus("batch of 1,000 beside 20,000 entries, vs alone", "1 MB", beside[1], beside[0],
                  0.9);
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with("batch") ||
            entry.path().filename().string().starts_with("few")) {
            fs::remove_all(entry.path());
        }
    }
}
