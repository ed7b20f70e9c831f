// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"

#include "joberror.h"

#include <QMessageBox>
#include <QPushButton>

#include <new>
#include <stdexcept>

namespace {

// Throws the exception made by raise() from its event handler.
class Thrower : public QObject {
public:
    std::function<void()> raise;

    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) {
            raise();
        }
        return QObject::event(event);
    }
};

} // namespace

Q_DECLARE_METATYPE(std::function<void()>)

using kst::ui::BoxKind;

class BoxesTest : public QObject {
    Q_OBJECT

private slots:
    void failureText_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("Japanese ending gets a dot") << "ファイル  は開けません"
                                                    << "ファイル  は開けません.";
        QTest::newRow("digit ending gets a dot") << "-1"
                                                 << "-1.";
        QTest::newRow("letter ending gets a dot") << "fzero"
                                                  << "fzero.";
        QTest::newRow("slash is above the dot") << "C:/"
                                                << "C:/.";
        QTest::newRow("character beyond 16 bits") << "𠮷"
                                                  << "𠮷.";
        QTest::newRow("dot ending unchanged") << "done."
                                              << "done.";
        QTest::newRow("blank ending unchanged") << "a "
                                                << "a ";
        QTest::newRow("double quote ending unchanged") << "say \"x\""
                                                       << "say \"x\"";
        QTest::newRow("apostrophe ending unchanged") << "'x'"
                                                     << "'x'";
        QTest::newRow("hyphen ending unchanged") << "a-"
                                                 << "a-";
        QTest::newRow("empty stays empty") << ""
                                           << "";
    }
    void failureText() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(kst::ui::FailureText(message), shown);
    }

    void realBoxes_data() {
        QTest::addColumn<bool>("failure");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("icon");
        QTest::newRow("information") << false << "fzero=-1" << int(QMessageBox::NoIcon);
        QTest::newRow("failure") << true << "fzero=-1." << int(QMessageBox::Critical);
    }
    void realBoxes() {
        QFETCH(bool, failure);
        QFETCH(QString, text);
        QFETCH(int, icon);

        const auto box = failure ? kst::ui::BuildFailureBox("fzero=-1")
                                 : kst::ui::BuildInformationBox("fzero=-1");
        QCOMPARE(box->windowTitle(), QString("Kestrune"));
        QCOMPARE(box->text(), text);
        QCOMPARE(int(box->icon()), icon);
        QCOMPARE(box->parentWidget(), nullptr);
        QCOMPARE(box->font(), QApplication::font("QMessageBox"));
        const QList<QAbstractButton*> buttons = box->buttons();
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(buttons.front()->text(), QString("OK"));
        QCOMPARE(box->defaultButton(), buttons.front());
        QCOMPARE(box->escapeButton(), buttons.front());
    }

    void keysCloseInformationBox_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Enter") << int(Qt::Key_Enter);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }
    void keysCloseInformationBox() {
        QFETCH(int, key);
        const auto box = kst::ui::BuildInformationBox("出力先フォルダを指定してください");
        box->open();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        QTest::keyClick(box.get(), Qt::Key(key));
        QTRY_VERIFY(!box->isVisible());
        QCOMPARE(box->clickedButton(), box->buttons().front());
    }

    void recorderTakesEveryBox() {
        BoxRecorder recorder;
        kst::ui::ShowInformation("mzero=-1");
        kst::ui::ShowFailure("'abc' は整数ではありません");
        QCOMPARE(recorder.boxes.size(), 2);
        QCOMPARE(recorder.boxes[0].kind, BoxKind::Information);
        QCOMPARE(recorder.boxes[0].text, QString("mzero=-1"));
        QCOMPARE(recorder.boxes[1].kind, BoxKind::Failure);
        QCOMPARE(recorder.boxes[1].text, QString("'abc' は整数ではありません."));
    }

    void notifyShowsEscapedFailure_data() {
        QTest::addColumn<std::function<void()>>("raise");
        QTest::addColumn<QString>("shown");
        QTest::newRow("job failure")
            << std::function<void()>([] { throw kst::JobError("ファイル /x は開けません"); })
            << "ファイル /x は開けません.";
        QTest::newRow("runtime error")
            << std::function<void()>([] { throw std::runtime_error("0 による浮動小数点数除算"); })
            << "0 による浮動小数点数除算.";
        QTest::newRow("out of memory")
            << std::function<void()>([] { throw std::bad_alloc(); }) << "メモリが足りません.";
    }
    void notifyShowsEscapedFailure() {
        QFETCH(std::function<void()>, raise);
        QFETCH(QString, shown);

        BoxRecorder recorder;
        Thrower thrower;
        thrower.raise = raise;
        QEvent sent(QEvent::User);
        QVERIFY(QCoreApplication::sendEvent(&thrower, &sent));
        // A posted event fails inside the event loop; dispatch goes on after the box.
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QCoreApplication::processEvents();

        QCOMPARE(recorder.boxes.size(), 2);
        for (const BoxRecorder::Box& box : recorder.boxes) {
            QCOMPARE(box.kind, BoxKind::Failure);
            QCOMPARE(box.text, shown);
        }
    }
};

KESTRUNE_GUI_TEST_MAIN(BoxesTest)
#include "tst_boxes.moc"
