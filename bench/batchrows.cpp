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

// count files of random data and a zero tail, in folder, by their paths.
std::vector<std::string> MakeInputs(const fs::path& folder, int count) {
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
        paths.push_back(path.string());
    }
    return paths;
}

void MakeCrowd(const fs::path& folder, int count) {
    for (int i = 0; i < count; ++i) {
        const Fd entry(folder / ("other-" + std::to_string(i)), O_WRONLY | O_CREAT | O_TRUNC);
    }
}

// The copies the CLI writes beside its inputs, removed before each run.
void RemoveCopies(const fs::path& folder) {
    std::vector<fs::path> copies;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().find("(KST)") != std::string::npos) {
            copies.push_back(entry.path());
        }
    }
    for (const fs::path& copy : copies) {
        fs::remove(copy);
    }
}

TimedRun CpAndSync(const std::vector<std::string>& inputs, const fs::path& target) {
    return [inputs, target] {
        fs::remove_all(target);
        fs::create_directories(target);
        std::vector<std::string> cp{"cp"};
        cp.insert(cp.end(), inputs.begin(), inputs.end());
        cp.push_back(target.string());
        const double seconds = RunChecked(cp).seconds + RunChecked({"sync"}).seconds;
        Expect(fs::file_size(target / fs::path(inputs.back()).filename()) == kFileBytes, "cp");
        return seconds;
    };
}

TimedRun CliBatch(const std::vector<std::string>& inputs, const fs::path& folder) {
    std::vector<std::string> args{CliProgram().string(), "--json"};
    args.insert(args.end(), inputs.begin(), inputs.end());
    ProcessJob job(std::move(args));
    job.before = [folder] { RemoveCopies(folder); };
    job.check = [count = inputs.size()](const ProcessRun& run) {
        Expect(run.out.find("\"trimmed\":" + std::to_string(count) + ",") != std::string::npos,
               "a batch of " + std::to_string(count) + " trimmed in full");
    };
    return ProcessTimer(std::move(job));
}

} // namespace

void bench::BatchRows(Report& report, const fs::path& folder) {
    const fs::path batch = folder / "batch";
    const std::vector<std::string> many = MakeInputs(batch / "src", kBatchFiles);
    ::sync();
    const auto measured = Measure(kBatchFiles * kFileBytes,
                                  {CpAndSync(many, batch / "cp"), CliBatch(many, batch / "src")},
                                  kRounds);
    report.Versus("batch of 10,000 x 4 KB, vs cp + sync", "1 MB", measured[1], measured[0], 0.5);
    fs::remove_all(batch);

    const fs::path alone = folder / "alone";
    const fs::path crowded = folder / "crowded";
    const std::vector<std::string> few = MakeInputs(alone, kFewFiles);
    const std::vector<std::string> crowd = MakeInputs(crowded, kFewFiles);
    MakeCrowd(crowded, kCrowd);
    ::sync();
    const auto beside = Measure(kFewFiles * kFileBytes,
                                {CliBatch(few, alone), CliBatch(crowd, crowded)}, kRounds);
    report.Versus("batch of 1,000 beside 20,000 entries, vs alone", "1 MB", beside[1], beside[0],
                  0.9);
    fs::remove_all(alone);
    fs::remove_all(crowded);
}
