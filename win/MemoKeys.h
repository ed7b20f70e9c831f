// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

namespace kst::win {

// A multi-line edit box asks for every key, Tab included, which would trap
// the keyboard in it. After this, Tab and Shift+Tab go on to the next and
// previous control through the window's keyboard navigation, and Ctrl+Tab
// types a tab into the box.
void LetTabLeave(HWND edit);

} // namespace kst::win
