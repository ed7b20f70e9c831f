// SPDX-License-Identifier: MIT
#include "chooserdriver.h"

#include "FolderDialog.h"

#include <commctrl.h>
#include <shlobj.h>

#include <array>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Control ids of the classic chooser's template.
constexpr int kTreeId = 0x3741;
constexpr int kTitleId = 0x3742;
constexpr int kStatusId = 0x3743;

constexpr auto kPatience = 20s;
constexpr auto kPoll = 50ms;

std::wstring TextOf(const HWND window) {
    std::array<wchar_t, 1024> buffer{};
    ::SendMessageW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return buffer.data();
}

// The visible chooser owned by owner, or null once patience runs out.
HWND WaitForChooser(const HWND owner) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        for (HWND w = ::FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w != nullptr;
             w = ::FindWindowExW(nullptr, w, L"#32770", nullptr)) {
            if (::GetWindow(w, GW_OWNER) == owner && ::IsWindowVisible(w)) {
                return w;
            }
        }
        std::this_thread::sleep_for(kPoll);
    }
    return nullptr;
}

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return ::DefWindowProcW(window, message, wparam, lparam);
}

} // namespace

std::wstring Chooser::TitleText() const {
    return TextOf(::GetDlgItem(dialog_, kTitleId));
}

std::wstring Chooser::StatusText() const {
    return TextOf(::GetDlgItem(dialog_, kStatusId));
}

HWND Chooser::Tree() const {
    return ::GetDlgItem(dialog_, kTreeId);
}

std::wstring Chooser::HighlightedLabel() const {
    std::array<wchar_t, MAX_PATH> label{};
    TVITEMW item{};
    item.mask = TVIF_TEXT;
    item.hItem = TreeView_GetSelection(Tree());
    item.pszText = label.data();
    item.cchTextMax = static_cast<int>(label.size());
    if (item.hItem == nullptr || !TreeView_GetItem(Tree(), &item)) {
        return {};
    }
    return label.data();
}

bool Chooser::ComputerHighlighted() const {
    const HTREEITEM selected = TreeView_GetSelection(Tree());
    return selected != nullptr && selected == TreeView_GetRoot(Tree());
}

bool Chooser::StatusBecomes(const std::wstring& text, const std::function<void()>& request) const {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        request();
        if (StatusText() == text) {
            return true;
        }
        std::this_thread::sleep_for(kPoll);
    }
    return false;
}

bool Chooser::Highlight(const std::wstring& path) const {
    return StatusBecomes(path, [this, &path] {
        ::SendMessageW(dialog_, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
    });
}

bool Chooser::HighlightComputer() const {
    return StatusBecomes(L"", [this] { TreeView_SelectItem(Tree(), TreeView_GetRoot(Tree())); });
}

void Chooser::Press(const int button) const {
    pressed_ = true;
    ::PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog_, button)));
}

ChooserRun Browse(TFolderDialog& component, const HWND owner,
                  const std::function<void(const Chooser&)>& drive) {
    ChooserRun run;
    std::jthread driver([&run, owner, &drive] {
        const HWND dialog = WaitForChooser(owner);
        if (dialog == nullptr) {
            return;
        }
        run.found = true;
        const Chooser chooser(dialog);
        drive(chooser);
        if (!chooser.Pressed()) {
            chooser.Press(IDCANCEL);
        }
    });
    run.result = component.Execute();
    driver.join();
    return run;
}

OwnerWindow::OwnerWindow() {
    static const ATOM windowClass = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &OwnerProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KestruneChooserOwner";
        return ::RegisterClassW(&wc);
    }();
    window_ = ::CreateWindowExW(0, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(windowClass)),
                                L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 320, 240, nullptr,
                                nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

OwnerWindow::~OwnerWindow() {
    ::DestroyWindow(window_);
}
