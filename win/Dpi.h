// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

namespace kst::win {

// value, given in pixels at 96 dots per inch, in pixels at dpi.
inline int Scale(int value, UINT dpi) {
    return MulDiv(value, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

UINT WindowDpi(HWND window);
// The non-client metrics (fonts of message boxes, status bars) at dpi.
void SystemMetricsForDpi(NONCLIENTMETRICSW& metrics, UINT dpi);
// The outer rectangle of a window with the given client size at dpi.
RECT OuterRectForClient(SIZE client, DWORD style, DWORD exStyle, UINT dpi);
// Asks for per-monitor scaling when no manifest did.
void BecomePerMonitorAware();

} // namespace kst::win
