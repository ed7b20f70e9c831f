// SPDX-License-Identifier: MIT
#pragma once

#include "report.h"

#include <cstdint>
#include <string>

namespace kst::cli {

// The tally of a whole run, printed once all files are done.
class Summary {
public:
    // pad: the zero bytes written ahead of each copy's kept bytes.
    void Add(const FileReport& report, std::int64_t pad);

    // "Summary: 2 trimmed, 1 measured, 0 skipped, 1 failed, 0 nothing to trim,
    // 0 aborted; 1,200 bytes saved, 300 to save in measured files"
    std::string Line() const;
    // {"summary": {"files": ..., the counts, "bytes_saved", "bytes_to_save"}}
    std::string JsonLine() const;

private:
    std::int64_t files_ = 0;
    std::int64_t trimmed_ = 0;
    std::int64_t measured_ = 0;
    std::int64_t skipped_ = 0;
    std::int64_t failed_ = 0;
    std::int64_t nothingToTrim_ = 0;
    std::int64_t aborted_ = 0;
    std::int64_t bytesSaved_ = 0;  // by the copies written
    std::int64_t bytesToSave_ = 0; // by the copies --measure-only worked out
};

} // namespace kst::cli
