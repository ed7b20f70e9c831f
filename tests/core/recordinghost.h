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
    std::map<kst::Field, std::string> texts{{kst::Field::PadText, "0"},
                                            {kst::Field::ChunkText, "1"}};
    std::map<kst::Option, bool> checks;
    kst::OutputPlace place = kst::OutputPlace::BesideInput;
    bool abortflag = false;

    std::vector<std::string> events;
    std::vector<std::string> log;
    std::vector<int> gauge;
    std::string panels[3];
    // Runs during each yield, with the yield's number counted from 0.
    std::function<void(int)> onYield;
    int yields = 0;

    std::string ReadField(kst::Field c) override { return texts[c]; }
    bool IsOn(kst::Option c) override { return checks[c]; }
    kst::OutputPlace OutputChoice() override { return place; }
    bool AbortRequested() override { return abortflag; }
    void ClearAbortRequest() override { abortflag = false; }
    void ClearLog() override {
        log.clear();
        events.push_back("clear");
    }
    void AppendLog(std::string_view line) override {
        log.emplace_back(line);
        events.push_back("log:" + std::string(line));
    }
    void ShowFigure(kst::Figure figure, std::string_view text) override {
        const int index = static_cast<int>(figure);
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

    void Tick(kst::Option c) { checks[c] = true; }
};
