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

void Row(const char* name, const QString& message, const QString& shown) {
    QTest::newRow(name) << message << shown;
}

} // namespace

Q_DECLARE_METATYPE(std::function<void()>)

class BoxesTest : public QObject {
    Q_OBJECT

private slots:
    void failureText_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        Row("Japanese ending gets a dot", "ファイル  は開けません", "ファイル  は開けません.");
        Row("digit ending gets a dot", "-1", "-1.");
        Row("slash is above the dot", "C:/", "C:/.");
        Row("character beyond 16 bits", "𠮷", "𠮷.");
        Row("dot ending unchanged", "done.", "done.");
        Row("blank ending unchanged", "a ", "a ");
        Row("double quote ending unchanged", "say \"x\"", "say \"x\"");
        Row("apostrophe ending unchanged", "'x'", "'x'");
        Row("empty stays empty", "", "");
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
        QCOMPARE(box->parentWidget(), nullptr); // centred on the screen
        QCOMPARE(box->font(), QApplication::font("QMessageBox"));
        QCOMPARE(box->buttons().size(), 1);
        QCOMPARE(box->buttons().front()->text(), QString("OK"));
        QCOMPARE(box->defaultButton(), box->buttons().front());
        QCOMPARE(box->escapeButton(), box->buttons().front());
    }

    void notifyShowsEscapedFailure_data() {
        QTest::addColumn<std::function<void()>>("raise");
        QTest::addColumn<QString>("shown");
        QTest::newRow("job failure") << std::function<void()>([] {
            throw kst::JobError(kst::ErrorKind::OpenFailed, "ファイル /x は開けません");
        }) << "ファイル /x は開けません.";
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
            QCOMPARE(box.kind, kst::ui::BoxKind::Failure);
            QCOMPARE(box.text, shown);
        }
    }
};

KESTRUNE_GUI_TEST_MAIN(BoxesTest)
#include "tst_boxes.moc"
