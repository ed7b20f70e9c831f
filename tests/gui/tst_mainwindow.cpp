// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"

#include "FolderBrowser.h"
#include "FolderDialog.h"
#include "FormTable.h"
#include "Gauge.h"
#include "RadioGroup.h"
#include "StatusBar.h"
#include "Unit1.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace {

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The Qt class that stands for each kind of the table.
const char* QtClass(kst::form::Kind kind) {
    switch (kind) {
    case kst::form::Kind::Label:
        return "QLabel";
    case kst::form::Kind::Gauge:
        return "TGauge";
    case kst::form::Kind::Button:
        return "QPushButton";
    case kst::form::Kind::Memo:
        return "QPlainTextEdit";
    case kst::form::Kind::RadioGroup:
        return "TRadioGroup";
    case kst::form::Kind::Edit:
        return "QLineEdit";
    case kst::form::Kind::StatusBar:
        return "TStatusBar";
    case kst::form::Kind::CheckBox:
        return "QCheckBox";
    case kst::form::Kind::ComboBox:
        return "QComboBox";
    }
    return "";
}

QStringList ItemsOf(const kst::form::ControlRow& entry) {
    QStringList items;
    for (const std::string_view item : entry.items) {
        items.append(Utf8(item));
    }
    return items;
}

// A radio group's item texts or a combo box's rows; none for other kinds.
QStringList ItemsOf(const QWidget* widget) {
    QStringList items;
    if (const auto* const group = qobject_cast<const TRadioGroup*>(widget)) {
        for (int index = 0; index < group->Count(); ++index) {
            items.append(group->Item(index)->text());
        }
    } else if (const auto* const combo = qobject_cast<const QComboBox*>(widget)) {
        for (int index = 0; index < combo->count(); ++index) {
            items.append(combo->itemText(index));
        }
    }
    return items;
}

int SelectedItem(const QWidget* widget) {
    if (const auto* const group = qobject_cast<const TRadioGroup*>(widget)) {
        return group->ItemIndex();
    }
    if (const auto* const combo = qobject_cast<const QComboBox*>(widget)) {
        return combo->currentIndex();
    }
    return -1;
}

// What the control shows as its text, whatever its kind.
QString TextOf(const QWidget* widget) {
    for (const char* property : {"currentText", "title", "plainText", "text"}) {
        const QVariant value = widget->property(property);
        if (value.isValid()) {
            return value.toString();
        }
    }
    return {};
}

// The named control holding the focus (a combo box's inner edit counts as the box).
QString FocusName() {
    QWidget* widget = QApplication::focusWidget();
    while (widget != nullptr && (widget->objectName().isEmpty() ||
                                 widget->objectName().startsWith(QLatin1String("qt_")))) {
        widget = widget->parentWidget();
    }
    return widget != nullptr ? widget->objectName() : QString();
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TForm1> form_;

    void Activate() { ActivateAndWait(form_.get()); }

private slots:
    void init() {
        form_ = std::make_unique<TForm1>();
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }
    void cleanup() {
        FolderBrowser::openedHook = nullptr;
        form_.reset();
    }

    void controlTable_data() {
        QTest::addColumn<int>("index");
        for (const kst::form::ControlRow& entry : kst::form::Controls()) {
            QTest::newRow(entry.name.data()) << static_cast<int>(entry.control);
        }
    }
    void controlTable() {
        QFETCH(int, index);
        const kst::form::ControlRow& entry = kst::form::Controls()[static_cast<std::size_t>(index)];
        const auto* const widget = form_->findChild<QWidget*>(QTest::currentDataTag());
        QVERIFY(widget != nullptr);
        QCOMPARE(widget, form_->Widget(entry.control));
        QCOMPARE(widget->metaObject()->className(), QtClass(entry.kind));
        QCOMPARE(widget->parentWidget(), form_.get());
        QCOMPARE(widget->pos(), QPoint(entry.rect.left, entry.rect.top));
        QCOMPARE(widget->size(),
                 entry.fitsText ? widget->sizeHint() : QSize(entry.rect.width, entry.rect.height));
        if (entry.kind != kst::form::Kind::Gauge) { // the gauge shows its value
            QCOMPARE(TextOf(widget), Utf8(entry.text));
        }
        QCOMPARE(ItemsOf(widget), ItemsOf(entry));
        QCOMPARE(SelectedItem(widget), entry.selected);
        QCOMPARE(widget->isVisible(), entry.shown);
        QCOMPARE(widget->isEnabled(), entry.enabled);
        if (!entry.readerName.empty()) {
            QCOMPARE(widget->accessibleName(), Utf8(entry.readerName));
        }
    }

    void initialChoices() {
        QCOMPARE(form_->Controller().OutputChoice(), kst::OutputPlace::BesideInput);
        // Item 1's row is level with the folder field laid over the group.
        QCOMPARE(form_->RadioGroup1->Item(1)->mapTo(form_.get(), QPoint()).y(), form_->Edit1->y());
        QVERIFY(form_->ComboBox1->isEditable());
        QCOMPARE(form_->FolderDialog1->Title(), Utf8(kst::form::kFolderDialogTitle));
    }

    void windowFrame() {
        QCOMPARE(Form1, form_.get());
        QCOMPARE(form_->windowTitle(), QString("Kestrune"));
        QCOMPARE(form_->minimumSize(), QSize(379, 349));
        QCOMPARE(form_->maximumSize(), QSize(379, 349));
        QVERIFY(form_->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!form_->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(form_->acceptDrops());
        QVERIFY(!form_->windowIcon().pixmap(32, 32).isNull());
        QCOMPARE(form_->font().family(), QString("ＭＳ Ｐゴシック"));
        QCOMPARE(form_->font().pixelSize(), 12);
        QVERIFY(QStringList({"ＭＳ Ｐゴシック", "IPAPGothic", "IPAGothic", "Noto Sans CJK JP"})
                    .contains(QFontInfo(form_->font()).family()));
        const QPoint centre = form_->screen()->virtualGeometry().center();
        QVERIFY((form_->frameGeometry().center() - centre).manhattanLength() <= 1);
        Activate();
        QCOMPARE(FocusName(), QString("Button1"));
    }

    void stackingOrder() {
        QStringList names;
        for (const QWidget* child : form_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            names.append(child->objectName());
        }
        QStringList tableOrder;
        for (const kst::form::ControlRow& entry : kst::form::Controls()) {
            tableOrder.append(Utf8(entry.name));
        }
        QCOMPARE(names, tableOrder);
        QCOMPARE(form_->childAt(form_->Edit1->geometry().center()), form_->Edit1);
    }

    void tabOrder_data() {
        QTest::addColumn<bool>("tickCheckBox1");
        QTest::addColumn<int>("radioItem");
        QTest::addColumn<QStringList>("walk");
        QTest::newRow("initial") << false << 0 << QStringList{"Memo1",     "RadioGroup1.Item0",
                                                              "Button2",   "Edit1",
                                                              "CheckBox1", "CheckBox3",
                                                              "ComboBox1", "Button1"};
        QTest::newRow("CheckBox1 ticked, folder item")
            << true << 1
            << QStringList{"Memo1", "RadioGroup1.Item1", "Button2",   "Edit1",     "CheckBox1",
                           "Edit2", "CheckBox2",         "CheckBox3", "ComboBox1", "Button1"};
    }
    void tabOrder() {
        QFETCH(bool, tickCheckBox1);
        QFETCH(int, radioItem);
        QFETCH(QStringList, walk);
        form_->CheckBox1->setChecked(tickCheckBox1);
        form_->RadioGroup1->SetItemIndex(radioItem);
        Activate();
        form_->Button1->setFocus(Qt::OtherFocusReason);
        QStringList seen;
        while (seen.size() < walk.size()) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            seen.append(FocusName());
        }
        QCOMPARE(seen, walk);
    }

    // Records the order in which the interlock changes CheckBox2 and Edit2.
    void checkBox1Interlock() {
        QStringList steps;
        connect(form_->CheckBox2, &QCheckBox::toggled, this, [&steps](bool on) {
            steps.append(on ? "CheckBox2 ticked" : "CheckBox2 unticked");
        });
        form_->CheckBox2->installEventFilter(this);
        form_->Edit2->installEventFilter(this);
        steps_ = &steps;
        QTest::mouseClick(form_->CheckBox1, Qt::LeftButton);
        QCOMPARE(steps, QStringList({"CheckBox2 enabled", "Edit2 enabled"}));
        QTest::mouseClick(form_->CheckBox2, Qt::LeftButton);
        form_->Edit2->setText("512");
        steps.clear();
        form_->CheckBox1->setFocus();
        QTest::keyClick(form_->CheckBox1, Qt::Key_Space);
        QCOMPARE(steps,
                 QStringList({"CheckBox2 unticked", "CheckBox2 disabled", "Edit2 disabled"}));
        steps.clear();
        QTest::keyClick(form_->CheckBox1, Qt::Key_Space);
        QCOMPARE(steps, QStringList({"CheckBox2 enabled", "Edit2 enabled"}));
        QVERIFY(!form_->CheckBox2->isChecked());
        QCOMPARE(form_->Edit2->text(), QString("512"));
        steps_ = nullptr;
    }

    void browse_data() {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("cancelled keeps Edit1") << false;
        QTest::newRow("confirmed fills Edit1, selection unchanged") << true;
    }
    void browse() {
        QFETCH(bool, confirm);
        const QTemporaryDir folder;
        const QString path = QDir::toNativeSeparators(folder.path());
        form_->Edit1->setText("/keep");
        FolderBrowser::openedHook = [&path, confirm](FolderBrowser& browser) {
            QTimer::singleShot(0, &browser, [&path, confirm, &browser] {
                browser.SetSelection(path);
                confirm ? browser.accept() : browser.reject();
            });
        };
        QTest::mouseClick(form_->Button2, Qt::LeftButton);
        QCOMPARE(form_->Edit1->text(), confirm ? path : QString("/keep"));
        QCOMPARE(form_->Controller().OutputChoice(), kst::OutputPlace::BesideInput);
    }

    void drop_data() {
        QTest::addColumn<QStringList>("urls");
        QTest::addColumn<Qt::DropActions>("offered");
        QTest::addColumn<QString>("label"); // "previous": refused
        const Qt::DropActions copyOrMove = Qt::CopyAction | Qt::MoveAction;
        QTest::newRow("one file") << QStringList{"file:///tmp/in put.img"} << copyOrMove
                                  << "/tmp/in put.img";
        QTest::newRow("several files take the first")
            << QStringList{"file:///tmp/first.img", "file:///tmp/second.img"} << copyOrMove
            << "/tmp/first.img";
        QTest::newRow("Japanese path") << QStringList{"file:///tmp/データ/ディスク.img"}
                                       << copyOrMove << "/tmp/データ/ディスク.img";
        QTest::newRow("web address then file")
            << QStringList{"https://example.com/a.img", "file:///tmp/b.img"} << copyOrMove
            << "/tmp/b.img";
        QTest::newRow("web address only refused")
            << QStringList{"https://example.com/a.img"} << copyOrMove << "previous";
        QTest::newRow("move only refused")
            << QStringList{"file:///tmp/a.img"} << Qt::DropActions(Qt::MoveAction) << "previous";
    }
    void drop() {
        QFETCH(QStringList, urls);
        QFETCH(Qt::DropActions, offered);
        QFETCH(QString, label);
        const bool accepted = label != "previous";
        form_->Label1->setText("previous");
        QMimeData data;
        data.setUrls(QUrl::fromStringList(urls));
        const QPoint at = form_->Memo1->geometry().center();
        QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_.get(), &enter);
        QCOMPARE(enter.isAccepted(), accepted);
        QDropEvent drop(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_.get(), &drop);
        QCOMPARE(drop.isAccepted(), accepted);
        QCOMPARE(drop.dropAction(), accepted ? Qt::CopyAction : drop.dropAction());
        QCOMPARE(form_->Label1->text(), label);
    }

    void appendLog_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("after");
        QTest::newRow("empty log") << "" << QStringList{"一行目", ""} << "一行目\n\n";
        QTest::newRow("typed text without line break") << "abc" << QStringList{"x"} << "abcx\n";
    }
    void appendLog() {
        QFETCH(QString, before);
        QFETCH(QStringList, lines);
        QFETCH(QString, after);
        form_->Memo1->setPlainText(before); // leaves the caret at the start
        for (const QString& line : lines) {
            form_->AppendLog(line.toStdString());
        }
        QCOMPARE(form_->Memo1->toPlainText(), after);
        QCOMPARE(form_->Memo1->textCursor().position(), after.size());
    }

    void statusBar_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::addColumn<bool>("elided"); // a figure of tens of GiB
        QTest::newRow("panel 0") << 0 << 0 << 100 << true;
        QTest::newRow("panel 1") << 1 << 100 << 200 << true;
        QTest::newRow("last panel to the right end") << 2 << 200 << 379 << false;
    }
    void statusBar() {
        QFETCH(int, index);
        QFETCH(int, left);
        QFETCH(int, right);
        QFETCH(bool, elided);
        const QLabel* const panel = form_->StatusBar1->Panel(index);
        const QPoint topLeft = panel->mapTo(form_.get(), QPoint());
        QCOMPARE(topLeft.x(), left);
        QCOMPARE(topLeft.x() + panel->width(), right);
        QCOMPARE(topLeft.y() + panel->height(), form_->height());
        QCOMPARE(panel->frameShadow(), QFrame::Sunken);
        QCOMPARE(panel->font(), QApplication::font("QStatusBar"));
        QVERIFY(panel->font() != form_->font());
        QVERIFY(!form_->StatusBar1->isSizeGripEnabled());

        // Never cut silently: shown whole, or elided within the panel with
        // the whole text as tooltip; screen readers always get it whole.
        const QString whole = "Tail 0=64,424,509,440";
        form_->ShowFigure(static_cast<kst::Figure>(index), std::string(whole.toUtf8()));
        QCOMPARE(form_->StatusBar1->PanelText(index), whole);
        QCOMPARE(QAccessible::queryAccessibleInterface(const_cast<QLabel*>(panel))
                     ->text(QAccessible::Name),
                 whole);
        const int room = panel->contentsRect().width() - panel->indent();
        QVERIFY(panel->fontMetrics().horizontalAdvance(panel->text()) <= room);
        QCOMPARE(panel->text() != whole, elided);
        QCOMPARE(panel->text().endsWith(QChar(0x2026)), elided);
        QCOMPARE(panel->toolTip(), elided ? whole : QString());
    }

    void accessibility() {
        for (const QWidget* field : std::initializer_list<const QWidget*>{
                 form_->Edit1, form_->Edit2, form_->ComboBox1, form_->Memo1}) {
            QVERIFY2(!field->accessibleName().isEmpty(), qPrintable(field->objectName()));
        }
        form_->Label1->setText("/tmp/x.img");
        QList<QLabel*> labels{form_->Label1, form_->Label3, form_->Label4};
        for (int index = 0; index < TStatusBar::kPanelCount; ++index) {
            labels.append(form_->StatusBar1->Panel(index));
        }
        for (QLabel* const label : labels) {
            QCOMPARE(label->accessibleDescription(), label->objectName());
            // The name read out is the label's text (a panel's whole text,
            // even while it shows it elided).
            const auto* const panel = dynamic_cast<TStatusPanel*>(label);
            QCOMPARE(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name),
                     panel != nullptr ? panel->WholeText() : label->text());
        }
        form_->SetGauge(42);
        QAccessibleInterface* const gauge = QAccessible::queryAccessibleInterface(form_->Gauge1);
        QCOMPARE(gauge->role(), QAccessible::ProgressBar);
        QCOMPARE(gauge->valueInterface()->currentValue().toInt(), 42);
    }

private:
    QStringList* steps_ = nullptr;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (steps_ != nullptr && event->type() == QEvent::EnabledChange) {
            const bool on = static_cast<QWidget*>(watched)->isEnabled();
            steps_->append(watched->objectName() + (on ? " enabled" : " disabled"));
        }
        return false;
    }
};

KESTRUNE_GUI_TEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
