// SPDX-License-Identifier: MIT
#include "FolderDialog.h"

#include "FolderBrowser.h"

#include <QFileInfo>
#include <QPointer>
#include <QScopeGuard>
#include <QWidget>

namespace {

// An empty path never names a folder, whatever the working directory is.
bool DirectoryExists(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

} // namespace

TFolderDialog::TFolderDialog(QWidget* owner)
    : QObject(owner), title_(QStringLiteral("フォルダーの選択")) {}

bool TFolderDialog::Execute() {
    // The owner is looked up at each call: the browser is modal to its window.
    auto* const owner = qobject_cast<QWidget*>(parent());
    const QPointer<TFolderDialog> self(this);
    const QPointer<FolderBrowser> browser = new FolderBrowser(
        owner ? owner->window() : nullptr, {title_, &TFolderDialog::BrowseCallback, this});
    const auto release = qScopeGuard([&browser] { delete browser.data(); });

    const bool confirmed = browser->exec() == QDialog::Accepted;
    // The nested event loop may have destroyed the owner, and this component with it.
    if (!self || !browser) {
        return false;
    }
    if (confirmed) {
        const QString path = FolderBrowser::ItemPath(browser->CurrentItem());
        if (!path.isEmpty()) {
            folderPath_ = path;
        }
    }
    return confirmed;
}

std::int32_t TFolderDialog::BrowseCallback(FolderBrowser* const dialog,
                                           const BrowseNotification code,
                                           const QTreeWidgetItem* const value,
                                           TFolderDialog* const component) {
    QString buffer;
    if (code == BrowseNotification::Initialized && DirectoryExists(component->folderPath_)) {
        dialog->SetSelection(component->folderPath_);
    }
    if (code == BrowseNotification::SelectionChanged) {
        buffer = FolderBrowser::ItemPath(value);
    }
    // Every notification resets the status line; at initialisation this comes
    // after the preselection, so the line starts out empty.
    dialog->SetStatusText(buffer);
    return 0;
}
