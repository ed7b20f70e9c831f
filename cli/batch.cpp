// SPDX-License-Identifier: MIT
#include "batch.h"

#include "groupdigits.h"
#include "intparse.h"
#include "outputpath.h"

#include <cstdio>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace kst::cli {
namespace {

std::string ByteText(std::uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

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

// One key per file: its folder made absolute and resolved as far as it
// exists (once per folder: a batch has thousands of files in one), then its
// name.
std::filesystem::path::string_type ClaimedOutputs::Key(const std::string& copy) const {
    const std::filesystem::path path = PathFromUtf8(copy);
    auto [folder, added] = folders_.try_emplace(path.parent_path().native());
    if (added) {
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(path.parent_path(), error);
        folder->second = std::filesystem::weakly_canonical(absolute, error);
        if (error) {
            folder->second = absolute.lexically_normal();
        }
    }
    std::filesystem::path::string_type key = (folder->second / path.filename()).native();
#ifdef _WIN32
    ::CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
#endif
    return key;
}

const std::string* ClaimedOutputs::Owner(const std::string& copy) const {
    const auto found = owners_.find(Key(copy));
    return found == owners_.end() ? nullptr : &found->second;
}

void ClaimedOutputs::Claim(const std::string& copy, const std::string& input) {
    owners_.emplace(Key(copy), input);
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

FileGuards::FileGuards(CliHost& host, const CliOptions& options) : host_(host), options_(options) {}

JobOptions FileGuards::ForJob() {
    JobOptions job;
    job.fill = options_.fill;
    job.chunkUnit = options_.chunkUnit;
    if (options_.fillAuto) {
        job.chooseFill = [this](const InputFile& input, std::int64_t size) {
            return ChooseFill(input, size);
        };
    }
    job.tailToRemove = [this](const MeasuredRuns& runs) { return TailToRemove(runs); };
    return job;
}

std::uint8_t FileGuards::ChooseFill(const InputFile& input, std::int64_t size) {
    const FillChoice choice = kst::ChooseFill(input, size);
    if (!choice.lastByte) {
        host_.WriteLine("--fill auto: no last byte to read; nothing to trim at the end");
    } else if (choice.FromLastByte()) {
        host_.WriteLine("--fill auto: " + ByteText(choice.fill) + ", the last byte");
    } else {
        host_.WriteLine("--fill auto: the last byte is " + ByteText(*choice.lastByte) +
                        ", neither 0x00 nor 0xFF; nothing to trim at the end");
    }
    return choice.fill;
}

// Called while the job holds the input, so the bytes before the run are
// those of the file it trims.
std::int64_t FileGuards::TailToRemove(const MeasuredRuns& runs) {
    measuredTail_ = runs.tailRun;
    if (runs.input != nullptr) {
        otherRun_ = OtherRunBeforeTail(*runs.input, runs.fill, runs.inputSize, runs.tailRun,
                                       runs.byteBeforeTail);
    }
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
    if (!otherRun_) {
        return;
    }
    const std::uint8_t other = *otherRun_;
    Warn("warning: the tail run of " + ByteText(result.fill) + " (" + GroupDigits(measuredTail_) +
         " bytes) follows " + GroupDigits(kOtherRunWarnFrom) + " or more bytes of " +
         ByteText(other) + ", which stay in the copy: padding of the other byte, or data?");
}

} // namespace kst::cli
