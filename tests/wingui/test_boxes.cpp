// SPDX-License-Identifier: MIT
// The real modal windows (message boxes, the folder chooser), handled from a
// timer that their own modal loop runs.
#include "FolderDialog.h"
#include "WinGuiSupport.h"

#include <shlobj.h>

namespace {

bool IsClass(HWND window, const wchar_t* name) {
    wchar_t actual[16]{};
    GetClassNameW(window, actual, 16);
    return lstrcmpiW(actual, name) == 0;
}

// The handler for the next dialog of this thread; cleared once it ran.
std::function<void(HWND)> dialogHandler;

BOOL CALLBACK HandleDialog(HWND window, LPARAM) {
    if (!IsClass(window, L"#32770") || !IsWindowVisible(window)) {
        return TRUE;
    }
    const std::function<void(HWND)> handler = std::move(dialogHandler);
    dialogHandler = nullptr;
    handler(window);
    return FALSE;
}

void CALLBACK LookForDialog(HWND, UINT, UINT_PTR, DWORD) {
    if (dialogHandler) {
        EnumThreadWindows(GetCurrentThreadId(), &HandleDialog, 0);
    }
}

struct SeenBox {
    std::wstring caption;
    std::wstring text;
    bool hasIcon = false;
    int buttons = 0;
};

void NoteControls(HWND box, SeenBox& seen) {
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) {
            continue;
        }
        seen.buttons += IsClass(child, L"Button") ? 1 : 0;
        const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
        if (IsClass(child, L"Static") && (style & SS_TYPEMASK) == SS_ICON &&
            SendMessageW(child, STM_GETICON, 0, 0) != 0) {
            seen.hasIcon = true;
        }
    }
}

class RealDialogTest : public FormTest {
protected:
    // Runs action with the real boxes; the first dialog it opens goes to
    // handle. False when none opened.
    bool WithDialog(std::function<void(HWND)> handle, const std::function<void()>& action) {
        kst::ui::SetBoxInterceptor({});
        dialogHandler = std::move(handle);
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, &LookForDialog);
        action();
        KillTimer(nullptr, timer);
        const bool handled = !dialogHandler;
        dialogHandler = nullptr;
        return handled;
    }

    // Reads the box Execute opens, then presses Esc: the one OK button is
    // the cancel button too.
    SeenBox ExecuteAndReadBox() {
        SeenBox seen;
        const bool shown = WithDialog(
            [&seen](HWND box) {
                seen.caption = Text(box);
                seen.text = Text(GetDlgItem(box, 0xFFFF)); // a message box's text
                NoteControls(box, seen);
                PostMessageW(box, WM_KEYDOWN, VK_ESCAPE, 0);
                PostMessageW(box, WM_KEYUP, VK_ESCAPE, 0);
            },
            [this] { Click(Form().Button1); });
        EXPECT_TRUE(shown);
        return seen;
    }
};

TEST_F(RealDialogTest, BoxesShowTheirTextAndCloseWithEsc) {
    DropInput("箱.bin", Bytes(100, 1));
    Click(Form().RadioGroup1.Item(1));
    const SeenBox notice = ExecuteAndReadBox();
    EXPECT_EQ(notice.caption, L"Kestrune");
    EXPECT_EQ(notice.text, L"出力先フォルダを指定してください");
    EXPECT_FALSE(notice.hasIcon);
    EXPECT_EQ(notice.buttons, 1);

    Click(Form().RadioGroup1.Item(0));
    Type(Form().ComboBox1, L"x");
    const SeenBox failure = ExecuteAndReadBox();
    EXPECT_EQ(failure.caption, L"Kestrune");
    EXPECT_EQ(failure.text, L"'x' は整数ではありません.");
    EXPECT_TRUE(failure.hasIcon);
    EXPECT_EQ(failure.buttons, 1);
    EXPECT_FALSE(Form().JobRunning());
}

// Browse: a confirmed folder goes into Edit1, the radio choice untouched; a
// cancelled chooser changes nothing.
TEST_F(RealDialogTest, BrowsePutsTheChosenFolderIntoEdit1) {
    const std::filesystem::path folder = dir_->Path() / L"出力先";
    std::filesystem::create_directory(folder);
    Type(Form().Edit1, L"前の値");
    struct Row {
        const char* name;
        int button;
        std::wstring edit1;
    };
    for (const Row& row :
         {Row{"cancelled", IDCANCEL, L"前の値"}, Row{"confirmed", IDOK, folder.wstring()}}) {
        SCOPED_TRACE(row.name);
        const bool shown = WithDialog(
            [&](HWND chooser) {
                SendMessageW(chooser, BFFM_SETSELECTIONW, TRUE,
                             reinterpret_cast<LPARAM>(folder.c_str()));
                PostMessageW(chooser, WM_COMMAND, row.button, 0);
            },
            [this] { Click(Form().Button2); });
        EXPECT_TRUE(shown);
        EXPECT_EQ(Text(Form().Edit1), row.edit1);
        EXPECT_EQ(Form().RadioGroup1.ItemIndex(), 0);
    }
}

} // namespace
