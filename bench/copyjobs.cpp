// SPDX-License-Identifier: MIT
#include "copyjobs.h"

#include "outputpath.h"
#include "process.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

void Remove(const fs::path& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

} // namespace

CopyFiles CopyFilesOf(const fs::path& input, const char* baseline) {
    return {input, kst::PathFromUtf8(kst::OutputBesideInput(input.string())),
            input.parent_path() / baseline};
}

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
            RunChecked({"cp", "--reflink=auto", files.input.string(), files.baseline.string()})
                .seconds +
            RunChecked({"sync", files.baseline.string()}).seconds;
        Expect(fs::file_size(files.baseline) == fs::file_size(files.input), "cp");
        return seconds;
    };
}

std::vector<std::string> CliCopyArgs(const CopyFiles& files, std::int32_t chunkUnits) {
    return {CliProgram().string(), "--json", "--chunk", std::to_string(chunkUnits),
            files.input.string()};
}

TimedRun CliCopy(const CopyFiles& files, bool cold, std::int32_t chunkUnits, std::int64_t kept) {
    ProcessJob job(CliCopyArgs(files, chunkUnits));
    job.before = Before(files, cold);
    job.check = [ours = files.ours, kept](const ProcessRun& run) {
        Expect(run.out.find("\"out_size\":" + std::to_string(kept)) != std::string::npos &&
                   fs::file_size(ours) == static_cast<std::uintmax_t>(kept),
               "trimmed copy: " + run.out);
    };
    return ProcessTimer(std::move(job));
}

} // namespace bench
