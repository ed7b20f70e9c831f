// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace kst::win {

// The core speaks UTF-8, the window UTF-16.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// A control's whole text, whatever its length.
std::wstring WindowText(HWND window);

} // namespace kst::win
