// SPDX-License-Identifier: MIT
#include "RadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QResizeEvent>

#include <algorithm>

namespace {

constexpr int kMargin = 8;
constexpr int kFirstRowTop = 16;
constexpr int kRowPitch = 24;
constexpr int kRowHeight = 20;

} // namespace

TRadioGroup::TRadioGroup(const QString& name, const QString& caption, const QStringList& items,
                         QWidget* parent)
    : QGroupBox(caption, parent), buttons_(new QButtonGroup(this)) {
    setObjectName(name);
    for (int index = 0; index < items.size(); ++index) {
        auto* const item = new QRadioButton(items[index], this);
        item->setObjectName(QStringLiteral("%1.Item%2").arg(objectName()).arg(index));
        buttons_->addButton(item, index);
    }
    connect(buttons_, &QButtonGroup::idToggled, this, &TRadioGroup::UpdateTabStops);
    UpdateTabStops();
}

int TRadioGroup::ItemIndex() const {
    return buttons_->checkedId();
}

void TRadioGroup::SetItemIndex(int index) {
    if (QRadioButton* const item = Item(index)) {
        item->setChecked(true);
    }
}

QRadioButton* TRadioGroup::Item(int index) const {
    return qobject_cast<QRadioButton*>(buttons_->button(index));
}

int TRadioGroup::Count() const {
    return static_cast<int>(buttons_->buttons().size());
}

int TRadioGroup::RowTop(int index) {
    return kFirstRowTop + index * kRowPitch;
}

void TRadioGroup::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    const int width = event->size().width() - 2 * kMargin;
    for (int index = 0; index < Count(); ++index) {
        Item(index)->setGeometry(kMargin, RowTop(index), width, kRowHeight);
    }
}

void TRadioGroup::UpdateTabStops() {
    const int selected = std::max(ItemIndex(), 0);
    for (int index = 0; index < Count(); ++index) {
        Item(index)->setFocusPolicy(index == selected ? Qt::StrongFocus : Qt::ClickFocus);
    }
}
