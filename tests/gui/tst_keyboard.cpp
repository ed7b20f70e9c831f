// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"

#include "FolderBrowser.h"
#include "RadioGroup.h"
#include "Unit1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace {

// Presses Tab until the focus is in target; false when it never gets there.
bool TabTo(const QWidget* target) {
    constexpr int kMostPresses = 20;
    for (int press = 0; press < kMostPresses; ++press) {
        QWidget* const focus = QApplication::focusWidget();
        if (focus == nullptr) {
            return false;
        }
        if (focus == target || target->isAncestorOf(focus)) {
            return true;
        }
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    return false;
}

void PressSpace() {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
}

// Leading zeros, kept bytes, trailing zeros.
void WriteInput(const QString& path, int leading, int kept, int trailing) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray content =
        QByteArray(leading, '\0') + QByteArray(kept, '\x5a') + QByteArray(trailing, '\0');
    QCOMPARE(file.write(content), content.size());
}

} // namespace

// A user with only a keyboard: every control is reached with Tab and
// operated with its keys; only the input file comes by a drop.
class KeyboardTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<BoxRecorder> recorder_;
    std::unique_ptr<TForm1> form_;

    QString Path(const QString& name) const { return NativePath(*dir_, name); }

    void ActivateWindow() { ActivateAndWait(form_.get()); }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        recorder_ = std::make_unique<BoxRecorder>();
        form_ = std::make_unique<TForm1>();
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }
    void cleanup() {
        FolderBrowser::openedHook = nullptr;
        form_.reset();
        recorder_.reset();
        dir_.reset();
    }

    void everyOptionSetAndRunByKeyboard() {
        QVERIFY(QDir(dir_->path()).mkdir("out"));
        WriteInput(Path("in.bin"), 1000, 5000, 3000);
        form_->Label1->setText(Path("in.bin"));
        FolderBrowser::openedHook = [this](FolderBrowser& browser) {
            QTimer::singleShot(0, &browser, [this, &browser] {
                browser.SetSelection(Path("out"));
                QTest::keyClick(&browser, Qt::Key_Return);
            });
        };
        ActivateWindow();
        form_->Button1->setFocus(Qt::TabFocusReason);

        QVERIFY(TabTo(form_->RadioGroup1->Item(0)));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(form_->Controller().OutputChoice(), kst::OutputPlace::InFolder);
        QVERIFY(TabTo(form_->Button2));
        PressSpace();
        QCOMPARE(form_->Edit1->text(), Path("out"));
        // A window manager gives the focus back when the chooser closes; offscreen has none.
        ActivateWindow();
        QVERIFY(TabTo(form_->CheckBox1));
        PressSpace();
        // Tab focus selects a field's text, so typing replaces it.
        QVERIFY(TabTo(form_->Edit2));
        QTest::keyClicks(QApplication::focusWidget(), "4");
        QVERIFY(TabTo(form_->CheckBox2));
        PressSpace();
        QVERIFY(TabTo(form_->ComboBox1));
        QTest::keyClicks(QApplication::focusWidget(), "5");
        QCOMPARE(form_->ComboBox1->currentText(), QString("5"));
        QVERIFY(TabTo(form_->Button1));
        PressSpace();

        QVERIFY(recorder_->boxes.isEmpty());
        QVERIFY2(form_->Memo1->toPlainText().endsWith("終わり\n"),
                 qPrintable(form_->Memo1->toPlainText()));
        QFile output(OutputInFolder(Path("out"), Path("in.bin")));
        QVERIFY(output.open(QIODevice::ReadOnly));
        QCOMPARE(output.readAll(), QByteArray(4, '\0') + QByteArray(5000, '\x5a'));
    }

    // Execute hides itself under the focus; Abort is reached and pressed
    // while the copy runs.
    void abortByKeyboardDuringCopy() {
        constexpr int kKept = 30'000'000;
        WriteInput(Path("big.bin"), 0, kKept, 1);
        form_->Label1->setText(Path("big.bin"));
        bool reached = false;
        QTimer presser;
        connect(&presser, &QTimer::timeout, this, [this, &presser, &reached] {
            if (form_->Button3->isVisible()) {
                presser.stop();
                reached = TabTo(form_->Button3);
                PressSpace();
            }
        });
        presser.start(0);
        ActivateWindow();
        form_->Button1->setFocus(Qt::TabFocusReason);
        PressSpace();
        presser.stop();

        QVERIFY(reached);
        QVERIFY(recorder_->boxes.isEmpty());
        QVERIFY2(form_->Memo1->toPlainText().endsWith("中断しました\n"),
                 qPrintable(form_->Memo1->toPlainText()));
        QVERIFY(QFileInfo(OutputBeside(Path("big.bin"))).size() < kKept);
        QVERIFY(form_->Button1->isVisible());
    }
};

KESTRUNE_GUI_TEST_MAIN(KeyboardTest)
#include "tst_keyboard.moc"
