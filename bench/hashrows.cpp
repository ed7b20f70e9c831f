// SPDX-License-Identifier: MIT
#include "measure.h"
#include "process.h"
#include "rowgroups.h"
#include "scratch.h"

#include <string>
#include <vector>

namespace bench {
namespace {

namespace fs = std::filesystem;

// Both streams: the trim prints its digests on stderr.
ProcessRun RunChild(const std::vector<std::string>& args) {
    ProcessSetup setup;
    setup.keepStderr = true;
    return RunProcess(args, setup);
}

// sha256sum's digest of path, checked against want once want is known.
ProcessRun Sha256Sum(const fs::path& path, std::string& digest) {
    ProcessRun run = RunChild({"sha256sum", path.string()});
    const std::string got = run.out.substr(0, run.out.find(' '));
    Expect(run.status == 0 && (digest.empty() || got == digest), "sha256sum " + path.string());
    digest = got;
    return run;
}

std::string SecondsText(double seconds) {
    return std::to_string(seconds).substr(0, 5) + " s";
}

} // namespace

void HashRows(Report& report, const fs::path& folder) {
    constexpr std::int64_t kData = kGiB;
    constexpr std::int64_t kZeros = 64 * kMiB;
    const ScratchFile input(folder, "hash.bin", kData + kZeros);
    input.WriteRandom(0, kData);
    input.WriteZeros(kData, kZeros); // stored zeros: read like the data
    input.Sync();
    const fs::path output = folder / "hash(KST).bin";
    const std::vector<std::string> trim{CliProgram().string(), "--hash", "sha256",
                                        input.Path().string()};

    // The first trim leaves the output for the baseline's first round.
    Expect(RunChild(trim).status == 0, "kestrune-cli");
    std::string inDigest;
    std::string outDigest;
    Sha256Sum(input.Path(), inDigest);
    Sha256Sum(output, outDigest);

    std::vector<double> toolsWall;
    std::vector<double> trimWall;
    const auto measured =
        Measure(input.Size(),
                {[&] {
                     const ProcessRun in = Sha256Sum(input.Path(), inDigest);
                     const ProcessRun out = Sha256Sum(output, outDigest);
                     toolsWall.push_back(in.seconds + out.seconds);
                     return in.cpuSeconds + out.cpuSeconds;
                 },
                 [&] {
                     fs::remove(output);
                     const ProcessRun run = RunChild(trim);
                     Expect(run.status == 0 &&
                                run.out.find("sha256 input  " + inDigest) != std::string::npos &&
                                run.out.find("sha256 output " + outDigest) != std::string::npos,
                            "kestrune-cli --hash sha256");
                     trimWall.push_back(run.seconds);
                     return run.cpuSeconds;
                 }});
    fs::remove(output);
    report.Baseline("sha256sum in + out, 1 GiB + 64 MiB zeros", "1 MB", measured[0]);
    report.Case("trim --hash sha256, in + out hashed", "1 MB", measured[1], 1.0);
    report.Note("(processes' CPU time; wall clock, median: sha256sum twice " +
                SecondsText(Median(toolsWall)) + ", trim " + SecondsText(Median(trimWall)) +
                " with its output flushed to the disk)");
}

} // namespace bench
