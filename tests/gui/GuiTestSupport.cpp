// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"

#include "outputpath.h"

#include <QDebug>
#include <QDir>
#include <QTemporaryDir>
#include <QWidget>

QString NativePath(const QTemporaryDir& dir, const QString& name) {
    return QDir::toNativeSeparators(dir.filePath(name));
}

QString OutputBeside(const QString& input) {
    return QString::fromStdString(kst::OutputBesideInput(input.toStdString()));
}

QString OutputInFolder(const QString& folder, const QString& input) {
    return QString::fromStdString(kst::OutputInFolder(folder.toStdString(), input.toStdString()));
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
