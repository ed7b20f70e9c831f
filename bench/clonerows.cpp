// SPDX-License-Identifier: MIT
// Copies that need not move their bytes: kestrune-cli against cp and sync
// (copyjobs.h) on btrfs and XFS images loop-mounted for the rows (root only;
// "skipped" elsewhere), with the copy's data extents that it does not share
// with the input, as filefrag shows them; and a copy across a 64 GiB hole in
// the work folder, its time and the blocks it stores.
#include "copyjobs.h"
#include "loopmount.h"
#include "measure.h"
#include "process.h"
#include "rowgroups.h"
#include "scratch.h"

#include <sstream>
#include <sys/stat.h>

namespace {

using namespace bench;
namespace fs = std::filesystem;

constexpr std::int64_t kCloneData = 2 * kGiB;
constexpr std::int64_t kCloneZeros = 64 * kMiB;
constexpr std::int64_t kImageBytes = 4 * kGiB; // sparse; the copies share the input's blocks
constexpr std::int64_t kHole = 64 * kGiB;
constexpr std::int64_t kHoleData = kMiB; // either side of the hole
constexpr std::int64_t kHoleKept = kHoleData + kHole + kHoleData;
constexpr std::int32_t kChunkUnits = 10;
constexpr int kCopyRounds = 3;
// Bytes the copy may store beyond the input's: a block at each end of each
// of the input's two data extents.
constexpr std::int64_t kHoleSlack = 2 * 2 * 4096;

// The data extents filefrag -v lists for the file, and of those the ones
// not marked shared.
struct Extents {
    int data = 0;
    int unshared = 0;
};

Extents ExtentsOf(const fs::path& path) {
    std::istringstream lines(RunChecked({"filefrag", "-v", path.string()}).out);
    Extents extents;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string first;
        fields >> first;
        if (first.size() > 1 && first.back() == ':' &&
            first.find_first_not_of("0123456789") == first.size() - 1) {
            ++extents.data;
            extents.unshared += line.find("shared") == std::string::npos ? 1 : 0;
        }
    }
    return extents;
}

void CloneRowsOn(Report& report, const fs::path& folder, const std::string& type) {
    const std::string name = "clone 2 GiB + 64 MiB zeros, " + type;
    const std::string extentsName = "clone on " + type + ", data extents not shared";
    const std::string chunk = ChunkLabel(kChunkUnits * kUnit);
    const LoopMount mount(folder, type, kImageBytes, {"-q", "-f"});
    if (!mount.Mounted()) {
        report.Skipped(name + ", vs cp + sync", chunk, mount.Reason());
        report.Skipped(extentsName, chunk, mount.Reason());
        return;
    }
    const ScratchFile input(mount.Path(), "clone.bin", kCloneData + kCloneZeros);
    input.WriteRandom(0, kCloneData);
    input.WriteZeros(kCloneData, kCloneZeros);
    input.Sync();
    const CopyFiles files = CopyFilesOf(input.Path(), "cp-copy.bin");
    const auto measured = Measure(
        input.Size(), {CpAndSync(files, false), CliCopy(files, false, kChunkUnits, kCloneData)},
        kCopyRounds);
    report.Versus(name + ", vs cp + sync", chunk, measured[1], measured[0], 1.0 / 3);
    const Extents extents = ExtentsOf(files.ours);
    report.AtMost(extentsName, chunk, extents.unshared, 2, "", 0);
    std::string note = "(";
    note += std::to_string(extents.data) + " data extents in the copy)";
    report.Note(note);
    Before(files, false)();
}

std::int64_t StoredBytes(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_blocks) * 512 : -1;
}

void HoleCopyRows(Report& report, const fs::path& folder) {
    const ScratchFile input(folder, "hole.bin", kHoleKept + 16 * kMiB);
    input.WriteRandom(0, kHoleData);
    input.WriteRandom(kHoleData + kHole, kHoleData);
    input.Sync();
    const CopyFiles files = CopyFilesOf(input.Path(), "cp-hole.bin");
    for (const std::int32_t units : {1, kChunkUnits}) {
        const std::string chunk = ChunkLabel(units * kUnit);
        const auto measured = Measure(
            input.Size(), {CpAndSync(files, false), CliCopy(files, false, units, kHoleKept)},
            kCopyRounds);
        report.Versus("copy across a 64 GiB hole, vs cp + sync", chunk, measured[1], measured[0],
                      0);
        report.AtMost("copy across a 64 GiB hole, seconds", chunk, measured[1].speed.seconds, 1.0,
                      " s", 3);
        report.AtMost("copy across a 64 GiB hole, KiB stored", chunk,
                      static_cast<double>(StoredBytes(files.ours)) / 1024,
                      static_cast<double>(StoredBytes(input.Path()) + kHoleSlack) / 1024, " KiB",
                      0);
        Before(files, false)();
    }
}

} // namespace

void bench::CloneRows(Report& report, const fs::path& folder) {
    for (const char* type : {"btrfs", "xfs"}) {
        CloneRowsOn(report, folder, type);
    }
    HoleCopyRows(report, folder);
}
