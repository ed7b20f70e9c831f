// SPDX-License-Identifier: MIT
#include "WinGuiSupport.h"

#include "WinText.h"
#include "outputpath.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>

BoxRecorder::BoxRecorder() {
    kst::ui::SetBoxInterceptor([this](kst::ui::BoxKind kind, const std::wstring& text) {
        boxes.push_back({kind, text});
    });
}

BoxRecorder::~BoxRecorder() {
    kst::ui::SetBoxInterceptor({});
}

std::wstring Text(HWND control) {
    return kst::win::WindowText(control);
}

bool Ticked(HWND control) {
    return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool Shown(HWND control) {
    return IsWindowVisible(control) != FALSE;
}

bool Enabled(HWND control) {
    return IsWindowEnabled(control) != FALSE;
}

void Click(HWND button) {
    SendMessageW(button, BM_CLICK, 0, 0);
}

void Type(HWND field, const std::wstring& text) {
    SetWindowTextW(field, text.c_str());
}

RECT PlaceOf(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (Form1 != nullptr) {
            Form1->Dispatch(msg);
        } else {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

void PressKey(WORD key, std::initializer_list<WORD> held) {
    std::vector<INPUT> strokes;
    const auto stroke = [&](WORD virtualKey, DWORD flags) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = virtualKey;
        input.ki.dwFlags = flags;
        strokes.push_back(input);
    };
    for (const WORD modifier : held) {
        stroke(modifier, 0);
    }
    stroke(key, 0);
    stroke(key, KEYEVENTF_KEYUP);
    for (const WORD modifier : held) {
        stroke(modifier, KEYEVENTF_KEYUP);
    }
    ASSERT_EQ(SendInput(static_cast<UINT>(strokes.size()), strokes.data(), sizeof(INPUT)),
              strokes.size());
}

HWND FocusedControl(HWND window) {
    HWND focus = GetFocus();
    while (focus != nullptr && GetParent(focus) != window) {
        focus = GetParent(focus);
    }
    return focus;
}

std::vector<HWND> TabCycle(HWND window, HWND start) {
    std::vector<HWND> order{start};
    for (HWND next = GetNextDlgTabItem(window, start, FALSE); next != start && order.size() < 20;
         next = GetNextDlgTabItem(window, next, FALSE)) {
        order.push_back(next);
    }
    return order;
}

// The block the shell hands over: DROPFILES, then each path and a final
// empty one, in UTF-16. The window releases it with DragFinish.
void DropFiles(HWND window, const std::vector<std::wstring>& paths) {
    std::size_t units = 1;
    for (const std::wstring& path : paths) {
        units += path.size() + 1;
    }
    const std::size_t bytes = sizeof(DROPFILES) + units * sizeof(wchar_t);
    const HGLOBAL block = GlobalAlloc(GHND, bytes);
    ASSERT_NE(block, nullptr);
    auto* const header = static_cast<DROPFILES*>(GlobalLock(block));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* names = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(header) + sizeof(DROPFILES));
    for (const std::wstring& path : paths) {
        std::memcpy(names, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
        names += path.size() + 1;
    }
    GlobalUnlock(block);
    SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
}

std::filesystem::path OutputBeside(const std::filesystem::path& input) {
    return kst::PathFromUtf8(kst::OutputBesideInput(kst::win::Narrow(input.wstring())));
}

std::filesystem::path OutputInFolder(const std::filesystem::path& folder,
                                     const std::filesystem::path& input) {
    return kst::PathFromUtf8(
        kst::OutputInFolder(kst::win::Narrow(folder.wstring()), kst::win::Narrow(input.wstring())));
}

std::wstring LogOf(const std::vector<std::wstring>& lines) {
    std::wstring log;
    for (const std::wstring& line : lines) {
        log += line + L"\r\n";
    }
    return log;
}

void FormTest::SetUp() {
    abortflag = false;
    dir_ = std::make_unique<TempDir>();
    kst::JobOptions options;
    options.chunkUnit = kChunkUnit;
    form_ = std::make_unique<TForm1>(options);
    ASSERT_NE(form_->Handle(), nullptr) << "no window: is there an X display?";
    form_->Show();
    PumpMessages();
}

void FormTest::TearDown() {
    form_.reset();
    PumpMessages();
    dir_.reset();
}

std::filesystem::path FormTest::DropInput(const std::string& name, const Bytes& bytes) {
    const std::filesystem::path file = dir_->Write(name, bytes);
    DropFiles(Form().Handle(), {file.wstring()});
    return file;
}

int main(int argc, char** argv) {
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                        ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return status;
}
