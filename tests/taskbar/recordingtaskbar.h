// SPDX-License-Identifier: MIT
#pragma once

#include "taskbarprogress.h"

#include <string>
#include <vector>

// A task-bar button that records what it is sent, one entry per send:
// "normal 40", "error 40" or "none".
class RecordingTaskbar final : public kst::TaskbarButton {
public:
    explicit RecordingTaskbar(std::vector<std::string>& sent) : sent_(sent) {}

    void ShowProgress(kst::TaskbarState state, int percent) override {
        switch (state) {
        case kst::TaskbarState::None:
            sent_.emplace_back("none");
            return;
        case kst::TaskbarState::Normal:
            sent_.push_back("normal " + std::to_string(percent));
            return;
        case kst::TaskbarState::Error:
            sent_.push_back("error " + std::to_string(percent));
            return;
        }
    }

private:
    std::vector<std::string>& sent_;
};
