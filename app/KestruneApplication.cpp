// SPDX-License-Identifier: MIT
#include "KestruneApplication.h"

#include "MessageBoxes.h"

#include <QIcon>

#include <exception>

KestruneApplication::KestruneApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Kestrune"));
    setApplicationDisplayName(QStringLiteral("Kestrune"));
    // Ties the window to its menu entry and icon on desktops that ask.
    setDesktopFileName(QStringLiteral("org.kestrune.Kestrune"));
    setWindowIcon(QIcon(QStringLiteral(":/kestrune/kestrune.png")));
    // The window's pixel layout is drawn for classic Windows control metrics;
    // with wider indicators some captions would be cut off.
    setStyle(QStringLiteral("Windows"));
}

// The event counts as handled: its handler ran and ended in the failure.
bool KestruneApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& failure) {
        kst::ui::ShowFailure(failure);
    }
    return true;
}
