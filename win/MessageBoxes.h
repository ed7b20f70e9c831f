// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

namespace kst::ui {

enum class BoxKind { Information, Failure };

// Receives every box instead of the screen while installed; an empty
// function restores the real boxes. Lets tests run without a modal loop.
using BoxInterceptor = std::function<void(BoxKind kind, const std::wstring& text)>;
void SetBoxInterceptor(BoxInterceptor interceptor);

inline constexpr wchar_t kBoxCaption[] = L"Kestrune";

// Modal to owner; return once the user has closed the box. Information has
// no icon and one OK button (Enter and Esc both close it); a failure shows
// the stop icon and kst::FailureBoxText of the failure's message.
void ShowInformation(HWND owner, const std::wstring& text);
void ShowFailure(HWND owner, const std::exception& failure);

} // namespace kst::ui
