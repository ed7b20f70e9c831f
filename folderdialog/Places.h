// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

#ifdef Q_OS_WIN
inline constexpr Qt::CaseSensitivity kPathCase = Qt::CaseInsensitive;
#else
inline constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;
#endif

// What a top-level place of the chooser is, which picks its icon.
enum class PlaceKind { Root, Home, Drive, Removable };

// A volume mounted where users keep their files.
struct Volume {
    QString name;       // its label, or the mount point's folder name
    QString mountPoint; // with '/' separators
};

struct Place {
    QString name; // shown in the tree
    QString path; // with '/' separators
    PlaceKind kind;
};

// True for mount points below /media and /run/media, where removable media
// go, and on or below /mnt, where a user mounts volumes by hand.
bool IsUserVolume(const QString& mountPoint);

// The mounted volumes of IsUserVolume that can be read now.
QList<Volume> MountedUserVolumes();

// The file-system roots, then (outside Windows) the home folder and the
// volumes, each path once.
QList<Place> ComputerPlaces(const QString& home, const QList<Volume>& volumes);

// True when path is folder or lies below it; both with '/' separators.
bool IsAtOrBelow(const QString& path, const QString& folder);
