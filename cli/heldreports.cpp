// SPDX-License-Identifier: MIT
#include "heldreports.h"

#include "messages.h"

#include <exception>
#include <ostream>

namespace kst::cli {

HeldReports::HeldReports(CliHost& host, std::ostream& log, OutputBatch& batch, Emit emit,
                         Flush flushReports)
    : host_(host), log_(log), batch_(batch), emit_(std::move(emit)),
      flushReports_(std::move(flushReports)) {}

void HeldReports::StartFile() {
    kept_.str({});
    host_.LogTo(waiting_.empty() ? log_ : kept_);
}

void HeldReports::Add(FileOutcome outcome) {
    host_.LogTo(log_);
    if (waiting_.empty() && !(outcome.report.result && outcome.report.result->held)) {
        emit_(outcome.report);
        if (flushReports_) {
            flushReports_();
        }
        return;
    }
    waiting_.push_back(Waiting{std::move(outcome), kept_.str()});
}

void HeldReports::Commit() {
    std::vector<std::optional<JobError>> outcomes = batch_.Commit();
    auto next = outcomes.begin();
    // Each file's lines go out at once, the last ones with the rest, or the
    // whole group's when the reports go elsewhere: a write each would cost
    // a batch of small files more than its copy.
    std::ostringstream lines;
    for (Waiting& waiting : waiting_) {
        lines << waiting.log;
        host_.LogTo(lines);
        FileOutcome& outcome = waiting.outcome;
        if (outcome.report.result && outcome.report.result->held && next != outcomes.end()) {
            Finish(outcome, *next++);
        }
        host_.LogTo(log_);
        if (!flushReports_) {
            log_ << lines.str() << std::flush;
            lines.str({});
        }
        emit_(outcome.report);
    }
    if (flushReports_ && !waiting_.empty()) {
        log_ << lines.str() << std::flush;
        flushReports_();
    }
    waiting_.clear();
}

void HeldReports::CommitBeforeFile() {
    Commit();
    log_ << kept_.str() << std::flush;
    kept_.str({});
    host_.LogTo(log_);
}

// As the job itself would have ended it: "終わり" once the copy is durable,
// then its digests and record; or the failure, with no copy left.
void HeldReports::Finish(FileOutcome& outcome, const std::optional<JobError>& failure) {
    FileReport& report = outcome.report;
    try {
        if (failure) {
            throw *failure;
        }
        host_.WriteLine(kst::msg::kFinished);
        if (outcome.proof) {
            outcome.proof->Complete(report.path, *report.result, report, host_);
        }
    } catch (const kst::JobError& e) {
        ReportFailure(report, e);
        host_.WriteLine(report.error);
    }
}

} // namespace kst::cli
