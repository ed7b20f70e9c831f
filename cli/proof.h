// SPDX-License-Identifier: MIT
#pragma once

#include "digests.h"
#include "options.h"
#include "report.h"
#include "trimjob.h"

#include <memory>
#include <string>

namespace kst::cli {

class CliHost;

// The digests of one file's trim (--hash) and its record (--record): the
// job's sinks, fed by the job while it holds the input (a copy as it goes;
// measure-only and nothing-to-trim from the kept bytes read once more).
class TrimProof {
public:
    explicit TrimProof(const CliOptions& options);

    // Points the job's sinks at the digests, when any are asked for.
    void Attach(JobOptions& job);
    // Prints the digests of a job that saw all of its bytes, fills the
    // report and writes the record after a finished copy. Throws JobError
    // when the record cannot be written.
    void Complete(const std::string& inputText, const JobResult& result, FileReport& report,
                  CliHost& host);

private:
    void Record(const std::string& inputText, const JobResult& result, FileReport& report) const;

    const CliOptions& options_;
    std::int64_t pad_ = 0;
    std::unique_ptr<Digests> input_;
    std::unique_ptr<Digests> output_;
};

} // namespace kst::cli
