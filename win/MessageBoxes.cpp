// SPDX-License-Identifier: MIT
#include "MessageBoxes.h"

#include "WinText.h"
#include "joberror.h"

namespace kst::ui {
namespace {

BoxInterceptor& Interceptor() {
    static BoxInterceptor interceptor;
    return interceptor;
}

void Show(HWND owner, BoxKind kind, const std::wstring& text, UINT icon) {
    if (Interceptor()) {
        Interceptor()(kind, text);
        return;
    }
    MessageBoxW(owner, text.c_str(), kBoxCaption, MB_OK | icon);
}

} // namespace

void SetBoxInterceptor(BoxInterceptor interceptor) {
    Interceptor() = std::move(interceptor);
}

void ShowInformation(HWND owner, const std::wstring& text) {
    Show(owner, BoxKind::Information, text, 0);
}

void ShowFailure(HWND owner, const std::exception& failure) {
    Show(owner, BoxKind::Failure, win::Widen(FailureBoxText(FailureMessage(failure))), MB_ICONSTOP);
}

} // namespace kst::ui
