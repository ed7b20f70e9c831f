// SPDX-License-Identifier: MIT
#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

// Framed, captioned column of radio buttons with one selected index.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    // Items are named "<name>.Item<index>".
    TRadioGroup(const QString& name, const QString& caption, const QStringList& items,
                QWidget* parent);

    // -1 while no item is selected.
    int ItemIndex() const;
    void SetItemIndex(int index);
    QRadioButton* Item(int index) const;
    int Count() const;

    // Top edge of an item's row inside the group.
    static int RowTop(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Tab enters the group on its selected item only.
    void UpdateTabStops();

    QButtonGroup* buttons_;
};
