// SPDX-License-Identifier: MIT
#include "Dpi.h"
#include "MessageBoxes.h"
#include "RunningMarker.h"
#include "Unit1.h"

#include <commctrl.h>
#include <objbase.h>

#include <exception>

namespace {

// Runs until the main window is gone; messages of the window's controls
// pass through its keyboard navigation first.
int RunMessageLoop(TForm1& form) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        form.Dispatch(msg);
    }
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int show) {
    const kst::win::RunningMarker running;
    kst::win::BecomePerMonitorAware();
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                        ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // The folder chooser and screen-reader names use COM on this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int exitCode = 0;
    try {
        TForm1 form;
        form.EndProgramOnClose();
        form.Show(show);
        exitCode = RunMessageLoop(form);
    } catch (const std::exception& failure) {
        // Only the window's own creation gets here: handlers catch theirs.
        kst::ui::ShowFailure(nullptr, failure);
        exitCode = 1;
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return exitCode;
}
