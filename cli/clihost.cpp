// SPDX-License-Identifier: MIT
#include "clihost.h"

#include "stoprequest.h"

#include <ostream>

namespace kst::cli {

void CliHost::WriteLine(std::string_view line) {
    bar_.Erase();
    log_ << line << '\n' << std::flush;
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

void CliHost::ShowFigure(Figure /*figure*/, std::string_view text) {
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
