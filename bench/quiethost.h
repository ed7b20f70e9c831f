// SPDX-License-Identifier: MIT
#pragma once

#include "jobhost.h"

#include <map>
#include <string>

namespace bench {

// A window that does nothing: the job's progress, yields and log cost only
// the virtual calls, so the timings are the work behind them.
class QuietHost : public kst::JobHost {
public:
    std::map<kst::TextControl, std::string> texts;
    std::map<kst::CheckControl, bool> checks;

    std::string ReadText(kst::TextControl c) override { return texts[c]; }
    bool IsChecked(kst::CheckControl c) override { return checks[c]; }
    int RadioIndex() override { return 0; }
    bool AbortFlag() override { return false; }
    void ClearAbortFlag() override {}
    void ClearLog() override {}
    void AppendLog(std::string_view) override {}
    void SetPanel(int, std::string_view) override {}
    void SetGauge(int) override {}
    void ShowAbortButton(bool) override {}
    void Inform(std::string_view) override {}
    void Yield() override {}
};

} // namespace bench
