// SPDX-License-Identifier: MIT
#include "StatusBar.h"

#include "Dpi.h"
#include "Elide.h"

#include <commctrl.h>

#include <array>

namespace {

// Right edges of the first two panels; the last runs to the bar's end.
constexpr std::array<int, TStatusBar::kPanelCount - 1> kPanelEnds{100, 200};
constexpr int kTopBorder = 2;
constexpr int kFrame = 1;
constexpr int kTextIndent = 2;

HFONT StatusFont(UINT dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    kst::win::SystemMetricsForDpi(metrics, dpi);
    return CreateFontIndirectW(&metrics.lfStatusFont);
}

int TextWidth(HDC dc, std::wstring_view text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
}

} // namespace

TStatusBar::~TStatusBar() {
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
}

void TStatusBar::Create(HWND parent, int id) {
    // Placed by the window, not by the bar itself: its height is fixed.
    hwnd_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"",
                            WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SBARS_TOOLTIPS |
                                CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NOMOVEY,
                            0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr);
    SetWindowSubclass(hwnd_, &TStatusBar::Proc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void TStatusBar::Place(const RECT& bounds, UINT dpi) {
    dpi_ = dpi;
    const HFONT font = StatusFont(dpi);
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
    font_ = font;
    SetWindowPos(hwnd_, nullptr, bounds.left, bounds.top, bounds.right - bounds.left,
                 bounds.bottom - bounds.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // Set once the bar has its width: the last part runs to its end.
    std::array<int, kPanelCount> ends{};
    for (std::size_t index = 0; index < kPanelEnds.size(); ++index) {
        ends[index] = kst::win::Scale(kPanelEnds[index], dpi);
    }
    ends.back() = -1;
    SendMessageW(hwnd_, SB_SETPARTS, kPanelCount, reinterpret_cast<LPARAM>(ends.data()));
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void TStatusBar::SetPanelText(int index, const std::wstring& text) {
    SendMessageW(hwnd_, SB_SETTEXTW, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(hwnd_, SB_SETTIPTEXTW, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.c_str()));
    InvalidateRect(hwnd_, nullptr, FALSE);
}

std::wstring TStatusBar::PanelText(int index) const {
    const LRESULT length = SendMessageW(hwnd_, SB_GETTEXTLENGTHW, static_cast<WPARAM>(index), 0);
    std::wstring text(static_cast<std::size_t>(LOWORD(length)) + 1, L'\0');
    SendMessageW(hwnd_, SB_GETTEXTW, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(LOWORD(length));
    return text;
}

RECT TStatusBar::PanelRect(int index) const {
    RECT client{};
    GetClientRect(hwnd_, &client);
    const auto end = [this, &client](int panel) {
        return panel < 0 ? 0
               : panel == kPanelCount - 1
                   ? client.right
                   : kst::win::Scale(kPanelEnds.at(static_cast<std::size_t>(panel)), dpi_);
    };
    return {end(index - 1), client.top + kst::win::Scale(kTopBorder, dpi_), end(index),
            client.bottom};
}

RECT TStatusBar::TextRect(int index) const {
    RECT part = PanelRect(index);
    const int inset = kst::win::Scale(kFrame + kTextIndent, dpi_);
    part.left += inset;
    part.right -= inset;
    return part;
}

std::wstring TStatusBar::ShownText(int index) const {
    const HDC dc = GetDC(hwnd_);
    const HGDIOBJ old = SelectObject(dc, font_);
    const RECT box = TextRect(index);
    std::wstring shown =
        kst::win::ElideToWidth(PanelText(index), box.right - box.left,
                               [dc](std::wstring_view text) { return TextWidth(dc, text); });
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    return shown;
}

void TStatusBar::Paint(HDC dc) const {
    RECT client{};
    GetClientRect(hwnd_, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    const HGDIOBJ old = SelectObject(dc, font_);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    for (int index = 0; index < kPanelCount; ++index) {
        RECT part = PanelRect(index);
        DrawEdge(dc, &part, BDR_SUNKENOUTER, BF_RECT);
        RECT box = TextRect(index);
        const std::wstring shown =
            kst::win::ElideToWidth(PanelText(index), box.right - box.left,
                                   [dc](std::wstring_view text) { return TextWidth(dc, text); });
        DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &box,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    SelectObject(dc, old);
}

LRESULT CALLBACK TStatusBar::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                  UINT_PTR /*id*/, DWORD_PTR self) {
    const auto* const bar = reinterpret_cast<const TStatusBar*>(self);
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(hwnd, &paint);
        bar->Paint(dc);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        bar->Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, &TStatusBar::Proc, 1);
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}
