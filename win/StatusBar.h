// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <string>

// A status bar of three text panels in sunken frames, in the system's
// status-bar font. Each panel keeps its whole text (what screen readers and
// its tooltip give) and is painted elided with "…" when the text is wider
// than the panel.
class TStatusBar {
public:
    static constexpr int kPanelCount = 3;

    TStatusBar() = default;
    ~TStatusBar();
    TStatusBar(const TStatusBar&) = delete;
    TStatusBar& operator=(const TStatusBar&) = delete;

    void Create(HWND parent, int id);
    HWND Handle() const { return hwnd_; }

    // Places the bar (client pixels) and sizes panels and font for dpi.
    void Place(const RECT& bounds, UINT dpi);

    void SetPanelText(int index, const std::wstring& text);
    std::wstring PanelText(int index) const;
    // A panel's area: from the end of the one before it to its own declared
    // end; the last runs to the bar's right end.
    RECT PanelRect(int index) const;
    // The text as painted in the panel's current width.
    std::wstring ShownText(int index) const;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR self);
    void Paint(HDC dc) const;
    RECT TextRect(int index) const;

    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr; // owned
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
};
