// SPDX-License-Identifier: MIT
#include "Gauge.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace {

constexpr int kMinimum = 0;
constexpr int kMaximum = 100;

// Draws text centred in inside, only within clip, in colour.
void DrawPercent(HDC dc, const RECT& inside, const RECT& clip, COLORREF colour,
                 const std::wstring& text) {
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
    SetTextColor(dc, colour);
    RECT box = inside;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    RestoreDC(dc, saved);
}

void Fill(HDC dc, const RECT& rect, COLORREF colour) {
    SetDCBrushColor(dc, colour);
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

} // namespace

void TGauge::Create(HWND parent, int id) {
    hwnd_ = CreateWindowExW(0, PROGRESS_CLASSW, L"",
                            WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | PBS_SMOOTH, 0, 0, 0, 0,
                            parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr);
    SendMessageW(hwnd_, PBM_SETRANGE32, kMinimum, kMaximum);
    SendMessageW(hwnd_, PBM_SETPOS, kMinimum, 0);
    SetWindowSubclass(hwnd_, &TGauge::Proc, 1, reinterpret_cast<DWORD_PTR>(this));
}

int TGauge::Value() const {
    return static_cast<int>(SendMessageW(hwnd_, PBM_GETPOS, 0, 0));
}

void TGauge::SetProgress(int percent) {
    SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(std::clamp(percent, kMinimum, kMaximum)),
                 0);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

int TGauge::FillWidth(int insideWidth, int percent) {
    const std::int64_t clamped = std::clamp(percent, kMinimum, kMaximum);
    return static_cast<int>(insideWidth * clamped / kMaximum);
}

// Painted off screen, then copied in one go: the gauge moves once per chunk.
void TGauge::Paint(HDC target) const {
    RECT outer{};
    GetClientRect(hwnd_, &outer);
    const HDC dc = CreateCompatibleDC(target);
    const HBITMAP bitmap = CreateCompatibleBitmap(target, outer.right, outer.bottom);
    const HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    const HGDIOBJ oldFont = font_ != nullptr ? SelectObject(dc, font_) : nullptr;

    const RECT inside{outer.left + 1, outer.top + 1, outer.right - 1, outer.bottom - 1};
    const int fill = FillWidth(inside.right - inside.left, Value());
    const RECT black{inside.left, inside.top, inside.left + fill, inside.bottom};
    const RECT white{inside.left + fill, inside.top, inside.right, inside.bottom};
    Fill(dc, outer, RGB(0, 0, 0));
    Fill(dc, white, RGB(255, 255, 255));

    // Drawn twice, each pass clipped to one side of the fill's edge, so every
    // glyph is the opposite colour of what lies beneath it.
    SetBkMode(dc, TRANSPARENT);
    const std::wstring text = std::to_wstring(Value()) + L"%";
    DrawPercent(dc, inside, white, RGB(0, 0, 0), text);
    DrawPercent(dc, inside, black, RGB(255, 255, 255), text);

    BitBlt(target, 0, 0, outer.right, outer.bottom, dc, 0, 0, SRCCOPY);
    if (oldFont != nullptr) {
        SelectObject(dc, oldFont);
    }
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

LRESULT CALLBACK TGauge::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              UINT_PTR /*id*/, DWORD_PTR self) {
    auto* const gauge = reinterpret_cast<TGauge*>(self);
    switch (message) {
    case WM_SETFONT:
        gauge->font_ = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam) != 0) {
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(gauge->font_);
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(hwnd, &paint);
        gauge->Paint(dc);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        gauge->Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, &TGauge::Proc, 1);
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}
