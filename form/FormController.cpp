// SPDX-License-Identifier: MIT
#include "FormController.h"

#include <utility>

bool abortflag = false;

namespace kst::form {

JobRunner TrimJob(const JobOptions& options) {
    return [options](JobHost& host) { RunTrimJob(host, options); };
}

FormController::FormController(FormView& view, JobRunner runJob)
    : view_(view), runJob_(std::move(runJob)) {}

// A press while a job runs starts nothing: the running job holds the input,
// and a second one inside it could only fail. Whatever way the job ends,
// the window is idle again afterwards.
void FormController::Button1Click() {
    if (running_) {
        return;
    }
    running_ = true;
    try {
        RunJobShowingFailure();
    } catch (...) {
        JobReturned();
        throw;
    }
    JobReturned();
}

// The failure box comes up while the window still stands: a close asked
// for during the job waits for the box too. The task bar shows the failure
// while the box is up, and nothing once it is closed.
void FormController::RunJobShowingFailure() {
    TaskbarJob onTaskbar(taskbar_);
    try {
        runJob_(*this);
    } catch (const std::exception& failure) {
        onTaskbar.Failed();
        view_.ShowFailure(failure);
    }
}

// A quit or close that arrived during the job takes effect now.
void FormController::JobReturned() {
    running_ = false;
    if (quitDeferred_) {
        quitDeferred_ = false;
        view_.EndMessageLoop(quitCode_);
    }
    if (closeDeferred_) {
        closeDeferred_ = false;
        view_.CloseWindow();
    }
}

void FormController::Button2Click() {
    if (const std::optional<std::string> folder = view_.ChooseFolder()) {
        view_.SetText(Control::Edit1, *folder);
    }
}

void FormController::Button3Click() {
    abortflag = true;
}

// CheckBox2 is unticked before it is disabled, so the pad is never asked
// for without the leading run; Edit2 keeps its text.
void FormController::CheckBox1Click() {
    if (view_.Ticked(Control::CheckBox1)) {
        view_.SetEnabled(Control::CheckBox2, true);
        view_.SetEnabled(Control::Edit2, true);
    } else {
        view_.SetTicked(Control::CheckBox2, false);
        view_.SetEnabled(Control::CheckBox2, false);
        view_.SetEnabled(Control::Edit2, false);
    }
}

bool FormController::CloseRequested() {
    if (running_) {
        closeDeferred_ = true;
        return false;
    }
    return true;
}

void FormController::QuitRequested(int code) {
    if (!running_) {
        view_.EndMessageLoop(code);
        return;
    }
    quitDeferred_ = true;
    quitCode_ = code;
}

std::string FormController::ReadField(Field field) {
    switch (field) {
    case Field::InputPath:
        return view_.Text(Control::Label1);
    case Field::OutputFolder:
        return view_.Text(Control::Edit1);
    case Field::PadText:
        return view_.Text(Control::Edit2);
    case Field::ChunkText:
        return view_.Text(Control::ComboBox1);
    }
    return {};
}

bool FormController::IsOn(Option option) {
    switch (option) {
    case Option::TrimLeading:
        return view_.Ticked(Control::CheckBox1);
    case Option::WritePad:
        return view_.Ticked(Control::CheckBox2);
    case Option::MeasureOnly:
        return view_.Ticked(Control::CheckBox3);
    }
    return false;
}

OutputPlace FormController::OutputChoice() {
    return view_.ItemIndex(Control::RadioGroup1) == 0 ? OutputPlace::BesideInput
                                                      : OutputPlace::InFolder;
}

bool FormController::AbortRequested() {
    return abortflag;
}

void FormController::ClearAbortRequest() {
    abortflag = false;
}

void FormController::ClearLog() {
    view_.ClearLog();
}

void FormController::AppendLog(std::string_view line) {
    view_.AppendLog(line);
}

void FormController::ShowFigure(Figure figure, std::string_view text) {
    view_.ShowFigure(figure, text);
}

void FormController::SetGauge(int percent) {
    view_.SetGauge(percent);
    taskbar_.GaugeMoved(percent);
}

void FormController::ShowAbortButton(bool copying) {
    if (copying) {
        view_.ShowInstead(Control::Button3, Control::Button1);
    } else {
        view_.ShowInstead(Control::Button1, Control::Button3);
    }
}

void FormController::Inform(std::string_view text) {
    view_.Inform(text);
}

void FormController::Yield() {
    view_.Yield();
}

} // namespace kst::form
