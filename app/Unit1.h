// SPDX-License-Identifier: MIT
#pragma once

#include "FormEvents.h"
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
class TForm1 : public QWidget, public kst::form::FormView, public kst::form::FormEvents {
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

    QWidget* Widget(kst::form::Control control) const;

    KESTRUNE_FORM_VIEW_MEMBERS;

public slots:
    void FormCreate();
    // Takes the first local file of a drop into Label1; false when it holds none.
    bool FormDropFiles(const QMimeData& data);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateControls();
    QWidget* CreateControl(const kst::form::ControlRow& entry);
    void SetTabOrder();
    void SetAccessibleTexts();
    void CentreOnDesktop();

    std::array<QWidget*, kst::form::kControlCount> controls_{};
    bool placed_ = false;
};

// The main window, set as soon as its construction begins.
extern TForm1* Form1;
