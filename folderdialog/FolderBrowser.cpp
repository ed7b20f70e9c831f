// SPDX-License-Identifier: MIT
#include "FolderBrowser.h"

#include "Places.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr int PathRole = Qt::UserRole;
constexpr int ListedRole = Qt::UserRole + 1;

// The desktop's icon for the place where its theme has one, else the style's.
QIcon PlaceIcon(const PlaceKind kind, const QStyle& style) {
    switch (kind) {
    case PlaceKind::Home:
        return QIcon::fromTheme(QStringLiteral("user-home"),
                                style.standardIcon(QStyle::SP_DirHomeIcon));
    case PlaceKind::Removable:
        return QIcon::fromTheme(QStringLiteral("drive-removable-media"),
                                style.standardIcon(QStyle::SP_DriveFDIcon));
    case PlaceKind::Drive:
        return QIcon::fromTheme(QStringLiteral("drive-harddisk"),
                                style.standardIcon(QStyle::SP_DriveHDIcon));
    case PlaceKind::Root:
        break;
    }
    return QFileIconProvider().icon(QAbstractFileIconProvider::Drive);
}

QTreeWidgetItem* AddFolder(QTreeWidgetItem* parent, const QString& name, const QString& path,
                           const QIcon& icon) {
    auto* const item = new QTreeWidgetItem(parent, {name});
    item->setIcon(0, icon);
    item->setData(0, PathRole, QDir::toNativeSeparators(path));
    // Whether a folder has subfolders is only found out when it is opened.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

void ListSubfolders(QTreeWidgetItem* const item) {
    if (item->data(0, ListedRole).toBool()) {
        return;
    }
    item->setData(0, ListedRole, true);
    const QDir dir(QDir::fromNativeSeparators(FolderBrowser::ItemPath(item)));
    const QIcon icon = QFileIconProvider().icon(QAbstractFileIconProvider::Folder);
    const auto folders = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                                           QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& folder : folders) {
        AddFolder(item, folder.fileName(), folder.absoluteFilePath(), icon);
    }
    item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

QTreeWidgetItem* ChildNamed(const QTreeWidgetItem* const parent, const QString& name) {
    for (int i = 0; i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0).compare(name, kPathCase) == 0) {
            return parent->child(i);
        }
    }
    return nullptr;
}

QTreeWidgetItem* Descend(QTreeWidgetItem* item, const QStringList& names) {
    for (const QString& name : names) {
        ListSubfolders(item);
        item = ChildNamed(item, name);
        if (item == nullptr) {
            return nullptr;
        }
    }
    return item;
}

} // namespace

FolderBrowser::FolderBrowser(QWidget* const owner, BrowseInfo info)
    : QDialog(owner), info_(std::move(info)), tree_(new QTreeWidget(this)),
      status_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("フォルダーの参照"));
    if (owner != nullptr) {
        setWindowModality(Qt::WindowModal);
    }

    auto* const title = new QLabel(info_.title, this);
    title->setObjectName(QStringLiteral("title"));
    title->setTextFormat(Qt::PlainText);
    title->setWordWrap(true);

    BuildTree();
    tree_->setObjectName(QStringLiteral("tree"));
    tree_->setAccessibleName(info_.title);

    // A path can be wider than the dialog: it is clipped rather than widening it,
    // and stays readable and copyable from the keyboard.
    status_->setObjectName(QStringLiteral("status"));
    status_->setTextFormat(Qt::PlainText);
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    status_->setFocusPolicy(Qt::StrongFocus); // selectable labels only take click focus
    status_->setAccessibleDescription(QStringLiteral("選択しているフォルダーのパス"));

    auto* const buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* const layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(tree_, 1);
    layout->addWidget(status_);
    layout->addWidget(buttons);
    resize(340, 400);
    tree_->setFocus();
}

void FolderBrowser::BuildTree() {
    tree_->setHeaderHidden(true);
    tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree_->header()->setStretchLastSection(false);

    const QFileIconProvider icons;
    auto* const computer = new QTreeWidgetItem(tree_, {QStringLiteral("コンピューター")});
    computer->setIcon(0, icons.icon(QAbstractFileIconProvider::Computer));
    computer->setData(0, ListedRole, true);
    const QList<Volume> volumes = volumesHook ? volumesHook() : MountedUserVolumes();
    for (const Place& place : ComputerPlaces(QDir::homePath(), volumes)) {
        AddFolder(computer, place.name, place.path, PlaceIcon(place.kind, *style()));
    }
    computer->setExpanded(true);
    tree_->setCurrentItem(computer);

    // Connected only now, so that building the tree sends no notification.
    connect(tree_, &QTreeWidget::itemExpanded, this, &ListSubfolders);
    connect(tree_, &QTreeWidget::currentItemChanged, this,
            [this](const QTreeWidgetItem* const current) {
                Notify(BrowseNotification::SelectionChanged, current);
            });
}

QString FolderBrowser::ItemPath(const QTreeWidgetItem* const item) {
    return item != nullptr ? item->data(0, PathRole).toString() : QString();
}

// Under the place nearest to the folder, so a folder in the home folder or
// on a volume opens there rather than below the root.
QTreeWidgetItem* FolderBrowser::FindFolder(const QString& path) const {
    const QString target = QDir::cleanPath(QDir::fromNativeSeparators(path));
    const QTreeWidgetItem* const computer = tree_->topLevelItem(0);
    QTreeWidgetItem* nearest = nullptr;
    QString nearestPath;
    for (int i = 0; i < computer->childCount(); ++i) {
        QTreeWidgetItem* const place = computer->child(i);
        const QString placePath = QDir::fromNativeSeparators(ItemPath(place));
        if (IsAtOrBelow(target, placePath) && placePath.size() > nearestPath.size()) {
            nearest = place;
            nearestPath = placePath;
        }
    }
    if (nearest == nullptr) {
        return nullptr;
    }
    return Descend(nearest, target.mid(nearestPath.size()).split(u'/', Qt::SkipEmptyParts));
}

void FolderBrowser::SetSelection(const QString& path) {
    QTreeWidgetItem* const item = FindFolder(path);
    if (item == nullptr) {
        return;
    }
    for (QTreeWidgetItem* parent = item->parent(); parent != nullptr; parent = parent->parent()) {
        parent->setExpanded(true);
    }
    tree_->setCurrentItem(item);
    tree_->scrollToItem(item);
}

void FolderBrowser::SetStatusText(const QString& text) {
    status_->setText(text);
    status_->setToolTip(text);
    emit StatusTextSet(text);
}

const QTreeWidgetItem* FolderBrowser::CurrentItem() const {
    return tree_->currentItem();
}

void FolderBrowser::showEvent(QShowEvent* const event) {
    QDialog::showEvent(event);
    if (initialized_) {
        return;
    }
    initialized_ = true;
    if (openedHook) {
        openedHook(*this);
    }
    Notify(BrowseNotification::Initialized, nullptr);
}

void FolderBrowser::Notify(const BrowseNotification code, const QTreeWidgetItem* const value) {
    if (info_.callback != nullptr) {
        info_.callback(this, code, value, info_.component);
    }
}
