// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

// A progress bar drawn as a black-and-white gauge with its percentage in the
// middle. It stays a real progress bar, so screen readers read its value.
class TGauge {
public:
    TGauge() = default;
    TGauge(const TGauge&) = delete;
    TGauge& operator=(const TGauge&) = delete;

    void Create(HWND parent, int id);
    HWND Handle() const { return hwnd_; }

    int Value() const;
    // Clamped to 0..100.
    void SetProgress(int percent);

    // Pixels of the inside that the fill covers at percent.
    static int FillWidth(int insideWidth, int percent);

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR self);
    void Paint(HDC dc) const;

    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr; // the window's, not owned
};
