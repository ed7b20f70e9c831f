// SPDX-License-Identifier: MIT
#include "Places.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>
#include <array>

namespace {

// Removable media are mounted below /media or /run/media; /mnt holds what
// an administrator mounted by hand, usually fixed disks.
constexpr std::array kRemovableFolders{u"/media", u"/run/media"};
constexpr auto kMountFolder = u"/mnt";

bool BelowAny(const QString& path, const auto& folders) {
    return std::any_of(folders.begin(), folders.end(), [&path](const char16_t* folder) {
        return IsAtOrBelow(path, QString::fromUtf16(folder));
    });
}

PlaceKind VolumeKind(const QString& mountPoint) {
    return BelowAny(mountPoint, kRemovableFolders) ? PlaceKind::Removable : PlaceKind::Drive;
}

void AddOnce(QList<Place>& places, Place place) {
    const bool known = std::any_of(places.cbegin(), places.cend(), [&place](const Place& other) {
        return QDir::cleanPath(other.path).compare(QDir::cleanPath(place.path), kPathCase) == 0;
    });
    if (!known) {
        places.append(std::move(place));
    }
}

} // namespace

bool IsAtOrBelow(const QString& path, const QString& folder) {
    if (path.compare(folder, kPathCase) == 0) {
        return true;
    }
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    return path.startsWith(prefix, kPathCase);
}

// /media and /run/media themselves only hold the media's mount points.
bool IsUserVolume(const QString& mountPoint) {
    const QString path = QDir::cleanPath(mountPoint);
    const bool holder = std::any_of(kRemovableFolders.begin(), kRemovableFolders.end(),
                                    [&path](const char16_t* folder) { return path == folder; });
    return !holder && (BelowAny(path, kRemovableFolders) ||
                       IsAtOrBelow(path, QString::fromUtf16(kMountFolder)));
}

QList<Volume> MountedUserVolumes() {
    QList<Volume> volumes;
    for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
        const QString mountPoint = storage.rootPath();
        if (!storage.isValid() || !storage.isReady() || !IsUserVolume(mountPoint)) {
            continue;
        }
        const QString label = storage.name();
        volumes.append({label.isEmpty() ? QDir(mountPoint).dirName() : label, mountPoint});
    }
    return volumes;
}

QList<Place> ComputerPlaces(const QString& home, const QList<Volume>& volumes) {
    QList<Place> places;
    for (const QFileInfo& drive : QDir::drives()) {
        const QString path = drive.absoluteFilePath();
        places.append({QDir::toNativeSeparators(path), path, PlaceKind::Root});
    }
#ifndef Q_OS_WIN
    if (QFileInfo(home).isDir()) {
        AddOnce(places, {QStringLiteral("ホーム"), QDir::cleanPath(home), PlaceKind::Home});
    }
    for (const Volume& volume : volumes) {
        const QString path = QDir::cleanPath(volume.mountPoint);
        AddOnce(places, {volume.name, path, VolumeKind(path)});
    }
#else
    Q_UNUSED(home);
    Q_UNUSED(volumes);
#endif
    return places;
}
