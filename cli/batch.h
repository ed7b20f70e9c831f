// SPDX-License-Identifier: MIT
#pragma once

#include "clihost.h"
#include "options.h"
#include "trimjob.h"
#include "walk.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kst::cli {

// The zero bytes each copy starts with.
std::int64_t PadBytes(const CliOptions& options);

// The name the job gives the input's copy.
std::string CopyName(const Input& input);

// The copies this run wrote, or worked out under --measure-only, each with
// the input it came from: a later input whose copy would land on one of them
// fails instead of replacing it. Paths compare as the file system names them:
// through links to folders, and regardless of case on Windows.
class ClaimedOutputs {
public:
    // The input whose copy is at copy, or nullptr.
    const std::string* Owner(const std::string& copy) const;
    void Claim(const std::string& copy, const std::string& input);

private:
    // The copy's resolved path as a plain string: compared as such, many
    // times per input of a large batch, at a fraction of a path's cost.
    std::filesystem::path::string_type Key(const std::string& copy) const;

    std::map<std::filesystem::path::string_type, std::string> owners_;
    mutable std::map<std::filesystem::path::string_type, std::filesystem::path>
        folders_; // resolved
};

// The folder a walked file's copy goes into under --out-dir, made for the
// job when missing (the job wants it even to measure) and removed again, with
// the parents made for it, when the job left it empty.
class CopyFolder {
public:
    explicit CopyFolder(const Input& input);
    ~CopyFolder();
    CopyFolder(const CopyFolder&) = delete;
    CopyFolder& operator=(const CopyFolder&) = delete;
    // Kept: a copy waits to be put there, which may have no name yet.
    void Keep() { made_.clear(); }

private:
    std::vector<std::filesystem::path> made_; // innermost first
};

// What the command line adds to one file's job: the fill --fill auto picks,
// --align's hold on the tail run, and the warnings about the runs found, all
// decided by the engine's fill policy from the input the job holds. Notes
// and warnings go to the log as they come.
class FileGuards {
public:
    FileGuards(CliHost& host, const CliOptions& options);
    FileGuards(const FileGuards&) = delete;
    FileGuards& operator=(const FileGuards&) = delete;

    // The job's options; they refer to this object.
    JobOptions ForJob();
    // Adds the warning about the runs the job measured, if any.
    void CheckRuns(const JobResult& result);
    const std::vector<std::string>& Warnings() const { return warnings_; }

private:
    std::uint8_t ChooseFill(const InputFile& input, std::int64_t size);
    std::int64_t TailToRemove(const MeasuredRuns& runs);
    void Warn(std::string text);

    CliHost& host_;
    const CliOptions& options_;
    std::int64_t measuredTail_ = -1;
    std::optional<std::uint8_t> otherRun_; // the byte of a long run before the tail run
    std::vector<std::string> warnings_;
};

} // namespace kst::cli
