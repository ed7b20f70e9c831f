// SPDX-License-Identifier: MIT
#include "Dpi.h"

namespace kst::win {

// The per-monitor calls exist from Windows 10 on; earlier systems scale by
// the system's one DPI.
namespace {

template <typename Function> Function User32(const char* name) {
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

UINT SystemDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return static_cast<UINT>(dpi);
}

} // namespace

UINT WindowDpi(HWND window) {
    static const auto forWindow = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    const UINT dpi = forWindow != nullptr ? forWindow(window) : 0;
    return dpi != 0 ? dpi : SystemDpi();
}

void SystemMetricsForDpi(NONCLIENTMETRICSW& metrics, UINT dpi) {
    static const auto forDpi =
        User32<BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT)>("SystemParametersInfoForDpi");
    if (forDpi != nullptr && forDpi(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0, dpi)) {
        return;
    }
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
}

RECT OuterRectForClient(SIZE client, DWORD style, DWORD exStyle, UINT dpi) {
    static const auto forDpi =
        User32<BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    RECT rect{0, 0, client.cx, client.cy};
    if (forDpi == nullptr || !forDpi(&rect, style, FALSE, exStyle, dpi)) {
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    }
    return rect;
}

void BecomePerMonitorAware() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    static const auto set = User32<SetContext>("SetProcessDpiAwarenessContext");
    if (set != nullptr) {
        // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2; fails harmlessly when
        // the manifest already chose.
        set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));
    }
}

} // namespace kst::win
