// SPDX-License-Identifier: MIT
// The real message boxes, read and closed from a timer of their own loop.
#include "WinGuiSupport.h"

namespace {

struct SeenBox {
    std::wstring caption;
    std::wstring text;
    bool hasIcon = false;
    int buttons = 0;
    bool closed = false;
};

SeenBox* seen = nullptr;

bool IsClass(HWND window, const wchar_t* name) {
    wchar_t actual[16]{};
    GetClassNameW(window, actual, 16);
    return lstrcmpiW(actual, name) == 0;
}

BOOL CALLBACK NoteChild(HWND child, LPARAM) {
    if (!IsWindowVisible(child)) {
        return TRUE;
    }
    if (IsClass(child, L"Button")) {
        ++seen->buttons;
    }
    const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
    if (IsClass(child, L"Static") && (style & SS_TYPEMASK) == SS_ICON &&
        SendMessageW(child, STM_GETICON, 0, 0) != 0) {
        seen->hasIcon = true;
    }
    return TRUE;
}

// A message box is a dialog; its text is the static 0xFFFF.
BOOL CALLBACK ReadAndClose(HWND window, LPARAM) {
    if (!IsClass(window, L"#32770") || !IsWindowVisible(window)) {
        return TRUE;
    }
    seen->caption = Text(window);
    seen->text = Text(GetDlgItem(window, 0xFFFF));
    EnumChildWindows(window, &NoteChild, 0);
    // Esc: the one OK button is the cancel button too.
    PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(window, WM_KEYUP, VK_ESCAPE, 0);
    seen->closed = true;
    return FALSE;
}

void CALLBACK LookForBox(HWND, UINT, UINT_PTR, DWORD) {
    if (!seen->closed) {
        EnumThreadWindows(GetCurrentThreadId(), &ReadAndClose, 0);
    }
}

class RealBoxTest : public FormTest {
protected:
    SeenBox Run(const std::function<void()>& action) {
        kst::ui::SetBoxInterceptor({});
        SeenBox box;
        seen = &box;
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, &LookForBox);
        action();
        KillTimer(nullptr, timer);
        seen = nullptr;
        return box;
    }
};

TEST_F(RealBoxTest, BoxesShowTheirTextAndCloseWithEsc) {
    DropInput("箱.bin", Bytes(100, 1));
    Click(Form().RadioGroup1.Item(1));
    const SeenBox notice = Run([this] { Click(Form().Button1); });
    EXPECT_TRUE(notice.closed);
    EXPECT_EQ(notice.caption, L"Kestrune");
    EXPECT_EQ(notice.text, L"出力先フォルダを指定してください");
    EXPECT_FALSE(notice.hasIcon);
    EXPECT_EQ(notice.buttons, 1);

    Click(Form().RadioGroup1.Item(0));
    Type(Form().ComboBox1, L"x");
    const SeenBox failure = Run([this] { Click(Form().Button1); });
    EXPECT_TRUE(failure.closed);
    EXPECT_EQ(failure.caption, L"Kestrune");
    EXPECT_EQ(failure.text, L"'x' は整数ではありません.");
    EXPECT_TRUE(failure.hasIcon);
    EXPECT_EQ(failure.buttons, 1);
    EXPECT_FALSE(Form().JobRunning());
}

} // namespace
