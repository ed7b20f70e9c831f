// SPDX-License-Identifier: MIT
#pragma once

#include "jobhost.h"
#include "options.h"
#include "progressbar.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

namespace kst::cli {

// Thrown from a yield of the measurement once a stop was asked for: nothing
// is written yet, so the job simply ends there.
struct StopDuringMeasure {};

// The window's controls as the command line sets them: Label1 is the file in
// hand, the options the rest. Log lines, non-empty panels and notices go to
// the log stream, one line each; the gauge goes to the progress bar.
class CliHost : public JobHost {
public:
    CliHost(const CliOptions& options, std::ostream& log, ProgressBar& bar)
        : options_(options), log_(&log), bar_(bar) {}

    void SetFile(std::string path, std::optional<std::string> outDir) {
        file_ = std::move(path);
        outDir_ = std::move(outDir);
    }
    // The input's size as the job opened it, for the scans' progress.
    void SetInputSize(std::int64_t size) { inSize_ = size; }
    void WriteLine(std::string_view line);
    // Where log lines go from now on.
    void LogTo(std::ostream& log) { log_ = &log; }

    std::string ReadField(Field control) override;
    bool IsOn(Option control) override;
    OutputPlace OutputChoice() override {
        return outDir_ ? OutputPlace::InFolder : OutputPlace::BesideInput;
    }

    bool AbortRequested() override;
    void ClearAbortRequest() override {}

    void ClearLog() override {}
    void AppendLog(std::string_view line) override;
    void ShowFigure(Figure figure, std::string_view text) override;
    void SetGauge(int percent) override { bar_.Show(percent); }
    void ShowAbortButton(bool copying) override { copying_ = copying; }
    void Inform(std::string_view text) override { WriteLine(text); }
    void Yield() override;

private:
    void StartPhaseOf(std::string_view line);

    const CliOptions& options_;
    std::ostream* log_;
    ProgressBar& bar_;
    std::string file_;
    std::optional<std::string> outDir_; // the file's own: walks mirror their tree
    bool copying_ = false;
    std::int64_t inSize_ = 0;  // SetInputSize's
    std::int64_t outSize_ = 0; // from the output size figure, for the copy's progress
};

} // namespace kst::cli
