// SPDX-License-Identifier: MIT
#include "taskbarprogress.h"

#include <algorithm>
#include <utility>

namespace kst {

TaskbarProgress::TaskbarProgress(std::unique_ptr<TaskbarButton> button)
    : button_(std::move(button)) {}

void TaskbarProgress::SetButton(std::unique_ptr<TaskbarButton> button) {
    button_ = std::move(button);
}

void TaskbarProgress::JobStarted() {
    Show(TaskbarState::Normal, 0);
}

// The gauge moves only inside a job; a failed job's bar stays as it failed.
void TaskbarProgress::GaugeMoved(int percent) {
    if (state_ == TaskbarState::Normal) {
        Show(TaskbarState::Normal, std::clamp(percent, 0, 100));
    }
}

void TaskbarProgress::JobFailed() {
    if (state_ != TaskbarState::None) {
        Show(TaskbarState::Error, percent_);
    }
}

void TaskbarProgress::JobEnded() {
    Show(TaskbarState::None, 0);
}

void TaskbarProgress::Show(TaskbarState state, int percent) {
    if (state == state_ && (percent == percent_ || state == TaskbarState::None)) {
        return;
    }
    state_ = state;
    percent_ = percent;
    if (button_) {
        button_->ShowProgress(state, percent);
    }
}

} // namespace kst
