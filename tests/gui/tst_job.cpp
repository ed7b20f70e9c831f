// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"

#include "Gauge.h"
#include "StatusBar.h"
#include "Unit1.h"
#include "recordingtaskbar.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

namespace {

// Runs `action` once, at the first yield of the job about to start.
void DuringJob(std::function<void()> action) {
    QTimer::singleShot(0, qApp, std::move(action));
}

// Throws from its handler when it receives a posted User event.
class FailingReceiver : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) {
            throw std::runtime_error("nested failure");
        }
        return QObject::event(event);
    }
};

} // namespace

class JobTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TForm1> form_;
    std::unique_ptr<BoxRecorder> recorder_;
    std::unique_ptr<QTemporaryDir> dir_;

    QString Path(const QString& name) const { return NativePath(*dir_, name); }

    void Execute() { QTest::mouseClick(form_->Button1, Qt::LeftButton); }

    // Drops a file of non-zero bytes followed by `trailingZeros` zero bytes.
    void DropInput(const QString& name, qint64 size, qint64 trailingZeros) {
        QFile file(Path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray data(1 << 20, '\x5a');
        for (qint64 left = size - trailingZeros; left > 0; left -= data.size()) {
            file.write(data.constData(), std::min<qint64>(left, data.size()));
        }
        QVERIFY(file.resize(size)); // the tail reads as zeros
        QMimeData drop;
        drop.setUrls({QUrl::fromLocalFile(file.fileName())});
        QVERIFY(form_->FormDropFiles(drop));
    }

    void ExpectIdle() {
        QVERIFY(!form_->JobRunning());
        QVERIFY(form_->Button1->isVisible());
        QVERIFY(!form_->Button3->isVisible());
    }

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
        form_.reset();
        recorder_.reset();
        dir_.reset();
    }

    void executeWithNothingDropped() {
        form_->Memo1->setPlainText("old log");
        Execute();
        QCOMPARE(recorder_->boxes.size(), 1);
        QCOMPARE(recorder_->boxes[0].kind, kst::ui::BoxKind::Failure);
        QCOMPARE(recorder_->boxes[0].text, QString("ファイル  は開けません."));
        QCOMPARE(form_->Memo1->toPlainText(), QString());
        ExpectIdle();
        Execute(); // the failure left the button usable
        QCOMPARE(recorder_->boxes.size(), 2);
    }

    // During the job a drop is taken for the next job and a second Execute
    // starts nothing inside the running one.
    void measureOnly() {
        const QString input = Path("ディスク.img");
        DropInput("ディスク.img", 2'500'000, 1'200'000);
        form_->CheckBox3->setChecked(true);
        bool ranDuringJob = false;
        DuringJob([this, &ranDuringJob] {
            ranDuringJob = form_->JobRunning();
            QMimeData next;
            next.setUrls({QUrl::fromLocalFile(Path("next.img"))});
            form_->FormDropFiles(next);
            Execute();
        });
        Execute();

        QVERIFY(ranDuringJob);
        QVERIFY(recorder_->boxes.isEmpty());
        QCOMPARE(form_->StatusBar1->PanelText(0), QString());
        QCOMPARE(form_->StatusBar1->PanelText(1), QString("Tail 0=1,200,000"));
        QCOMPARE(form_->StatusBar1->PanelText(2), QString("Out Size=1,300,000"));
        QCOMPARE(form_->Memo1->toPlainText(),
                 input + "のサイズは 2500000\n末尾0データサイズの検出中\n");
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList({"ディスク.img"}));
        QCOMPARE(form_->Label1->text(), Path("next.img"));
        ExpectIdle();
    }

    // A failure in a handler run from the job's yield ends that handler only.
    void failureInsideYieldLetsJobGoOn() {
        DropInput("disk.img", 2'500'000, 1'200'000);
        form_->CheckBox3->setChecked(true);
        FailingReceiver failing;
        QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
        Execute();
        QCOMPARE(recorder_->boxes.size(), 1);
        QCOMPARE(recorder_->boxes[0].text, QString("nested failure."));
        QCOMPARE(form_->StatusBar1->PanelText(2), QString("Out Size=1,300,000"));
        ExpectIdle();
    }

    void closeDuringJobIsDeferred() {
        DropInput("disk.img", 2'500'000, 1'200'000);
        form_->CheckBox3->setChecked(true);
        bool closedAtOnce = true;
        bool shownDuringJob = false;
        DuringJob([this, &closedAtOnce, &shownDuringJob] {
            closedAtOnce = form_->close();
            shownDuringJob = form_->isVisible();
        });
        Execute();
        QVERIFY(!closedAtOnce);
        QVERIFY(shownDuringJob);
        QCOMPARE(form_->StatusBar1->PanelText(2), QString("Out Size=1,300,000"));
        QVERIFY(!form_->isVisible());
    }

    // The task-bar entry follows the job from 0 with the gauge's values; a
    // failure shows while its box is up; nothing is shown once the job returns.
    void taskbarFollowsJob_data() {
        QTest::addColumn<bool>("dropped");
        QTest::addColumn<bool>("measureOnly");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QStringList>("atBoxes");
        // 3 chunks scanned from the end, where the gauge counts down; the
        // copy's 2 chunks show 50 after the first.
        const QStringList scanned{"normal 0", "normal 100", "normal 66", "normal 33"};
        QTest::newRow("measured") << true << true << scanned + QStringList{"none"} << QStringList{};
        QTest::newRow("copied") << true << false << scanned + QStringList{"normal 50", "none"}
                                << QStringList{};
        QTest::newRow("failed") << false << false << QStringList{"normal 0", "error 0", "none"}
                                << QStringList{"error 0"};
    }
    void taskbarFollowsJob() {
        QFETCH(bool, dropped);
        QFETCH(bool, measureOnly);
        QFETCH(QStringList, sent);
        QFETCH(QStringList, atBoxes);
        std::vector<std::string> recorded;
        form_->Taskbar().SetButton(std::make_unique<RecordingTaskbar>(recorded));
        if (dropped) {
            DropInput("disk.img", 2'500'000, 1'200'000);
        }
        form_->CheckBox3->setChecked(measureOnly);
        QStringList shownAtBoxes;
        recorder_->onBox = [&](const BoxRecorder::Box&) {
            shownAtBoxes << QString::fromStdString(recorded.back());
        };
        Execute();
        QStringList shown;
        for (const std::string& entry : recorded) {
            shown << QString::fromStdString(entry);
        }
        QCOMPARE(shown, sent);
        QCOMPARE(shownAtBoxes, atBoxes);
    }

    void abortDuringCopy() {
        constexpr qint64 kKept = 30'000'000;
        DropInput("big.bin", kKept + 1, 1);
        int clicks = 0;
        QTimer presser;
        connect(&presser, &QTimer::timeout, this, [this, &clicks] {
            if (form_->Button3->isVisible() && clicks++ == 0) {
                QTest::mouseClick(form_->Button3, Qt::LeftButton);
            }
        });
        presser.start(0);
        Execute();
        presser.stop();

        QVERIFY(clicks > 0);
        QVERIFY(recorder_->boxes.isEmpty());
        QVERIFY(form_->Memo1->toPlainText().endsWith("中断しました\n"));
        ExpectIdle();
        const qint64 written = QFileInfo(OutputBeside(Path("big.bin"))).size();
        QVERIFY2(written > 0 && written < kKept && written % 1'000'000 == 0,
                 qPrintable(QString::number(written)));
    }
};

KESTRUNE_GUI_TEST_MAIN(JobTest)
#include "tst_job.moc"
