// SPDX-License-Identifier: MIT
#include "summary.h"

#include "groupdigits.h"

#include <nlohmann/json.hpp>

namespace kst::cli {
namespace {

std::int64_t BytesSaved(const JobResult& result, std::int64_t pad) {
    return result.inputSize - result.outputSize - pad;
}

} // namespace

void Summary::Add(const FileReport& report, std::int64_t pad) {
    ++files_;
    switch (report.status) {
    case FileStatus::Trimmed:
        ++trimmed_;
        bytesSaved_ += BytesSaved(*report.result, pad);
        break;
    case FileStatus::Measured:
        ++measured_;
        bytesToSave_ += BytesSaved(*report.result, pad);
        break;
    case FileStatus::Skipped:
        ++skipped_;
        break;
    case FileStatus::Failed:
        ++failed_;
        break;
    case FileStatus::NothingToTrim:
        ++nothingToTrim_;
        break;
    case FileStatus::Aborted:
        ++aborted_;
        break;
    }
}

std::string Summary::Line() const {
    return "Summary: " + std::to_string(trimmed_) + " trimmed, " + std::to_string(measured_) +
           " measured, " + std::to_string(skipped_) + " skipped, " + std::to_string(failed_) +
           " failed, " + std::to_string(nothingToTrim_) + " nothing to trim, " +
           std::to_string(aborted_) + " aborted; " + GroupDigits(bytesSaved_) + " bytes saved, " +
           GroupDigits(bytesToSave_) + " to save in measured files";
}

std::string Summary::JsonLine() const {
    const nlohmann::ordered_json summary{
        {"files", files_},     {"trimmed", trimmed_},        {"measured", measured_},
        {"skipped", skipped_}, {"failed", failed_},          {"nothing_to_trim", nothingToTrim_},
        {"aborted", aborted_}, {"bytes_saved", bytesSaved_}, {"bytes_to_save", bytesToSave_}};
    return cli::JsonLine(nlohmann::ordered_json{{"summary", summary}});
}

} // namespace kst::cli
