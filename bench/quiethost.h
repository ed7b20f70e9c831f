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
    std::map<kst::Field, std::string> texts;
    std::map<kst::Option, bool> checks;

    std::string ReadField(kst::Field c) override { return texts[c]; }
    bool IsOn(kst::Option c) override { return checks[c]; }
    kst::OutputPlace OutputChoice() override { return kst::OutputPlace::BesideInput; }
    bool AbortRequested() override { return false; }
    void ClearAbortRequest() override {}
    void ClearLog() override {}
    void AppendLog(std::string_view) override {}
    void ShowFigure(kst::Figure, std::string_view) override {}
    void SetGauge(int) override {}
    void ShowAbortButton(bool) override {}
    void Inform(std::string_view) override {}
    void Yield() override {}
};

} // namespace bench
