// SPDX-License-Identifier: MIT
#pragma once

#include "taskbarprogress.h"

#include <QString>

// The window's entry in a dock or task manager that follows the launcher-entry
// signals on the session bus (KDE Plasma, GNOME docks). A signal goes to
// whoever listens; with no session bus nothing is sent.
class LauncherEntry final : public kst::TaskbarButton {
public:
    // desktopFile: the desktop entry's name, such as "org.kestrune.Kestrune".
    explicit LauncherEntry(const QString& desktopFile);

    void ShowProgress(kst::TaskbarState state, int percent) override;

private:
    const QString appUri_;
};
