// SPDX-License-Identifier: MIT
#include "batch.h"
#include "clihost.h"
#include "joberror.h"
#include "messages.h"
#include "options.h"
#include "outputpath.h"
#include "proof.h"
#include "report.h"
#include "restore.h"
#include "stoprequest.h"
#include "summary.h"
#include "trimjob.h"
#include "walk.h"

#include <exception>
#include <filesystem>
#include <iostream>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>
#endif

namespace {

using namespace kst::cli;

FileReport Skipped(CliHost& host, FileReport report, const std::string& copy) {
    host.WriteLine(report.path + ": skipped, " + copy + " exists");
    report.status = FileStatus::Skipped;
    return report;
}

FileReport TrimOne(CliHost& host, const CliOptions& options, const Input& input) {
    FileReport report;
    report.path = input.path;
    host.SetFile(input.path, input.outDir);
    if (const std::string copy = CopyName(input);
        !options.measureOnly && options.skipExisting &&
        std::filesystem::exists(kst::PathFromUtf8(copy))) {
        return Skipped(host, report, copy);
    }
    const CopyFolder folder(input);
    FileGuards guards(host, options, input);
    try {
        TrimProof proof(options);
        kst::JobOptions job = guards.ForJob();
        proof.Attach(job);
        const kst::JobResult result = kst::RunTrimJob(host, job);
        report.status = StatusOf(result.ending);
        report.result = result;
        guards.CheckRuns(result);
        proof.Complete(input.path, result, report, host);
        if (result.ending == kst::JobEnding::NoOutputFolder) {
            report.error = kst::msg::kSpecifyFolder;
            report.errorKind = "no_output_folder";
        }
    } catch (const StopDuringMeasure&) {
        host.WriteLine(kst::msg::kAborted);
        report.status = FileStatus::Aborted;
    } catch (const kst::JobError& e) {
        host.WriteLine(e.what());
        report.status = FileStatus::Failed;
        report.error = e.what();
        report.errorKind = kst::ErrorKindName(e.Kind());
    } catch (const std::exception& e) {
        report.error = kst::FailureMessage(e);
        host.WriteLine(report.error);
        report.status = FileStatus::Failed;
        report.errorKind = "internal";
    }
    report.warnings = guards.Warnings();
    return report;
}

int ExitStatus(bool anyFailed) {
    if (const int signal = StopSignal(); signal != 0) {
        return 128 + signal;
    }
    return anyFailed ? kExitFailed : kExitOk;
}

int TrimAll(const CliOptions& options) {
    ProgressBar bar(std::cerr, options.progress && StderrIsTerminal());
    CliHost host(options, std::cerr, bar);
    bool anyFailed = false;
    Summary summary;
    for (const Input& input : ExpandInputs(options.files, options.recursive, options.outDir)) {
        if (StopSignal() != 0) {
            break;
        }
        const FileReport report = TrimOne(host, options, input);
        bar.Erase();
        anyFailed = anyFailed || report.status == FileStatus::Failed;
        summary.Add(report, PadBytes(options));
        if (options.json) {
            std::cout << ReportJson(report) << '\n' << std::flush;
        }
    }
    host.WriteLine(summary.Line());
    if (options.json) {
        std::cout << summary.JsonLine() << '\n' << std::flush;
    }
    return ExitStatus(anyFailed);
}

int Run(int argc, const char* const* argv) {
    const CommandLine commandLine = ParseCommandLine(argc, argv, std::cout, std::cerr);
    if (!InitHashing()) {
        std::cerr << "kestrune-cli: the hashing library is older than the one it was built with\n";
        return kExitFailed;
    }
    if (commandLine.restore) {
        return RestoreAll(*commandLine.restore, std::cout, std::cerr);
    }
    if (!commandLine.options) {
        return commandLine.exitStatus;
    }
    InstallStopHandlers();
    return TrimAll(*commandLine.options);
}

#ifdef _WIN32
// The job takes UTF-8 paths; the narrow argv would be in the ANSI code page.
std::vector<std::string> Utf8Arguments() {
    int argc = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), n, nullptr, nullptr);
        args.push_back(std::move(arg));
    }
    ::LocalFree(wide);
    return args;
}
#endif

} // namespace

#ifdef _WIN32
int main() {
    ::SetConsoleOutputCP(CP_UTF8);
    const std::vector<std::string> args = Utf8Arguments();
    std::vector<const char*> pointers;
    for (const std::string& arg : args) {
        pointers.push_back(arg.c_str());
    }
    return Run(static_cast<int>(pointers.size()), pointers.data());
}
#else
int main(int argc, char** argv) {
    return Run(argc, argv);
}
#endif
