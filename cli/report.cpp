// SPDX-License-Identifier: MIT
#include "report.h"

#include "joberror.h"
#include "oserror.h"
#include "trimrecord.h"

#include <nlohmann/json.hpp>

namespace kst::cli {
namespace {

using Json = nlohmann::ordered_json;

const char* StatusText(FileStatus status) {
    switch (status) {
    case FileStatus::Trimmed:
        return "trimmed";
    case FileStatus::NothingToTrim:
        return "nothing_to_trim";
    case FileStatus::Measured:
        return "measured";
    case FileStatus::Aborted:
        return "aborted";
    case FileStatus::Failed:
        return "failed";
    case FileStatus::Skipped:
        return "skipped";
    }
    return "failed";
}

bool Measured(JobEnding ending) {
    return ending != JobEnding::NoOutputFolder;
}

bool OutSizeShown(JobEnding ending) {
    return ending == JobEnding::MeasureOnly || ending == JobEnding::Finished ||
           ending == JobEnding::Aborted;
}

// A stopped copy is dropped.
bool OutputLeft(JobEnding ending) {
    return ending == JobEnding::Finished;
}

// A figure of the result, or null where the job did not get that far.
Json Figure(const std::optional<JobResult>& r, bool (*reached)(JobEnding),
            std::int64_t JobResult::*field) {
    return r && reached(r->ending) ? Json((*r).*field) : Json(nullptr);
}

} // namespace

FileStatus StatusOf(JobEnding ending) {
    switch (ending) {
    case JobEnding::NoOutputFolder:
        return FileStatus::Failed;
    case JobEnding::NothingToTrim:
        return FileStatus::NothingToTrim;
    case JobEnding::MeasureOnly:
        return FileStatus::Measured;
    case JobEnding::Finished:
        return FileStatus::Trimmed;
    case JobEnding::Aborted:
        return FileStatus::Aborted;
    }
    return FileStatus::Failed;
}

std::string ReportJson(const FileReport& report) {
    const std::optional<JobResult>& r = report.result;
    Json json;
    json["path"] = report.path;
    json["size"] = Figure(r, Measured, &JobResult::inputSize);
    json["front"] = Figure(r, Measured, &JobResult::frontRun);
    json["tail"] = Figure(r, Measured, &JobResult::tailRun);
    json["out_size"] = Figure(r, OutSizeShown, &JobResult::outputSize);
    if (r && OutputLeft(r->ending)) {
        const std::u8string output = r->output.u8string();
        json["output"] = std::string(output.begin(), output.end());
    } else {
        json["output"] = nullptr;
    }
    json["status"] = StatusText(report.status);
    if (!report.inputHashes.empty()) {
        json["hashes"]["input"] = DigestsJson(report.inputHashes);
        if (!report.outputHashes.empty()) {
            json["hashes"]["output"] = DigestsJson(report.outputHashes);
        }
    }
    if (!report.record.empty()) {
        json["record"] = report.record;
    }
    if (report.status == FileStatus::Failed) {
        json["error"] = report.error;
        json["error_kind"] = report.errorKind;
        json["os_error"] = report.osError.empty() ? Json(nullptr) : Json(report.osError);
    }
    if (!report.warnings.empty()) {
        json["warnings"] = report.warnings;
    }
    return JsonLine(json);
}

void ReportFailure(FileReport& report, const JobError& error) {
    report.status = FileStatus::Failed;
    report.error = error.what();
    if (const OsErrorCode code = error.OsError(); code != 0) {
        report.error += ": " + OsErrorText(code);
        report.osError = OsErrorName(code);
    }
    report.errorKind = ErrorKindName(error.Kind());
}

std::string JsonLine(const nlohmann::ordered_json& json) {
    return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

} // namespace kst::cli
