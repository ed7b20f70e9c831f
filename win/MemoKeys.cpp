// SPDX-License-Identifier: MIT
#include "MemoKeys.h"

#include <commctrl.h>

namespace kst::win {
namespace {

constexpr UINT_PTR kSubclassId = 0x5441; // one subclass of this kind per box

bool ControlDown() {
    return (GetKeyState(VK_CONTROL) & 0x8000) != 0;
}

// Tab without Ctrl, as the keyboard navigation asks about it before
// dispatching the key.
bool IsNavigatingTab(LPARAM asked) {
    const auto* const msg = reinterpret_cast<const MSG*>(asked);
    return msg != nullptr && msg->message == WM_KEYDOWN && msg->wParam == VK_TAB && !ControlDown();
}

LRESULT CALLBACK TabLeavesProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                               UINT_PTR /*id*/, DWORD_PTR /*data*/) {
    switch (message) {
    case WM_GETDLGCODE: {
        const LRESULT wanted = DefSubclassProc(edit, message, wParam, lParam);
        if (IsNavigatingTab(lParam)) {
            return wanted & ~(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE | DLGC_WANTTAB);
        }
        return wanted;
    }
    case WM_KEYDOWN:
        // The box itself would ask a dialog parent to move on; this window is
        // no dialog, so only Ctrl+Tab gets here, and types its tab.
        if (wParam == VK_TAB) {
            if (ControlDown() && (GetWindowLongPtrW(edit, GWL_STYLE) & ES_READONLY) == 0) {
                SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"\t"));
            }
            return 0;
        }
        break;
    case WM_CHAR:
        // The tab character, if the system makes one of Ctrl+Tab, is typed
        // already.
        if (wParam == L'\t') {
            return 0;
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(edit, &TabLeavesProc, kSubclassId);
        break;
    default:
        break;
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

} // namespace

void LetTabLeave(HWND edit) {
    SetWindowSubclass(edit, &TabLeavesProc, kSubclassId, 0);
}

} // namespace kst::win
