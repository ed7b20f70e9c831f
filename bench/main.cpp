// SPDX-License-Identifier: MIT
// Measures the job against plain baselines on files it makes in a folder:
// in-process rows for tuning, and whole processes beside dd and cp; see the
// README.
//   kestrune-bench [folder [group ...]]
#include "measure.h"
#include "process.h"
#include "rowgroups.h"
#include "scratch.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kNeededSpace = 5 * bench::kGiB;

// The folder given, or a fresh one under the system temp folder removed at
// the end.
class WorkFolder {
public:
    explicit WorkFolder(const char* given) {
        if (given != nullptr) {
            path_ = given;
        } else {
            path_ = fs::temp_directory_path() / ("kestrune-bench-" + std::to_string(::getpid()));
            fs::create_directories(path_);
            owned_ = true;
        }
    }
    ~WorkFolder() {
        std::error_code ignored;
        if (owned_) {
            fs::remove_all(path_, ignored);
        }
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
    bool owned_ = false;
};

struct RowGroup {
    const char* name;
    void (*run)(bench::Report&, const fs::path&);
};

const RowGroup kGroups[] = {
    {"scan", bench::ScanRows},
    {"zero", bench::ZeroTestRows},
    {"copy", bench::CopyWriterRows},
    {"sparse", bench::SparseRows},
    {"measure", bench::MeasureRows},
    {"holes", bench::HoleRows},
    {"trim", bench::TrimCopyRows},
    {"clones", bench::CloneRows},
    {"hash", bench::HashRows},
    {"batch", bench::BatchRows},
    // Last: it writes two copies of 4 GiB.
    {"memory", bench::MemoryRows},
};

// Every case, or only those named after the folder.
bool Wanted(const std::string& name, int argc, char** argv) {
    if (argc <= 2) {
        return true;
    }
    for (int i = 2; i < argc; ++i) {
        if (name == argv[i]) {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--peak-kib") {
        return bench::PrintPeakKiB(argc, argv);
    }
    try {
        const WorkFolder folder(argc > 1 ? argv[1] : nullptr);
        const std::int64_t space = bench::FreeBytes(folder.Path());
        if (space < kNeededSpace) {
            std::fprintf(stderr, "kestrune-bench: %s has %lld MiB free, %lld MiB needed\n",
                         folder.Path().c_str(), static_cast<long long>(space / bench::kMiB),
                         static_cast<long long>(kNeededSpace / bench::kMiB));
            return 2;
        }
        std::printf(
            "kestrune-bench: files in %s\n"
            "In-process rows (GB/s): bytes per second, median of %d rounds; ratio: median of\n"
            "each round's ratio to its baseline. Zero test rows: the benchmark thread's CPU\n"
            "time (user and system); copy rows: elapsed time, each copy flushed to the disk,\n"
            "mostly a wait for it; scan rows: elapsed time, as the scans read ahead on a\n"
            "second thread and the baseline reads on one.\n"
            "Whole-process rows (s): median wall-clock seconds of each side over interleaved\n"
            "rounds; ratio: median of each round's baseline time over ours (above 1: ours is\n"
            "faster). Window rows time the job from the press of Execute to its return.\n",
            folder.Path().c_str(), bench::kRounds);
        bench::Report report;
        for (const auto& [name, run] : kGroups) {
            if (Wanted(name, argc, argv)) {
                run(report, folder.Path());
            }
        }
        return report.Finish() ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kestrune-bench: %s\n", e.what());
        return 2;
    }
}
