// SPDX-License-Identifier: MIT
#pragma once

#include "jobhost.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

// A window stand-in: controls are plain fields, and every call the job makes
// is recorded in order as one event string.
class RecordingHost : public kst::JobHost {
public:
    std::map<kst::TextControl, std::string> texts{{kst::TextControl::Edit2, "0"},
                                                  {kst::TextControl::ComboBox1, "1"}};
    std::map<kst::CheckControl, bool> checks;
    int radioIndex = 0;
    bool abortflag = false;

    std::vector<std::string> events;
    std::vector<std::string> log;
    std::vector<int> gauge;
    std::string panels[3];
    // Runs during each yield, with the yield's number counted from 0.
    std::function<void(int)> onYield;
    int yields = 0;

    std::string ReadText(kst::TextControl c) override { return texts[c]; }
    bool IsChecked(kst::CheckControl c) override { return checks[c]; }
    int RadioIndex() override { return radioIndex; }
    bool AbortFlag() override { return abortflag; }
    void ClearAbortFlag() override { abortflag = false; }
    void ClearLog() override {
        log.clear();
        events.push_back("clear");
    }
    void AppendLog(std::string_view line) override {
        log.emplace_back(line);
        events.push_back("log:" + std::string(line));
    }
    void SetPanel(int index, std::string_view text) override {
        panels[index] = text;
        events.push_back("panel" + std::to_string(index) + ":" + std::string(text));
    }
    void SetGauge(int percent) override {
        gauge.push_back(percent);
        events.push_back("gauge:" + std::to_string(percent));
    }
    void ShowAbortButton(bool copying) override {
        events.push_back(copying ? "buttons:abort" : "buttons:idle");
    }
    void Inform(std::string_view text) override { events.push_back("inform:" + std::string(text)); }
    void Yield() override {
        if (onYield) {
            onYield(yields);
        }
        ++yields;
    }

    void Tick(kst::CheckControl c) { checks[c] = true; }
};
