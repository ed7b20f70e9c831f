// SPDX-License-Identifier: MIT
#pragma once

#include "hashkinds.h"
#include "joberror.h"
#include "trimjob.h"

#include <nlohmann/json_fwd.hpp>

#include <optional>
#include <string>
#include <vector>

namespace kst::cli {

enum class FileStatus {
    Trimmed,       // complete copy written
    NothingToTrim, // no run to remove; nothing written
    Measured,      // --measure-only; nothing written
    Aborted,       // stopped by a signal; a copy already begun is dropped
    Failed,        // the job's failure message in error; no copy left by this input
    Skipped,       // --skip-existing found its copy; nothing read or written
};

struct FileReport {
    std::string path;
    FileStatus status = FileStatus::Failed;
    std::optional<JobResult> result; // absent when the job did not return
    std::string error;
    std::string errorKind;   // ErrorKindName, no_output_folder or output_collision
    std::string osError;     // the system's code by name (OsErrorName), empty when none
    HexDigests inputHashes;  // --hash or --record, once complete
    HexDigests outputHashes; // of the copy, or of the one measure-only would write
    std::string record;      // the record written, if any
    std::vector<std::string> warnings;
};

// One JSON object on one line: path, size, front, tail, out_size, output,
// status, and error, error_kind and os_error for a failure, warnings when there are any. Figures
// the job did not reach are null; output names the file this run left on disk, or is null.
std::string ReportJson(const FileReport& report);

// json on one line. Paths need not be UTF-8; invalid bytes become U+FFFD so
// the line stays JSON.
std::string JsonLine(const nlohmann::ordered_json& json);

FileStatus StatusOf(JobEnding ending);

// Fills the report's failure from error: its message followed by the
// system's reason, when there is one, and the names of both.
void ReportFailure(FileReport& report, const JobError& error);

} // namespace kst::cli
