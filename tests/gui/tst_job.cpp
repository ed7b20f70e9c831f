// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"

#include "Gauge.h"
#include "StatusBar.h"
#include "Unit1.h"

#include <QCheckBox>
#include <QComboBox>
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

namespace {

using kst::ui::BoxKind;

// A file of `size` bytes: non-zero bytes first, then `trailingZeros` zero bytes.
void WriteInput(const QString& path, qint64 size, qint64 trailingZeros) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    constexpr qint64 kBlock = 1 << 20;
    const QByteArray data(kBlock, '\x5a');
    const QByteArray zeros(kBlock, '\0');
    for (qint64 at = 0; at < size;) {
        const qint64 dataLeft = size - trailingZeros - at;
        const QByteArray& source = dataLeft > 0 ? data : zeros;
        const qint64 n = std::min(kBlock, dataLeft > 0 ? dataLeft : size - at);
        QCOMPARE(file.write(source.constData(), n), n);
        at += n;
    }
}

void Drop(TForm1& form, const QString& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QVERIFY(form.FormDropFiles(data));
}

QStringList PanelTexts(const TForm1& form) {
    QStringList texts;
    for (int index = 0; index < TStatusBar::kPanelCount; ++index) {
        texts.append(form.StatusBar1->PanelText(index));
    }
    return texts;
}

// Runs `action` once, at the first yield of the job about to start.
void DuringJob(std::function<void()> action) {
    QTimer::singleShot(0, qApp, std::move(action));
}

} // namespace

class JobTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TForm1> form_;
    std::unique_ptr<BoxRecorder> recorder_;
    std::unique_ptr<QTemporaryDir> dir_;

    QString Path(const QString& name) const { return dir_->filePath(name); }

    void Execute() { QTest::mouseClick(form_->Button1, Qt::LeftButton); }

    void ExpectIdle() {
        QVERIFY(!form_->JobRunning());
        QVERIFY(form_->Button1->isVisible());
        QVERIFY(form_->Button1->isEnabled());
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
        QCOMPARE(recorder_->boxes[0].kind, BoxKind::Failure);
        QCOMPARE(recorder_->boxes[0].text, QString("ファイル  は開けません."));
        QCOMPARE(form_->Memo1->toPlainText(), QString());
        ExpectIdle();
        // The failure left the button usable.
        Execute();
        QCOMPARE(recorder_->boxes.size(), 2);
    }

    void measureOnly() {
        const QString input = Path("disk.img");
        WriteInput(input, 2'500'000, 1'200'000);
        Drop(*form_, input);
        form_->CheckBox3->setChecked(true);
        Execute();

        QVERIFY(recorder_->boxes.isEmpty());
        QCOMPARE(PanelTexts(*form_), QStringList({"", "Tail 0=1,200,000", "Out Size=1,300,000"}));
        QCOMPARE(form_->Memo1->toPlainText(),
                 QDir::toNativeSeparators(input) +
                     "のサイズは 2500000\n末尾0データサイズの検出中\n");
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList({"disk.img"}));
        ExpectIdle();
    }

    // A drop and a second Execute during a job: the drop is taken for the
    // next job, the press starts no job inside the running one.
    void controlsDuringJob() {
        const QString input = Path("first.img");
        WriteInput(input, 2'500'000, 1'200'000);
        Drop(*form_, input);
        form_->CheckBox3->setChecked(true);
        bool ran = false;
        DuringJob([this, &ran] {
            ran = form_->JobRunning();
            Drop(*form_, Path("second.img"));
            Execute();
        });
        Execute();

        QVERIFY(ran);
        QVERIFY(recorder_->boxes.isEmpty());
        QCOMPARE(form_->Label1->text(), QDir::toNativeSeparators(Path("second.img")));
        QVERIFY(form_->Memo1->toPlainText().startsWith(QDir::toNativeSeparators(input)));
        QCOMPARE(form_->StatusBar1->PanelText(2), QString("Out Size=1,300,000"));
    }

    // A failure in a handler run from the job's yield ends that handler only.
    void failureInsideYieldLetsJobGoOn() {
        const QString input = Path("disk.img");
        WriteInput(input, 2'500'000, 1'200'000);
        Drop(*form_, input);
        form_->CheckBox3->setChecked(true);
        class Failing : public QObject {
        public:
            bool event(QEvent* event) override {
                if (event->type() == QEvent::User) {
                    throw std::runtime_error("nested failure");
                }
                return QObject::event(event);
            }
        } failing;
        QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
        Execute();

        QCOMPARE(recorder_->boxes.size(), 1);
        QCOMPARE(recorder_->boxes[0].text, QString("nested failure."));
        QCOMPARE(form_->StatusBar1->PanelText(2), QString("Out Size=1,300,000"));
        ExpectIdle();
    }

    void closeDuringJobIsDeferred() {
        const QString input = Path("disk.img");
        WriteInput(input, 2'500'000, 1'200'000);
        Drop(*form_, input);
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

    void closeWhenIdleIsImmediate() {
        QVERIFY(form_->close());
        QVERIFY(!form_->isVisible());
    }

    void abortDuringCopy() {
        constexpr qint64 kKept = 30'000'000;
        const QString input = Path("big.bin");
        WriteInput(input, kKept + 1, 1);
        Drop(*form_, input);
        QCOMPARE(form_->ComboBox1->currentText(), QString("1"));
        int clicks = 0;
        QTimer presser;
        connect(&presser, &QTimer::timeout, this, [this, &clicks] {
            if (form_->Button3->isVisible() && clicks == 0) {
                ++clicks;
                QTest::mouseClick(form_->Button3, Qt::LeftButton);
            }
        });
        presser.start(0);
        Execute();
        presser.stop();

        QCOMPARE(clicks, 1);
        QVERIFY(recorder_->boxes.isEmpty());
        QVERIFY(form_->Memo1->toPlainText().endsWith("中断しました\n"));
        ExpectIdle();
        const qint64 written = QFileInfo(Path("big(KST).bin")).size();
        QVERIFY2(written > 0 && written < kKept && written % 1'000'000 == 0,
                 qPrintable(QString::number(written)));
        QVERIFY(form_->Gauge1->value() < 100);
    }
};

KESTRUNE_GUI_TEST_MAIN(JobTest)
#include "tst_job.moc"
