// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <array>

// A framed group of two radio buttons in one column. The frame and the
// buttons are siblings on the window, so other controls of the window can
// lie over the frame.
class TRadioGroup {
public:
    static constexpr int kCount = 2;

    HWND Frame() const { return frame_; }
    HWND Item(int index) const { return items_.at(static_cast<std::size_t>(index)); }
    void SetFrame(HWND frame) { frame_ = frame; }
    void SetItem(int index, HWND item) { items_.at(static_cast<std::size_t>(index)) = item; }

    // -1 when none is selected.
    int ItemIndex() const;
    void SetItemIndex(int index);
    // Tab reaches the group at its selected item; the arrows move within it.
    void UpdateTabStops() const;
    bool Owns(HWND control) const;

private:
    HWND frame_ = nullptr;
    std::array<HWND, kCount> items_{};
};
