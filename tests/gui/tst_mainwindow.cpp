// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"

#include "FolderBrowser.h"
#include "Gauge.h"
#include "RadioGroup.h"
#include "StatusBar.h"
#include "Unit1.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace {

QString TextOf(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return button->text();
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        return edit->text();
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        return combo->currentText();
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
        return group->title();
    }
    if (const auto* gauge = qobject_cast<const QProgressBar*>(widget)) {
        return gauge->text();
    }
    if (const auto* memo = qobject_cast<const QPlainTextEdit*>(widget)) {
        return memo->toPlainText();
    }
    return {};
}

// The named control that holds the focus (a combo box's inner edit counts as the box).
QString FocusName() {
    for (QWidget* widget = QApplication::focusWidget(); widget != nullptr;
         widget = widget->parentWidget()) {
        if (!widget->objectName().isEmpty() &&
            !widget->objectName().startsWith(QLatin1String("qt_"))) {
            return widget->objectName();
        }
    }
    return {};
}

std::unique_ptr<QMimeData> UrlData(const QStringList& urls) {
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> list;
    for (const QString& url : urls) {
        list.append(QUrl(url));
    }
    data->setUrls(list);
    return data;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TForm1> form_;

    QWidget* Control(const QString& name) const { return form_->findChild<QWidget*>(name); }

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
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QRect>("geometry"); // empty size: fitted to the text
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("enabled");

        const auto row = [](const char* name, const char* kind, QRect geometry, const QString& text,
                            bool visible = true, bool enabled = true) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(kind)
                                << geometry << text << visible << enabled;
        };
        row("Label1", "QLabel", {8, 8, 281, 17}, "");
        row("Gauge1", "TGauge", {8, 168, 361, 17}, "0%");
        row("Label3", "QLabel", {168, 304, 0, 0}, "Ver 0.20  Kestrune project");
        row("Label4", "QLabel", {160, 144, 0, 0}, "バッファ(MB)");
        row("Button1", "QPushButton", {296, 8, 75, 25}, "実行");
        row("Memo1", "QPlainTextEdit", {8, 192, 361, 105}, "");
        row("RadioGroup1", "TRadioGroup", {8, 40, 361, 73}, "出力先");
        row("Button2", "QPushButton", {280, 80, 75, 25}, "参照");
        row("Edit1", "QLineEdit", {88, 80, 185, 20}, "");
        row("StatusBar1", "TStatusBar", {0, 326, 379, 23}, "");
        row("CheckBox1", "QCheckBox", {8, 120, 153, 17}, "先頭の0データも削除する");
        row("Edit2", "QLineEdit", {256, 120, 49, 20}, "0", true, false);
        row("CheckBox2", "QCheckBox", {176, 120, 73, 17}, "先頭0出力", true, false);
        row("CheckBox3", "QCheckBox", {8, 144, 121, 17}, "ゼロだけを調べる");
        row("Button3", "QPushButton", {296, 8, 73, 25}, "中断", false);
        row("ComboBox1", "QComboBox", {248, 144, 57, 20}, "1");
    }
    void controlTable() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(bool, visible);
        QFETCH(bool, enabled);

        const QWidget* const widget = Control(name);
        QVERIFY(widget != nullptr);
        QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), kind);
        QCOMPARE(widget->parentWidget(), form_.get());
        if (geometry.size().isEmpty()) {
            QCOMPARE(widget->pos(), geometry.topLeft());
            QCOMPARE(widget->size(), widget->sizeHint());
        } else {
            QCOMPARE(widget->geometry(), geometry);
        }
        QCOMPARE(TextOf(widget), text);
        QCOMPARE(widget->isVisible(), visible);
        QCOMPARE(widget->isEnabled(), enabled);
    }

    void initialChoices() {
        QCOMPARE(form_->RadioGroup1->ItemIndex(), 0);
        QCOMPARE(form_->RadioGroup1->Item(0)->text(), QString("読み込みファイルと同じ"));
        QCOMPARE(form_->RadioGroup1->Item(1)->text(), QString("指定する"));
        // Item 1's row is level with the folder field laid over the group.
        QCOMPARE(form_->RadioGroup1->Item(1)->mapTo(form_.get(), QPoint()).y(), form_->Edit1->y());
        QCOMPARE(form_->ComboBox1->currentIndex(), -1);
        QVERIFY(form_->ComboBox1->isEditable());
        QCOMPARE(form_->ComboBox1->count(), 3);
        QCOMPARE(form_->ComboBox1->itemText(2), QString("10"));
        QVERIFY(!form_->CheckBox1->isChecked());
        QVERIFY(!form_->CheckBox2->isChecked());
        QVERIFY(!form_->CheckBox3->isChecked());
        QCOMPARE(form_->Gauge1->value(), 0);
        QVERIFY(!abortflag);
    }

    void windowFrame() {
        QCOMPARE(Form1, form_.get());
        QCOMPARE(form_->windowTitle(), QString("Kestrune"));
        QCOMPARE(form_->size(), QSize(379, 349));
        QCOMPARE(form_->minimumSize(), form_->maximumSize());
        const Qt::WindowFlags flags = form_->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(form_->acceptDrops());
        QVERIFY(!form_->windowIcon().pixmap(32, 32).isNull());

        const QFont font = form_->font();
        QCOMPARE(font.family(), QString("ＭＳ Ｐゴシック"));
        QCOMPARE(font.pixelSize(), 12);
        QVERIFY(QStringList({"ＭＳ Ｐゴシック", "IPAPGothic", "IPAGothic", "Noto Sans CJK JP"})
                    .contains(QFontInfo(font).family()));
        QCOMPARE(form_->Memo1->font(), font);

        const QPoint centre = form_->screen()->virtualGeometry().center();
        QVERIFY((form_->frameGeometry().center() - centre).manhattanLength() <= 1);
    }

    void focusStartsOnExecute() {
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        QCOMPARE(FocusName(), QString("Button1"));
    }

    void stackingOrder() {
        QStringList names;
        for (const QWidget* child : form_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            names.append(child->objectName());
        }
        QCOMPARE(names, QStringList({"Label1", "Gauge1", "Label3", "Label4", "Button1", "Memo1",
                                     "RadioGroup1", "Button2", "Edit1", "StatusBar1", "CheckBox1",
                                     "Edit2", "CheckBox2", "CheckBox3", "Button3", "ComboBox1"}));
        // The folder field and Browse lie over the group's frame, not in it.
        QCOMPARE(form_->childAt(form_->Edit1->geometry().center()), form_->Edit1);
        QCOMPARE(form_->childAt(form_->Button2->geometry().center()), form_->Button2);
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
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        form_->Button1->setFocus(Qt::OtherFocusReason);

        QStringList seen;
        while (seen.size() < walk.size()) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            seen.append(FocusName());
        }
        QCOMPARE(seen, walk);
    }

    void arrowKeysMoveSelection() {
        QRadioButton* const first = form_->RadioGroup1->Item(0);
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        first->setFocus(Qt::TabFocusReason);
        QTest::keyClick(first, Qt::Key_Down);
        QCOMPARE(form_->RadioIndex(), 1);
        QCOMPARE(FocusName(), QString("RadioGroup1.Item1"));
    }

    // Records the order in which the interlock changes CheckBox2 and Edit2.
    void checkBox1Interlock() {
        QStringList steps;
        connect(form_->CheckBox2, &QCheckBox::toggled, this, [&steps](bool on) {
            steps.append(on ? "CheckBox2 ticked" : "CheckBox2 unticked");
        });
        struct EnableSpy : QObject {
            QStringList* steps;
            bool eventFilter(QObject* watched, QEvent* event) override {
                if (event->type() == QEvent::EnabledChange) {
                    const bool on = static_cast<QWidget*>(watched)->isEnabled();
                    steps->append(watched->objectName() + (on ? " enabled" : " disabled"));
                }
                return false;
            }
        } spy;
        spy.steps = &steps;
        form_->CheckBox2->installEventFilter(&spy);
        form_->Edit2->installEventFilter(&spy);

        QTest::mouseClick(form_->CheckBox1, Qt::LeftButton);
        QCOMPARE(steps, QStringList({"CheckBox2 enabled", "Edit2 enabled"}));
        QVERIFY(!form_->CheckBox2->isChecked());

        QTest::mouseClick(form_->CheckBox2, Qt::LeftButton);
        form_->Edit2->setText("512");
        steps.clear();
        form_->CheckBox1->setFocus();
        QTest::keyClick(form_->CheckBox1, Qt::Key_Space);
        QCOMPARE(steps,
                 QStringList({"CheckBox2 unticked", "CheckBox2 disabled", "Edit2 disabled"}));
        QCOMPARE(form_->Edit2->text(), QString("512"));

        steps.clear();
        QTest::keyClick(form_->CheckBox1, Qt::Key_Space);
        QCOMPARE(steps, QStringList({"CheckBox2 enabled", "Edit2 enabled"}));
        QVERIFY(!form_->CheckBox2->isChecked());
        QCOMPARE(form_->Edit2->text(), QString("512"));
    }

    void selectingFolderItemChangesNothingElse() {
        QRadioButton* const item = form_->RadioGroup1->Item(1);
        QTest::mouseClick(item, Qt::LeftButton, {}, QPoint(4, item->height() / 2));
        QCOMPARE(form_->RadioIndex(), 1);
        QVERIFY(form_->Edit1->isEnabled());
        QVERIFY(!form_->Edit2->isEnabled());
        QVERIFY(form_->Button2->isEnabled());
    }

    void browse_data() {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("cancelled keeps Edit1") << false;
        QTest::newRow("confirmed fills Edit1, selection unchanged") << true;
    }
    void browse() {
        QFETCH(bool, confirm);
        const QTemporaryDir folder;
        QVERIFY(folder.isValid());
        form_->Edit1->setText("/keep");
        FolderBrowser::openedHook = [&folder, confirm](FolderBrowser& browser) {
            QTimer::singleShot(0, &browser, [&folder, confirm, &browser] {
                browser.SetSelection(QDir::toNativeSeparators(folder.path()));
                confirm ? browser.accept() : browser.reject();
            });
        };
        QTest::mouseClick(form_->Button2, Qt::LeftButton);
        QCOMPARE(form_->Edit1->text(),
                 confirm ? QDir::toNativeSeparators(folder.path()) : QString("/keep"));
        QCOMPARE(form_->RadioIndex(), 0);
    }

    void drop_data() {
        QTest::addColumn<QStringList>("urls");
        QTest::addColumn<Qt::DropActions>("offered");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("label");
        const Qt::DropActions copyOrMove = Qt::CopyAction | Qt::MoveAction;
        QTest::newRow("one file") << QStringList{"file:///tmp/in put.img"} << copyOrMove << true
                                  << "/tmp/in put.img";
        QTest::newRow("several files take the first")
            << QStringList{"file:///tmp/first.img", "file:///tmp/second.img"} << copyOrMove << true
            << "/tmp/first.img";
        QTest::newRow("Japanese path") << QStringList{"file:///tmp/データ/ディスク.img"}
                                       << copyOrMove << true << "/tmp/データ/ディスク.img";
        QTest::newRow("web address then file")
            << QStringList{"https://example.com/a.img", "file:///tmp/b.img"} << copyOrMove << true
            << "/tmp/b.img";
        QTest::newRow("web address only refused")
            << QStringList{"https://example.com/a.img"} << copyOrMove << false << "previous";
        QTest::newRow("move only refused")
            << QStringList{"file:///tmp/a.img"} << Qt::DropActions(Qt::MoveAction) << false
            << "previous";
    }
    void drop() {
        QFETCH(QStringList, urls);
        QFETCH(Qt::DropActions, offered);
        QFETCH(bool, accepted);
        QFETCH(QString, label);

        form_->Label1->setText("previous");
        const auto data = UrlData(urls);
        const QPoint at = form_->Memo1->geometry().center();
        QDragEnterEvent enter(at, offered, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_.get(), &enter);
        QCOMPARE(enter.isAccepted(), accepted);
        QDropEvent drop(QPointF(at), offered, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_.get(), &drop);
        QCOMPARE(drop.isAccepted(), accepted);
        if (accepted) {
            QCOMPARE(drop.dropAction(), Qt::CopyAction);
        }
        QCOMPARE(form_->Label1->text(), label);
    }

    void appendLog_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("after");
        QTest::newRow("empty log") << "" << QStringList{"一行目", "second"} << "一行目\nsecond\n";
        QTest::newRow("typed text without line break") << "abc" << QStringList{"x"} << "abcx\n";
        QTest::newRow("empty line") << "a\n" << QStringList{""} << "a\n\n";
    }
    void appendLog() {
        QFETCH(QString, before);
        QFETCH(QStringList, lines);
        QFETCH(QString, after);

        form_->Memo1->setPlainText(before);
        QTextCursor start = form_->Memo1->textCursor();
        start.setPosition(0);
        form_->Memo1->setTextCursor(start);
        for (const QString& line : lines) {
            form_->AppendLog(line.toStdString());
        }
        QCOMPARE(form_->Memo1->toPlainText(), after);
        QCOMPARE(form_->Memo1->textCursor().position(), after.size());
        form_->ClearLog();
        QCOMPARE(form_->Memo1->toPlainText(), QString());
    }

    void hostReadsControls() {
        form_->Label1->setText("/tmp/入力.img");
        form_->Edit1->setText("/tmp/出力先");
        form_->ComboBox1->setFocus();
        form_->ComboBox1->lineEdit()->selectAll();
        QTest::keyClicks(form_->ComboBox1->lineEdit(), "10");
        QCOMPARE(form_->ReadText(kst::TextControl::Label1), std::string("/tmp/入力.img"));
        QCOMPARE(form_->ReadText(kst::TextControl::Edit1), std::string("/tmp/出力先"));
        QCOMPARE(form_->ReadText(kst::TextControl::Edit2), std::string("0"));
        QCOMPARE(form_->ReadText(kst::TextControl::ComboBox1), std::string("10"));
        form_->CheckBox3->setChecked(true);
        QVERIFY(form_->IsChecked(kst::CheckControl::CheckBox3));
        QVERIFY(!form_->IsChecked(kst::CheckControl::CheckBox1));
    }

    void statusBar_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::newRow("panel 0") << 0 << 0 << 100;
        QTest::newRow("panel 1") << 1 << 100 << 200;
        QTest::newRow("last panel to the right end") << 2 << 200 << 379;
    }
    void statusBar() {
        QFETCH(int, index);
        QFETCH(int, left);
        QFETCH(int, right);

        const QLabel* const panel = form_->StatusBar1->Panel(index);
        const QRect onWindow(panel->mapTo(form_.get(), QPoint()), panel->size());
        QCOMPARE(onWindow.left(), left);
        QCOMPARE(onWindow.left() + onWindow.width(), right);
        QCOMPARE(onWindow.bottom(), form_->height() - 1);
        QCOMPARE(panel->frameShadow(), QFrame::Sunken);
        QVERIFY(panel->alignment().testFlag(Qt::AlignLeft));
        QVERIFY(!panel->wordWrap());
        QCOMPARE(panel->font(), QApplication::font("QStatusBar"));
        QVERIFY(panel->font() != form_->font());
        QVERIFY(!form_->StatusBar1->isSizeGripEnabled());

        form_->SetPanel(index, "Tail 0=1,200,000");
        QCOMPARE(panel->text(), QString("Tail 0=1,200,000"));
    }

    void accessibility() {
        for (const QWidget* field : std::initializer_list<const QWidget*>{
                 form_->Edit1, form_->Edit2, form_->ComboBox1, form_->Memo1}) {
            QVERIFY2(!field->accessibleName().isEmpty(), qPrintable(field->objectName()));
        }
        form_->Label1->setText("/tmp/x.img");
        QList<QWidget*> labels{form_->Label1, form_->Label3, form_->Label4};
        for (int index = 0; index < TStatusBar::kPanelCount; ++index) {
            labels.append(form_->StatusBar1->Panel(index));
        }
        for (QWidget* const label : labels) {
            QVERIFY2(label->accessibleName().isEmpty(), qPrintable(label->objectName()));
            QCOMPARE(label->accessibleDescription(), label->objectName());
            QAccessibleInterface* const face = QAccessible::queryAccessibleInterface(label);
            QCOMPARE(face->text(QAccessible::Name), static_cast<QLabel*>(label)->text());
        }

        form_->SetGauge(42);
        QAccessibleInterface* const gauge = QAccessible::queryAccessibleInterface(form_->Gauge1);
        QCOMPARE(gauge->role(), QAccessible::ProgressBar);
        QVERIFY(gauge->valueInterface() != nullptr);
        QCOMPARE(gauge->valueInterface()->currentValue().toInt(), 42);
    }

    void abortButtonPair() {
        form_->ShowAbortButton(true);
        QVERIFY(!form_->Button1->isVisible());
        QVERIFY(form_->Button3->isVisible());
        form_->ClearAbortFlag();
        QTest::mouseClick(form_->Button3, Qt::LeftButton);
        QTest::mouseClick(form_->Button3, Qt::LeftButton);
        QVERIFY(form_->AbortFlag());
        QVERIFY(abortflag);
        form_->ShowAbortButton(false);
        QVERIFY(form_->Button1->isVisible());
        QVERIFY(!form_->Button3->isVisible());
        form_->ClearAbortFlag();
        QVERIFY(!abortflag);
    }
};

KESTRUNE_GUI_TEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
