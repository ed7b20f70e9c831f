// SPDX-License-Identifier: MIT
// A batch of small files by one kestrune-cli process against cp of the same
// files followed by sync, and the same batch in a folder crowded with other
// entries against it alone: the cost per file must not grow with the folder.
//
// Each row runs on an ext4 made afresh for it, where root may mount one. On
// a file system that has long made and dropped files, where new ones land
// and what that costs differs between two folders of one run by more than
// the work measured: 1,000 files alone once took twice as long as the same
// beside 20,000 others. Without root the rows run in the work folder.
#include "loopmount.h"
#include "measure.h"
#include "process.h"
#include "rowgroups.h"
#include "scratch.h"

#include <deque>
#include <fcntl.h>
#include <memory>
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
constexpr int kFewRounds = 11; // runs of a tenth of a second: more rounds outvote the noise
constexpr std::int64_t kImageBytes = 16 * kGiB; // sparse: the rows store under 2 GiB

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

// Moves a run's folder aside, kept until the row ends: ext4 skips the
// inodes of files deleted in the last minutes when it makes new ones, one
// look at each, so deleting a run's 10,000 files would slow the next run's
// every new file, on both sides, by far more than the work measured.
void Retire(const fs::path& folder) {
    static int retired = 0;
    if (fs::exists(folder)) {
        fs::rename(folder, fs::path(folder).concat(".spent-" + std::to_string(++retired)));
    }
}

// Copies of a folder of inputs, all made before the first run is timed and
// one put in place for each run by a rename: no run then shares the disk
// with the writeback of its own inputs, and each run's inputs were made alike.
class Copies {
public:
    Copies(const fs::path& source, int count) {
        static int made = 0;
        for (int i = 0; i < count; ++i) {
            copies_.push_back(fs::path(source).concat(".copy-" + std::to_string(++made)));
            fs::copy(source, copies_.back(), fs::copy_options::recursive);
        }
    }
    // The next copy, now at run, where the last run's folder was retired.
    void PutAt(const fs::path& run) {
        Retire(run);
        Expect(!copies_.empty(), "a copy of the inputs for each run");
        fs::rename(copies_.front(), run);
        copies_.pop_front();
    }

private:
    std::deque<fs::path> copies_;
};

// inputs name the files of run, put in place from copies.
TimedRun CpAndSync(const std::vector<std::string>& inputs, const std::shared_ptr<Copies>& copies,
                   const fs::path& run, const fs::path& target) {
    return [inputs, copies, run, target] {
        Retire(target);
        fs::create_directories(target);
        copies->PutAt(run);
        std::vector<std::string> cp{"cp"};
        cp.insert(cp.end(), inputs.begin(), inputs.end());
        cp.push_back(target.string());
        const double seconds = RunChecked(cp).seconds + RunChecked({"sync"}).seconds;
        Expect(fs::file_size(target / fs::path(inputs.back()).filename()) == kFileBytes, "cp");
        return seconds;
    };
}

TimedRun CliBatch(const std::vector<std::string>& inputs, const std::shared_ptr<Copies>& copies,
                  const fs::path& run) {
    std::vector<std::string> args{CliProgram().string(), "--json"};
    args.insert(args.end(), inputs.begin(), inputs.end());
    ProcessJob job(std::move(args));
    job.before = [copies, run] { copies->PutAt(run); };
    job.check = [count = inputs.size()](const ProcessRun& run) {
        Expect(run.out.find("\"trimmed\":" + std::to_string(count) + ",") != std::string::npos,
               "a batch of " + std::to_string(count) + " trimmed in full");
    };
    return ProcessTimer(std::move(job));
}

// The folder a row runs in: a fresh ext4's, or folder itself.
fs::path RowFolder(const LoopMount& mount, const fs::path& folder) {
    return mount.Mounted() ? mount.Path() : folder;
}

LoopMount FreshExt4(const fs::path& folder) {
    // Inodes for every copy and output of the rows, with room to spare.
    return LoopMount(folder, "ext4", kImageBytes, {"-q", "-F", "-N", "1000000"});
}

void ManyFilesRow(Report& report, const fs::path& folder) {
    const LoopMount mount = FreshExt4(folder);
    const fs::path batch = RowFolder(mount, folder) / "batch";
    const std::vector<std::string> many = MakeInputs(batch / "src", kBatchFiles, batch / "run");
    const auto cpCopies = std::make_shared<Copies>(batch / "src", kRounds);
    const auto ourCopies = std::make_shared<Copies>(batch / "src", kRounds);
    mount.Settle();
    const auto measured = Measure(kBatchFiles * kFileBytes,
                                  {CpAndSync(many, cpCopies, batch / "run", batch / "cp"),
                                   CliBatch(many, ourCopies, batch / "run")},
                                  kRounds);
    report.Versus("batch of 10,000 x 4 KB, vs cp + sync", "1 MB", measured[1], measured[0], 0.5);
    if (!mount.Mounted()) {
        Retire(batch); // deleted with the rest at the end, not before the row below
    }
}

void CrowdedFolderRow(Report& report, const fs::path& folder) {
    const LoopMount mount = FreshExt4(folder);
    const fs::path few = RowFolder(mount, folder) / "few";
    const std::vector<std::string> alone = MakeInputs(few / "alone", kFewFiles, few / "run");
    fs::copy(few / "alone", few / "crowded");
    MakeCrowd(few / "crowded", kCrowd);
    const auto aloneCopies = std::make_shared<Copies>(few / "alone", kFewRounds);
    const auto crowdedCopies = std::make_shared<Copies>(few / "crowded", kFewRounds);
    mount.Settle();
    const auto beside = Measure(
        kFewFiles * kFileBytes,
        {CliBatch(alone, aloneCopies, few / "run"), CliBatch(alone, crowdedCopies, few / "run")},
        kFewRounds);
    report.Versus("batch of 1,000 beside 20,000 entries, vs alone", "1 MB", beside[1], beside[0],
                  0.9);
}

} // namespace

void bench::BatchRows(Report& report, const fs::path& folder) {
    ManyFilesRow(report, folder);
    CrowdedFolderRow(report, folder);
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with("batch") ||
            entry.path().filename().string().starts_with("few")) {
            fs::remove_all(entry.path());
        }
    }
}
