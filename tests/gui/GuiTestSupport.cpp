// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"

#include <QDebug>
#include <QDir>
#include <QTemporaryDir>
#include <QWidget>

QString NativePath(const QTemporaryDir& dir, const QString& name) {
    return QDir::toNativeSeparators(dir.filePath(name));
}

void ActivateAndWait(QWidget* window) {
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

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
