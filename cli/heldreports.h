// SPDX-License-Identifier: MIT
#pragma once

#include "clihost.h"
#include "outputbatch.h"
#include "proof.h"
#include "report.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace kst::cli {

// One input's outcome as its job left it. A copy the engine holds in its
// batch has its digests and record completed once the batch commits it.
struct FileOutcome {
    FileReport report;
    std::unique_ptr<TrimProof> proof; // a held copy's
};

// Reports in input order. A copy the engine holds is reported only once the
// batch has committed it, durable under its name; the files after it wait
// with it, their log lines kept until then, so each file's lines and report
// still come out together and in order.
class HeldReports {
public:
    using Emit = std::function<void(const FileReport&)>;
    // With flushReports, emit leaves its reports unflushed: a group's log
    // lines then go out in one write and its reports in another, where a
    // write each would cost a batch of small files more than its copies. For
    // outputs apart only, as it changes the order between the two.
    using Flush = std::function<void()>;
    HeldReports(CliHost& host, std::ostream& log, OutputBatch& batch, Emit emit,
                Flush flushReports = {});

    // Before each file's job: sends its log lines to the log, or keeps them
    // while earlier files wait.
    void StartFile();
    void Add(FileOutcome outcome);
    // Commits the batch, then reports every file waiting.
    void Commit();
    // The same, during the job of the file StartFile began, before it logs
    // a line: its lines then go straight to the log.
    void CommitBeforeFile();

private:
    struct Waiting {
        FileOutcome outcome;
        std::string log;
    };
    void Finish(FileOutcome& outcome, const std::optional<JobError>& failure);

    CliHost& host_;
    std::ostream& log_;
    OutputBatch& batch_;
    Emit emit_;
    Flush flushReports_;
    std::ostringstream kept_;
    std::vector<Waiting> waiting_;
};

} // namespace kst::cli
