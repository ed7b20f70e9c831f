// SPDX-License-Identifier: MIT
#include "clihost.h"

#include "stoprequest.h"

#include <ostream>

namespace kst::cli {

void CliHost::WriteLine(std::string_view line) {
    bar_.Erase();
    log_ << line << '\n' << std::flush;
}

std::string CliHost::ReadText(TextControl control) {
    switch (control) {
    case TextControl::Label1:
        return file_;
    case TextControl::Edit1:
        return options_.outDir.value_or("");
    case TextControl::Edit2:
        return options_.pad.value_or("0");
    case TextControl::ComboBox1:
        return options_.chunk;
    }
    return {};
}

bool CliHost::IsChecked(CheckControl control) {
    switch (control) {
    case CheckControl::CheckBox1:
        return options_.leading;
    case CheckControl::CheckBox2:
        return options_.pad.has_value();
    case CheckControl::CheckBox3:
        return options_.measureOnly;
    }
    return false;
}

// A stop request is never cleared: the copy's clearing of the window's flag
// at its start must not forget a Ctrl-C that came during the measurement.
bool CliHost::AbortFlag() {
    return StopSignal() != 0;
}

void CliHost::SetPanel(int /*index*/, std::string_view text) {
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
