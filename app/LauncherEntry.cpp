// SPDX-License-Identifier: MIT
#include "LauncherEntry.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QVariantMap>

namespace {

const QString kObjectPath = QStringLiteral("/org/kestrune/Kestrune/LauncherEntry");
const QString kInterface = QStringLiteral("com.canonical.Unity.LauncherEntry");

// Without an address the bus library would try to start a bus of its own
// (autolaunch), which can spawn a daemon or wait: a missing bus means no dock.
bool SessionBusAddressKnown() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return true;
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

} // namespace

LauncherEntry::LauncherEntry(const QString& desktopFile)
    : appUri_(QStringLiteral("application://") + desktopFile + QStringLiteral(".desktop")) {}

void LauncherEntry::ShowProgress(kst::TaskbarState state, int percent) {
    if (!SessionBusAddressKnown()) {
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    // "urgent" draws the eye to a failed job, as the task bar's red bar does.
    const QVariantMap properties{
        {QStringLiteral("progress"), percent / 100.0},
        {QStringLiteral("progress-visible"), state != kst::TaskbarState::None},
        {QStringLiteral("urgent"), state == kst::TaskbarState::Error},
    };
    QDBusMessage update =
        QDBusMessage::createSignal(kObjectPath, kInterface, QStringLiteral("Update"));
    update << appUri_ << properties;
    bus.send(update);
}
