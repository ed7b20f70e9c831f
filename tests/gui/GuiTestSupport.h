// SPDX-License-Identifier: MIT
#pragma once

#include "KestruneApplication.h"
#include "MessageBoxes.h"

#include <QList>
#include <QString>
#include <QTest>

#include <functional>

class QTemporaryDir;
class QWidget;

// Records every box while alive instead of showing it, so nothing blocks.
class BoxRecorder {
public:
    struct Box {
        kst::ui::BoxKind kind;
        QString text;
    };

    BoxRecorder();
    ~BoxRecorder();
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    QList<Box> boxes;
    // Runs for each box after it has been recorded.
    std::function<void(const Box&)> onBox;
};

// A file name in dir as the window shows paths.
QString NativePath(const QTemporaryDir& dir, const QString& name);

// The job's output for input, beside it or in folder, as the job names it.
QString OutputBeside(const QString& input);
QString OutputInFolder(const QString& folder, const QString& input);

// Activates window and waits until the system reports it active.
void ActivateAndWait(QWidget* window);

// Outside a recorder a box is reported as a warning and never shown.
void InstallUnexpectedBoxGuard();

// The application object under test, so notify() is the product's.
#define KESTRUNE_GUI_TEST_MAIN(TestObject)                                                         \
    int main(int argc, char** argv) {                                                              \
        KestruneApplication application(argc, argv);                                               \
        InstallUnexpectedBoxGuard();                                                               \
        TestObject test;                                                                           \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
