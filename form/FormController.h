// SPDX-License-Identifier: MIT
#pragma once

#include "FormView.h"
#include "jobhost.h"
#include "taskbarprogress.h"
#include "trimjob.h"

#include <functional>

// Set by Abort, cleared and polled by the copy phase of a running job.
extern bool abortflag;

namespace kst::form {

// Runs the job behind Execute on the window; failures are thrown.
using JobRunner = std::function<void(JobHost& host)>;

// The trim job with options.
JobRunner TrimJob(const JobOptions& options = {});

// The main window's rules, whatever toolkit draws it: what its buttons and
// the interlock do, the job's running state and what waits for the job to
// return. The job sees the window through it.
class FormController final : public JobHost {
public:
    FormController(FormView& view, JobRunner runJob);

    bool JobRunning() const { return running_; }
    // The job's progress on the window's task-bar button or dock entry.
    TaskbarProgress& Taskbar() { return taskbar_; }

    // Execute: the job, run to its end.
    void Button1Click();
    // Browse: a confirmed folder goes into Edit1.
    void Button2Click();
    // Abort: noticed by the copy before its next full chunk.
    void Button3Click();
    // The interlock of the leading-run option and the pad.
    void CheckBox1Click();

    // A close request: true when the window may close now; during a job it
    // is put off until the job has returned.
    bool CloseRequested();
    // A quit request found while the job yields: acted on once it returned.
    void QuitRequested(int code);

    // JobHost
    std::string ReadField(Field field) override;
    bool IsOn(Option option) override;
    OutputPlace OutputChoice() override;
    bool AbortRequested() override;
    void ClearAbortRequest() override;
    void ClearLog() override;
    void AppendLog(std::string_view line) override;
    void ShowFigure(Figure figure, std::string_view text) override;
    void SetGauge(int percent) override;
    void ShowAbortButton(bool copying) override;
    void Inform(std::string_view text) override;
    void Yield() override;

private:
    void RunJobShowingFailure();
    void JobReturned();

    FormView& view_;
    JobRunner runJob_;
    TaskbarProgress taskbar_;
    bool running_ = false;
    bool closeDeferred_ = false;
    bool quitDeferred_ = false;
    int quitCode_ = 0;
};

} // namespace kst::form
