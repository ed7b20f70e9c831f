// SPDX-License-Identifier: MIT
// Shows the window after measuring the file named on the command line, the
// leading run included, and stays until it is closed: the README's
// screenshot is taken from it. Prints the window's outer rectangle.
#include "Unit1.h"

#include <commctrl.h>
#include <objbase.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                        ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    TForm1 form;
    form.EndProgramOnClose();
    form.Show();
    if (argc > 1) {
        SetWindowTextW(form.Label1, argv[1]);
        SendMessageW(form.CheckBox1, BM_CLICK, 0, 0);
        SendMessageW(form.CheckBox3, BM_CLICK, 0, 0);
        SendMessageW(form.Button1, BM_CLICK, 0, 0);
    }
    RECT outer{};
    GetWindowRect(form.Handle(), &outer);
    std::printf("%ld %ld %ld %ld\n", outer.left, outer.top, outer.right - outer.left,
                outer.bottom - outer.top);
    std::fflush(stdout);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        form.Dispatch(msg);
    }
    CoUninitialize();
    return 0;
}
