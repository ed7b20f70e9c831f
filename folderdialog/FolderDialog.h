// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>

class QTreeWidgetItem;
class QWidget;
class FolderBrowser;
enum class BrowseNotification : int;

// Non-visual component owned by a window: a modal folder chooser that
// remembers the last folder confirmed during this run.
class TFolderDialog : public QObject {
    Q_OBJECT
public:
    explicit TFolderDialog(QWidget* owner);

    QString Title() const { return title_; }
    void SetTitle(const QString& title) { title_ = title; }
    QString FolderPath() const { return folderPath_; }

    // Shows the chooser modally; true when the user confirmed an item.
    bool Execute();

private:
    // The one handler of the browser's notifications; always returns 0.
    static std::int32_t BrowseCallback(FolderBrowser* dialog, BrowseNotification code,
                                       const QTreeWidgetItem* value, TFolderDialog* component);

    QString folderPath_;
    QString title_;
};
