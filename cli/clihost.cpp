// SPDX-License-Identifier: MIT
#include "clihost.h"

#include "messages.h"
#include "outputpath.h"
#include "stoprequest.h"

#include <filesystem>
#include <ostream>
#include <string>

namespace kst::cli {

void CliHost::WriteLine(std::string_view line) {
    bar_.Erase();
    std::string text(line);
    text += '\n';
    *log_ << text << std::flush; // one write per line
}

std::string CliHost::ReadField(Field control) {
    switch (control) {
    case Field::InputPath:
        return file_;
    case Field::OutputFolder:
        return outDir_.value_or("");
    case Field::PadText:
        return options_.pad.value_or("0");
    case Field::ChunkText:
        return options_.chunk;
    }
    return {};
}

bool CliHost::IsOn(Option control) {
    switch (control) {
    case Option::TrimLeading:
        return options_.leading;
    case Option::WritePad:
        return options_.pad.has_value();
    case Option::MeasureOnly:
        return options_.measureOnly;
    }
    return false;
}

// A stop request is never cleared: the copy's clearing of the window's flag
// at its start must not forget a Ctrl-C that came during the measurement.
bool CliHost::AbortRequested() {
    return StopSignal() != 0;
}

void CliHost::AppendLog(std::string_view line) {
    StartPhaseOf(line);
    WriteLine(line);
}

// The job announces each phase with its log line; the gauge's percent times
// the phase's size gives the bytes done. The sizes are the job's own
// (SetInputSize, the output size figure): asking the system again would
// cost each small file of a batch.
void CliHost::StartPhaseOf(std::string_view line) {
    if (line == msg::kCreatingOutput) {
        bar_.StartPhase(outSize_, Sweep::Rising);
        return;
    }
    const bool leading = line == msg::kScanningLeading;
    if (leading || line == msg::kScanningTrailing) {
        bar_.StartPhase(inSize_, leading ? Sweep::Rising : Sweep::Falling);
    }
}

void CliHost::ShowFigure(Figure figure, std::string_view text) {
    if (figure == Figure::OutputSize) {
        // The caption, then the size with its digits grouped.
        outSize_ = 0;
        for (const char c : text) {
            if (c >= '0' && c <= '9') {
                outSize_ = outSize_ * 10 + (c - '0');
            }
        }
    }
    if (!text.empty()) {
        WriteLine(text);
    }
}

// The copy tests the flag itself before each full chunk and keeps what it
// wrote; the scans have no such test, so the stop is raised here.
void CliHost::Yield() {
    if (!copying_ && StopSignal() != 0) {
        throw StopDuringMeasure{};
    }
}

} // namespace kst::cli
