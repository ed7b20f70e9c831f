// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

namespace kst {

// How a window's task-bar button (or dock entry) shows a job.
enum class TaskbarState {
    None,   // no progress shown
    Normal, // the job's progress
    Error,  // the job failed at that progress
};

// The window's button on the desktop's task bar or dock, as each desktop
// draws progress on it. Sends are best effort: a desktop without the means
// shows nothing and reports nothing.
class TaskbarButton {
public:
    virtual ~TaskbarButton() = default;
    // percent is 0 to 100; it does not count with None.
    virtual void ShowProgress(TaskbarState state, int percent) = 0;
};

// Mirrors a job's gauge on the window's task-bar button: 0 when the job
// starts, the gauge's values while it runs, the error state after a failure
// and nothing once the job has ended. Only changes are sent, so a job of
// many small chunks does not flood the desktop.
class TaskbarProgress {
public:
    explicit TaskbarProgress(std::unique_ptr<TaskbarButton> button = nullptr);

    // Tests put a recording button in the real one's place.
    void SetButton(std::unique_ptr<TaskbarButton> button);

    void JobStarted();
    void GaugeMoved(int percent);
    void JobFailed();
    void JobEnded();

private:
    void Show(TaskbarState state, int percent);

    std::unique_ptr<TaskbarButton> button_;
    TaskbarState state_ = TaskbarState::None;
    int percent_ = 0;
};

// One job on the button: started when made, ended when it goes out of
// scope, however the job ended.
class TaskbarJob {
public:
    explicit TaskbarJob(TaskbarProgress& progress) : progress_(progress) { progress_.JobStarted(); }
    ~TaskbarJob() { progress_.JobEnded(); }
    TaskbarJob(const TaskbarJob&) = delete;
    TaskbarJob& operator=(const TaskbarJob&) = delete;

    // The job failed: the button shows it until the job's handler returns.
    void Failed() { progress_.JobFailed(); }

private:
    TaskbarProgress& progress_;
};

} // namespace kst
