// SPDX-License-Identifier: MIT
#include "batch.h"

#include "groupdigits.h"
#include "intparse.h"
#include "outputpath.h"

#include <system_error>

namespace kst::cli {
namespace {

std::string AlignmentText(const Alignment& alignment) {
    return alignment.pow2 ? "pow2" : GroupDigits(alignment.multiple);
}

} // namespace

std::int64_t PadBytes(const CliOptions& options) {
    return options.leading && options.pad ? StrToInt(*options.pad) : 0;
}

std::string CopyName(const Input& input) {
    return input.outDir ? OutputInFolder(*input.outDir, input.path) : OutputBesideInput(input.path);
}

CopyFolder::CopyFolder(const Input& input) {
    if (!input.outDir) {
        return;
    }
    std::error_code error;
    for (std::filesystem::path folder = PathFromUtf8(*input.outDir);
         !folder.empty() && !std::filesystem::exists(folder, error);
         folder = folder.parent_path()) {
        made_.push_back(folder);
    }
    std::filesystem::create_directories(PathFromUtf8(*input.outDir), error);
}

// remove() leaves a folder that is not empty, which ends the climb.
CopyFolder::~CopyFolder() {
    std::error_code error;
    for (const std::filesystem::path& folder : made_) {
        if (!std::filesystem::remove(folder, error)) {
            break;
        }
    }
}

FileGuards::FileGuards(CliHost& host, const CliOptions& options, const Input& input)
    : host_(host), options_(options), input_(PathFromUtf8(input.path)), fill_(options.fill) {
    if (options.fillAuto) {
        const FillChoice choice = ChooseFill(input_);
        fill_ = choice.fill;
        host_.WriteLine(choice.note);
    }
}

JobOptions FileGuards::ForJob() {
    JobOptions job;
    job.fill = fill_;
    job.chunkUnit = options_.chunkUnit;
    job.tailToRemove = [this](const MeasuredRuns& runs) { return TailToRemove(runs); };
    return job;
}

std::int64_t FileGuards::TailToRemove(const MeasuredRuns& runs) {
    measuredTail_ = runs.tailRun;
    if (!options_.align) {
        return runs.tailRun;
    }
    const TailPlan plan = PlanTail(*options_.align, runs, PadBytes(options_));
    const std::string align = "--align " + AlignmentText(*options_.align);
    if (!plan.reached) {
        Warn("warning: " + align + ": the tail run of " + GroupDigits(runs.tailRun) +
             " bytes is too short to reach an aligned size; all of it is kept");
    } else if (plan.removed < runs.tailRun) {
        host_.WriteLine(align + ": " + GroupDigits(runs.tailRun - plan.removed) +
                        " bytes of the tail run kept");
    }
    return plan.removed;
}

void FileGuards::Warn(std::string text) {
    host_.WriteLine(text);
    warnings_.push_back(std::move(text));
}

void FileGuards::CheckRuns(const JobResult& result) {
    if (std::string warning = FillRunWarning(input_, fill_, result.inputSize, measuredTail_);
        !warning.empty()) {
        Warn(std::move(warning));
    }
}

} // namespace kst::cli
