// SPDX-License-Identifier: MIT
#pragma once

#include "jobhost.h"
#include "taskbarprogress.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMimeData;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class TFolderDialog;
class TGauge;
class TRadioGroup;
class TStatusBar;

// Set by Abort, cleared and polled by the copy phase of a running job.
extern bool abortflag;

class TForm1 : public QWidget, public kst::JobHost {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    QLabel* Label1;
    TGauge* Gauge1;
    QLabel* Label3;
    QLabel* Label4;
    QPushButton* Button1;
    QPlainTextEdit* Memo1;
    TRadioGroup* RadioGroup1;
    QPushButton* Button2;
    QLineEdit* Edit1;
    TStatusBar* StatusBar1;
    QCheckBox* CheckBox1;
    QLineEdit* Edit2;
    QCheckBox* CheckBox2;
    QCheckBox* CheckBox3;
    QPushButton* Button3;
    QComboBox* ComboBox1;
    TFolderDialog* FolderDialog1;

    bool JobRunning() const { return jobRunning_; }
    // The job's progress on the window's entry in the dock or task manager.
    kst::TaskbarProgress& Taskbar() { return taskbar_; }

    // kst::JobHost
    std::string ReadField(kst::Field control) override;
    bool IsOn(kst::Option control) override;
    kst::OutputPlace OutputChoice() override;
    bool AbortRequested() override;
    void ClearAbortRequest() override;
    void ClearLog() override;
    void AppendLog(std::string_view line) override;
    void ShowFigure(kst::Figure figure, std::string_view text) override;
    void SetGauge(int percent) override;
    void ShowAbortButton(bool copying) override;
    void Inform(std::string_view text) override;
    void Yield() override;

public slots:
    void FormCreate();
    // Takes the first local file of a drop into Label1; false when it holds none.
    bool FormDropFiles(const QMimeData& data);
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void CheckBox1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateControls();
    void SetTabOrder();
    void SetAccessibleTexts();
    void CentreOnDesktop();
    void JobReturned();

    kst::TaskbarProgress taskbar_;
    bool jobRunning_ = false;
    bool closeDeferred_ = false;
    bool placed_ = false;
};

// The main window, set as soon as its construction begins.
extern TForm1* Form1;
