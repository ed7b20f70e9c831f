// SPDX-License-Identifier: MIT
#pragma once

#include "FormController.h"
#include "FormView.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMimeData;
class QPlainTextEdit;
class QPushButton;
class TFolderDialog;
class TGauge;
class TRadioGroup;
class TStatusBar;

// The main window in Qt: its controls come from kst::form's table and its
// events go to kst::form::FormController.
class TForm1 : public QWidget, public kst::form::FormView {
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

    bool JobRunning() const { return controller_.JobRunning(); }
    // The window as the job sees it.
    kst::form::FormController& Controller() { return controller_; }
    // The job's progress on the window's entry in the dock or task manager.
    kst::TaskbarProgress& Taskbar() { return controller_.Taskbar(); }
    QWidget* Widget(kst::form::Control control) const;

    // kst::form::FormView
    std::string Text(kst::form::Control control) override;
    void SetText(kst::form::Control control, std::string_view text) override;
    bool Ticked(kst::form::Control checkBox) override;
    void SetTicked(kst::form::Control checkBox, bool ticked) override;
    void SetEnabled(kst::form::Control control, bool enabled) override;
    void ShowInstead(kst::form::Control shown, kst::form::Control hidden) override;
    int ItemIndex(kst::form::Control group) override;
    void ClearLog() override;
    void AppendLog(std::string_view line) override;
    void ShowFigure(kst::Figure figure, std::string_view text) override;
    void SetGauge(int percent) override;
    void Inform(std::string_view text) override;
    void ShowFailure(const std::exception& failure) override;
    void Yield() override;
    std::optional<std::string> ChooseFolder() override;
    void CloseWindow() override;
    void EndMessageLoop(int code) override;

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
    QWidget* CreateControl(const kst::form::ControlSpec& spec);
    void SetTabOrder();
    void SetAccessibleTexts();
    void CentreOnDesktop();

    kst::form::FormController controller_;
    std::array<QWidget*, kst::form::kControlCount> controls_{};
    bool placed_ = false;
};

// The main window, set as soon as its construction begins.
extern TForm1* Form1;
