// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"

#include <QDebug>

BoxRecorder::BoxRecorder() {
    kst::ui::SetBoxInterceptor([this](kst::ui::BoxKind kind, const QString& text) {
        boxes.append({kind, text});
        if (onBox) {
            onBox(boxes.back());
        }
    });
}

BoxRecorder::~BoxRecorder() {
    InstallUnexpectedBoxGuard();
}

void InstallUnexpectedBoxGuard() {
    kst::ui::SetBoxInterceptor(
        [](kst::ui::BoxKind, const QString& text) { qWarning() << "unexpected box:" << text; });
}
