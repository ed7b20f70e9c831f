// SPDX-License-Identifier: MIT
#include "RadioGroup.h"

#include <algorithm>

int TRadioGroup::ItemIndex() const {
    for (int index = 0; index < kCount; ++index) {
        if (SendMessageW(Item(index), BM_GETCHECK, 0, 0) == BST_CHECKED) {
            return index;
        }
    }
    return -1;
}

void TRadioGroup::SetItemIndex(int index) {
    for (int item = 0; item < kCount; ++item) {
        SendMessageW(Item(item), BM_SETCHECK, item == index ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    UpdateTabStops();
}

void TRadioGroup::UpdateTabStops() const {
    const int selected = std::max(ItemIndex(), 0);
    for (int index = 0; index < kCount; ++index) {
        const LONG_PTR style = GetWindowLongPtrW(Item(index), GWL_STYLE);
        SetWindowLongPtrW(Item(index), GWL_STYLE,
                          index == selected ? style | WS_TABSTOP : style & ~WS_TABSTOP);
    }
}

bool TRadioGroup::Owns(HWND control) const {
    return std::find(items_.begin(), items_.end(), control) != items_.end();
}
