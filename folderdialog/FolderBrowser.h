// SPDX-License-Identifier: MIT
#pragma once

#include "Places.h"

#include <QDialog>
#include <QString>

#include <cstdint>
#include <functional>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;
class FolderBrowser;
class TFolderDialog;

// Notifications a browser sends to its callback.
enum class BrowseNotification : int { Initialized = 1, SelectionChanged = 2 };

// value is the newly highlighted item for SelectionChanged, null otherwise.
using BrowseCallbackFn = std::int32_t (*)(FolderBrowser* dialog, BrowseNotification code,
                                          const QTreeWidgetItem* value, TFolderDialog* component);

struct BrowseInfo {
    QString title; // shown above the tree
    BrowseCallbackFn callback = nullptr;
    TFolderDialog* component = nullptr; // handed back to the callback
};

// Modal folder tree under a "computer" item whose children are the file-system
// roots, the home folder and the user's volumes, with a status line and
// OK / Cancel. Folders are listed when first expanded.
class FolderBrowser : public QDialog {
    Q_OBJECT
public:
    FolderBrowser(QWidget* owner, BrowseInfo info);

    // Full native path of a tree item; empty for the computer item and for null.
    static QString ItemPath(const QTreeWidgetItem* item);

    // Highlights the folder at path, opening the tree down to it; ignored when
    // the path leads to no folder of the tree.
    void SetSelection(const QString& path);
    void SetStatusText(const QString& text);
    const QTreeWidgetItem* CurrentItem() const;
    QTreeWidget* Tree() const { return tree_; }

    // Called once a browser is shown, before it notifies Initialized; lets tests drive it.
    static inline std::function<void(FolderBrowser&)> openedHook;
    // Lists the volumes in place of the mounted ones; lets tests give their own.
    static inline std::function<QList<Volume>()> volumesHook;

signals:
    void StatusTextSet(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildTree();
    QTreeWidgetItem* FindFolder(const QString& path) const;
    void Notify(BrowseNotification code, const QTreeWidgetItem* value);

    const BrowseInfo info_;
    QTreeWidget* const tree_;
    QLabel* const status_;
    bool initialized_ = false;
};
