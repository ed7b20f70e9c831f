// SPDX-License-Identifier: MIT
#pragma once

#include "hashing.h"
#include "options.h"
#include "report.h"
#include "trimjob.h"

#include <memory>
#include <string>

namespace kst::cli {

class CliHost;

// The digests of one file's trim (--hash) and its record (--record). A copy
// feeds them as it goes; measure-only and nothing-to-trim read the kept
// bytes once more afterwards, the removed runs counted, not read.
class TrimProof {
public:
    explicit TrimProof(const CliOptions& options);

    // Points the job's sinks at the digests, when any are asked for, and
    // takes the fill byte the job trims.
    void Attach(JobOptions& job);
    // Completes the digests for the job's ending, prints them, fills the
    // report and writes the record after a finished copy. Throws JobError
    // for an input that changed or failed during the extra read, and
    // StopDuringMeasure for a stop asked for during it.
    void Complete(const std::string& inputText, const JobResult& result, FileReport& report,
                  CliHost& host);

private:
    void ReadKeptBytes(const std::string& inputText, const JobResult& result, bool withOutput,
                       CliHost& host);
    void Record(const std::string& inputText, const JobResult& result, FileReport& report) const;

    const CliOptions& options_;
    std::int64_t pad_ = 0;
    std::uint8_t fill_ = 0;
    std::unique_ptr<Digests> input_;
    std::unique_ptr<Digests> output_;
};

} // namespace kst::cli
