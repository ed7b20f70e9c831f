// SPDX-License-Identifier: MIT
#include "trimrun.h"

#include "batch.h"
#include "clihost.h"
#include "digests.h"
#include "heldreports.h"
#include "joberror.h"
#include "messages.h"
#include "options.h"
#include "outputbatch.h"
#include "outputpath.h"
#include "proof.h"
#include "report.h"
#include "restore.h"
#include "stoprequest.h"
#include "summary.h"
#include "trimjob.h"
#include "walk.h"
#include "winargs.h"

#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>

namespace kst::cli {
namespace {

FileReport Skipped(CliHost& host, FileReport report, const std::string& why) {
    host.WriteLine(report.path + ": skipped, " + why);
    report.status = FileStatus::Skipped;
    return report;
}

FileReport Collided(CliHost& host, FileReport report, const std::string& copy,
                    const std::string& first) {
    report.error = report.path + ": " + copy + " is already the copy of " + first +
                   " in this run; not overwritten";
    report.errorKind = "output_collision";
    host.WriteLine(report.error);
    return report;
}

FileReport Unmatched(CliHost& host, FileReport report) {
    report.error = FormatMessage(kNoMatch, report.path);
    report.errorKind = kNoMatchKind;
    host.WriteLine(report.error);
    return report;
}

// sized: what the job tells of the input's size, before it logs a line.
FileOutcome TrimOne(CliHost& host, const CliOptions& options, const Input& input,
                    const ClaimedOutputs& claimed, kst::OutputBatch& batch,
                    const std::function<void(std::int64_t)>& sized) {
    FileOutcome outcome;
    FileReport& report = outcome.report;
    report.path = input.path;
    if (input.unmatched) {
        report = Unmatched(host, report);
        return outcome;
    }
    if (!input.skipped.empty()) {
        report = Skipped(host, report, input.skipped);
        return outcome;
    }
    host.SetFile(input.path, input.outDir);
    const std::string copy = CopyName(input);
    if (const std::string* first = claimed.Owner(copy)) {
        report = Collided(host, report, copy, *first);
        return outcome;
    }
    if (!options.measureOnly && options.skipExisting &&
        std::filesystem::exists(kst::PathFromUtf8(copy))) {
        report = Skipped(host, report, copy + " exists");
        return outcome;
    }
    CopyFolder folder(input);
    FileGuards guards(host, options);
    try {
        auto proof = std::make_unique<TrimProof>(options);
        kst::JobOptions job = guards.ForJob();
        job.onAbort = kst::JobOptions::OnAbort::Drop;
        job.batch = &batch;
        job.sized = [&host, &sized](std::int64_t size) {
            host.SetInputSize(size);
            sized(size);
        };
        // A failure while writing still reports what was measured.
        job.measured = [&report](const kst::JobResult& figures) { report.result = figures; };
        proof->Attach(job);
        const kst::JobResult result = kst::RunTrimJob(host, job);
        report.status = StatusOf(result.ending);
        report.result = result;
        guards.CheckRuns(result);
        if (result.held) {
            folder.Keep();
            outcome.proof = std::move(proof); // completed once the copy is committed
        } else {
            proof->Complete(input.path, result, report, host);
        }
        if (result.ending == kst::JobEnding::NoOutputFolder) {
            report.error = kst::msg::kSpecifyFolder;
            report.errorKind = "no_output_folder";
        }
    } catch (const StopDuringMeasure&) {
        host.WriteLine(kst::msg::kAborted);
        report.status = FileStatus::Aborted;
    } catch (const kst::JobError& e) {
        ReportFailure(report, e);
        host.WriteLine(report.error);
    } catch (const std::exception& e) {
        report.error = kst::FailureMessage(e);
        host.WriteLine(report.error);
        report.status = FileStatus::Failed;
        report.errorKind = "internal";
    }
    report.warnings = guards.Warnings();
    return outcome;
}

int ExitStatus(bool anyFailed) {
    if (const int signal = StopSignal(); signal != 0) {
        return 128 + signal;
    }
    return anyFailed ? kExitFailed : kExitOk;
}

int TrimAll(const CliOptions& options, std::ostream& out, std::ostream& err) {
    ProgressBar bar(err, options.progress && StderrIsTerminal());
    CliHost host(options, err, bar);
    bool anyFailed = false;
    Summary summary;
    ClaimedOutputs claimed;
    kst::OutputBatch batch;
    const bool apart = StdoutAndStderrApart();
    const auto emit = [&](const FileReport& report) {
        anyFailed = anyFailed || report.status == FileStatus::Failed;
        summary.Add(report, PadBytes(options));
        if (options.json) {
            out << ReportJson(report) << '\n';
            if (!apart) {
                out << std::flush;
            }
        }
    };
    HeldReports reports(host, err, batch, emit,
                        apart ? HeldReports::Flush([&out] { out << std::flush; })
                              : HeldReports::Flush());
    for (const Input& input : TypedInputs(options.files, options.recursive, options.outDir)) {
        if (StopSignal() != 0) {
            break;
        }
        reports.StartFile();
        // A copy too large to wait beside the held ones: those are committed
        // first, so they are not left waiting for its whole copy. The size is
        // the job's, from the file it opened.
        const auto commitIfTooLarge = [&](std::int64_t size) {
            if (!batch.Empty() && !batch.Takes(size + PadBytes(options))) {
                reports.CommitBeforeFile();
            }
        };
        FileOutcome outcome = TrimOne(host, options, input, claimed, batch, commitIfTooLarge);
        if (outcome.report.status == FileStatus::Trimmed ||
            outcome.report.status == FileStatus::Measured) {
            claimed.Claim(CopyName(input), input.path);
        }
        bar.Erase();
        reports.Add(std::move(outcome));
        if (batch.Full()) {
            reports.Commit();
        }
    }
    reports.Commit();
    host.WriteLine(summary.Line());
    if (options.json) {
        out << summary.JsonLine() << '\n' << std::flush;
    }
    return ExitStatus(anyFailed);
}

} // namespace

int RunCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    const CommandLine commandLine = ParseCommandLine(argc, argv, out, err);
    if (!kst::InitHashing()) {
        err << "kestrune-cli: the hashing library is older than the one it was built with\n";
        return kExitFailed;
    }
    if (commandLine.restore) {
        InstallStopHandlers();
        return RestoreAll(*commandLine.restore, out, err);
    }
    if (!commandLine.options) {
        return commandLine.exitStatus;
    }
    InstallStopHandlers();
    return TrimAll(*commandLine.options, out, err);
}

} // namespace kst::cli
