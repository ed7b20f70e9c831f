// SPDX-License-Identifier: MIT
#pragma once

#include "FormController.h"

#include <utility>

namespace kst::form {

// The window's handlers, one per control event and named after the control
// and the event; every toolkit's TForm1 has them from here, so they hand
// their events to the same rules.
class FormEvents {
public:
    FormEvents(FormView& view, JobRunner runJob) : controller_(view, std::move(runJob)) {}

    bool JobRunning() const { return controller_.JobRunning(); }
    // The window as the job sees it.
    FormController& Controller() { return controller_; }
    // The job's progress on the window's task-bar button or dock entry.
    TaskbarProgress& Taskbar() { return controller_.Taskbar(); }

    void Button1Click() { controller_.Button1Click(); }
    void Button2Click() { controller_.Button2Click(); }
    void Button3Click() { controller_.Button3Click(); }
    void CheckBox1Click() { controller_.CheckBox1Click(); }

protected:
    FormController controller_;
};

} // namespace kst::form
