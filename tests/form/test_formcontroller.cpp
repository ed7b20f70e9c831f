// SPDX-License-Identifier: MIT
// The window's rules as event sequences and what the window was asked to do.
#include "FormController.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

using kst::form::Control;
using kst::form::FormController;

namespace {

// What the user does.
enum class Do { Execute, Abort, TickLeading, UntickLeading, TickPad, Browse, Cancel, Close, Quit };

// Records what the controller asks of the window as readable lines.
class RecordingView final : public kst::form::FormView {
public:
    FormController* controller = nullptr;
    std::vector<std::string> calls;
    std::vector<Do> atFirstYield;
    std::map<Control, bool> ticks;
    int itemIndex = 0;
    std::optional<std::string> folder;

    void Perform(Do action);

    std::string Text(Control control) override {
        return std::string(kst::form::RowOf(control).name);
    }
    void SetText(Control control, std::string_view text) override {
        Note(Name(control) + " = " + std::string(text));
    }
    bool Ticked(Control checkBox) override { return ticks[checkBox]; }
    void SetTicked(Control checkBox, bool ticked) override {
        ticks[checkBox] = ticked;
        Note(Name(checkBox) + (ticked ? " ticked" : " unticked"));
    }
    void SetEnabled(Control control, bool enabled) override {
        Note(Name(control) + (enabled ? " enabled" : " disabled"));
    }
    void ShowInstead(Control shown, Control hidden) override {
        Note(Name(shown) + " shown, " + Name(hidden) + " hidden");
    }
    int ItemIndex(Control) override { return itemIndex; }
    void ClearLog() override {}
    void AppendLog(std::string_view) override {}
    void ShowFigure(kst::Figure, std::string_view) override {}
    void SetGauge(int) override {}
    void Inform(std::string_view) override {}
    void ShowFailure(const std::exception& failure) override {
        Note(std::string("failure box: ") + failure.what());
    }
    // The user's actions of the row, at the job's first yield only.
    void Yield() override {
        Note("yield");
        const std::vector<Do> actions = std::exchange(atFirstYield, {});
        for (const Do action : actions) {
            Perform(action);
        }
    }
    std::optional<std::string> ChooseFolder() override { return folder; }
    // As a window does: the close is asked for again, and must now be granted.
    void CloseWindow() override {
        if (controller->CloseRequested()) {
            Note("closed");
        }
    }
    void EndMessageLoop(int code) override { Note("quit " + std::to_string(code)); }

    void Note(std::string call) { calls.push_back(std::move(call)); }

private:
    static std::string Name(Control control) { return std::string(kst::form::RowOf(control).name); }
};

void RecordingView::Perform(Do action) {
    switch (action) {
    case Do::Execute:
        // A failure the controller lets through reaches the event dispatch.
        try {
            controller->Button1Click();
        } catch (...) {
            Note("escaped to the dispatch");
        }
        break;
    case Do::Abort:
        controller->Button3Click();
        break;
    case Do::TickLeading:
    case Do::UntickLeading:
        ticks[Control::CheckBox1] = action == Do::TickLeading;
        controller->CheckBox1Click();
        break;
    case Do::TickPad:
        ticks[Control::CheckBox2] = true;
        break;
    case Do::Browse:
    case Do::Cancel:
        folder = action == Do::Browse ? std::optional<std::string>("/chosen") : std::nullopt;
        controller->Button2Click();
        break;
    case Do::Close:
        if (controller->CloseRequested()) {
            Note("closed");
        }
        break;
    case Do::Quit:
        controller->QuitRequested(7);
        break;
    }
}

// The job's steps, one letter each: y yields, c begins the copy, a reads the
// abort request, i shows the idle buttons again, f fails, x fails with
// something that is no std::exception.
kst::form::JobRunner ScriptedJob(const std::string& steps, RecordingView& view) {
    return [steps, &view](kst::JobHost& host) {
        for (const char step : steps) {
            switch (step) {
            case 'y':
                host.Yield();
                break;
            case 'c':
                host.ClearAbortRequest();
                host.ShowAbortButton(true);
                break;
            case 'a':
                view.Note(host.AbortRequested() ? "abort asked" : "no abort asked");
                break;
            case 'i':
                host.ShowAbortButton(false);
                break;
            case 'f':
                throw std::runtime_error("失敗");
            case 'x':
                throw 42;
            default:
                break;
            }
        }
    };
}

struct Row {
    const char* name;
    std::vector<Do> actions;
    std::string job;
    std::vector<Do> atFirstYield;
    std::vector<std::string> calls;
};

const std::string kCopying = "Button3 shown, Button1 hidden";
const std::string kIdle = "Button1 shown, Button3 hidden";

TEST(FormController, EventsAndWhatTheWindowIsAskedToDo) {
    const std::vector<Row> rows{
        {"ticking the leading option enables the pad",
         {Do::TickLeading},
         "",
         {},
         {"CheckBox2 enabled", "Edit2 enabled"}},
        {"unticking it unticks the pad before disabling it",
         {Do::TickLeading, Do::TickPad, Do::UntickLeading},
         "",
         {},
         {"CheckBox2 enabled", "Edit2 enabled", "CheckBox2 unticked", "CheckBox2 disabled",
          "Edit2 disabled"}},
        {"browse confirmed fills Edit1, cancelled leaves it",
         {Do::Browse, Do::Cancel},
         "",
         {},
         {"Edit1 = /chosen"}},
        {"an abort before the copy is forgotten when it begins",
         {Do::Abort, Do::Execute},
         "cai",
         {},
         {kCopying, "no abort asked", kIdle}},
        {"an abort during the copy, pressed twice, is seen once at the next chunk",
         {Do::Execute},
         "cyaai",
         {Do::Abort, Do::Abort},
         {kCopying, "yield", "abort asked", "abort asked", kIdle}},
        {"Execute during the job starts nothing", {Do::Execute}, "y", {Do::Execute}, {"yield"}},
        {"a close while idle closes at once", {Do::Close}, "", {}, {"closed"}},
        {"a close during the job waits for its end",
         {Do::Execute},
         "yy",
         {Do::Close},
         {"yield", "yield", "closed"}},
        {"a quit during the job waits too, and goes before the close",
         {Do::Execute},
         "y",
         {Do::Close, Do::Quit},
         {"yield", "quit 7", "closed"}},
        {"a failure shows its box before the waiting close",
         {Do::Execute},
         "yf",
         {Do::Close},
         {"yield", "failure box: 失敗", "closed"}},
        {"after a failure Execute runs the job again",
         {Do::Execute, Do::Execute},
         "f",
         {},
         {"failure box: 失敗", "failure box: 失敗"}},
        {"a foreign failure leaves the window idle and closes what waited",
         {Do::Execute, Do::Execute},
         "yx",
         {Do::Close},
         {"yield", "closed", "escaped to the dispatch", "yield", "escaped to the dispatch"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        abortflag = false;
        RecordingView view;
        FormController controller(view, ScriptedJob(row.job, view));
        view.controller = &controller;
        view.atFirstYield = row.atFirstYield;
        for (const Do action : row.actions) {
            view.Perform(action);
        }
        EXPECT_EQ(view.calls, row.calls);
        EXPECT_FALSE(controller.JobRunning());
    }
}

// The job reads each of its inputs from the control that holds it.
TEST(FormController, TheJobReadsTheWindowsControls) {
    RecordingView view;
    FormController controller(view, {});
    EXPECT_EQ(controller.ReadField(kst::Field::InputPath), "Label1");
    EXPECT_EQ(controller.ReadField(kst::Field::OutputFolder), "Edit1");
    EXPECT_EQ(controller.ReadField(kst::Field::PadText), "Edit2");
    EXPECT_EQ(controller.ReadField(kst::Field::ChunkText), "ComboBox1");
    const std::vector<std::pair<Control, kst::Option>> options{
        {Control::CheckBox1, kst::Option::TrimLeading},
        {Control::CheckBox2, kst::Option::WritePad},
        {Control::CheckBox3, kst::Option::MeasureOnly}};
    for (const auto& [box, option] : options) {
        view.ticks.clear();
        view.ticks[box] = true;
        for (const auto& [other, otherOption] : options) {
            EXPECT_EQ(controller.IsOn(otherOption), other == box) << kst::form::RowOf(box).name;
        }
    }
    EXPECT_EQ(controller.OutputChoice(), kst::OutputPlace::BesideInput);
    view.itemIndex = 1;
    EXPECT_EQ(controller.OutputChoice(), kst::OutputPlace::InFolder);
}

} // namespace
