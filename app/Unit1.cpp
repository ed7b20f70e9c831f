// SPDX-License-Identifier: MIT
#include "Unit1.h"

#include "FolderDialog.h"
#include "Gauge.h"
#include "LauncherEntry.h"
#include "MessageBoxes.h"
#include "RadioGroup.h"
#include "StatusBar.h"
#include "kestrune_version.h"
#include "trimjob.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTextCursor>

#include <exception>

bool abortflag = false;
TForm1* Form1 = nullptr;

namespace {

constexpr QSize kClientSize(379, 349);

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The design face first, then the Japanese gothic faces found on Linux.
QFont WindowFont() {
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP")});
    font.setPixelSize(12);
    font.setWeight(QFont::Normal);
    return font;
}

template <typename Widget> Widget* Place(Widget* widget, const char* name, const QRect& geometry) {
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* const label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setAccessibleDescription(label->objectName());
    return label;
}

// Fitted to its text, like a label whose size follows its caption.
QLabel* MakeFittedLabel(QWidget* parent, const char* name, const QString& text, const QPoint& at) {
    QLabel* const label = MakeLabel(parent, name, text);
    label->move(at);
    label->adjustSize();
    return label;
}

// Fixed size, one line, cut off at its right edge rather than wrapped.
QLabel* MakePathLabel(QWidget* parent) {
    QLabel* const label = MakeLabel(parent, "Label1", QString());
    label->setGeometry(8, 8, 281, 17);
    label->setAutoFillBackground(true);
    label->setBackgroundRole(QPalette::Light);
    label->setWordWrap(false);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

QPlainTextEdit* MakeLog(QWidget* parent) {
    auto* const memo = Place(new QPlainTextEdit(parent), "Memo1", QRect(8, 192, 361, 105));
    memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setTabChangesFocus(true);
    return memo;
}

QComboBox* MakeChunkSizeBox(QWidget* parent) {
    auto* const combo = Place(new QComboBox(parent), "ComboBox1", QRect(248, 144, 57, 20));
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    // Typed text is taken as typed, without completion from the list.
    combo->setCompleter(nullptr);
    combo->addItems({QStringLiteral("1"), QStringLiteral("5"), QStringLiteral("10")});
    combo->setCurrentIndex(-1);
    combo->setEditText(QStringLiteral("1"));
    return combo;
}

// A button, check box or one-line edit with its text.
template <typename Widget>
Widget* Make(QWidget* parent, const char* name, const QRect& geometry, const QString& text) {
    return Place(new Widget(text, parent), name, geometry);
}

// Files dropped anywhere on the window go to the window, as with a shell
// drop; the text fields would otherwise take the path as typed text.
void RefuseDrops(QWidget* widget) {
    widget->setAcceptDrops(false);
    for (QWidget* const child : widget->findChildren<QWidget*>()) {
        child->setAcceptDrops(false);
    }
}

// The first item of the drop that is a local file, as a native path.
QString FirstLocalFile(const QMimeData& data) {
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile()) {
            return QDir::toNativeSeparators(url.toLocalFile());
        }
    }
    return {};
}

// The drop is taken as a copy, never a move: the source must keep its file.
bool AcceptAsCopy(QDropEvent* event) {
    if (!(event->possibleActions() & Qt::CopyAction) ||
        FirstLocalFile(*event->mimeData()).isEmpty()) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

} // namespace

TForm1::TForm1(QWidget* parent)
    : QWidget(parent),
      taskbar_(std::make_unique<LauncherEntry>(QGuiApplication::desktopFileName())) {
    Form1 = this;
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Kestrune"));
    setWindowIcon(QIcon(QStringLiteral(":/kestrune/kestrune.png")));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kClientSize);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setFont(WindowFont());

    CreateControls();
    SetTabOrder();
    SetAccessibleTexts();
    Button1->setFocus();
    FormCreate();
}

TForm1::~TForm1() {
    if (Form1 == this) {
        Form1 = nullptr;
    }
}

// Creation order is stacking order: each control lies above the ones before.
void TForm1::CreateControls() {
    Label1 = MakePathLabel(this);
    Gauge1 = Place(new TGauge(this), "Gauge1", QRect(8, 168, 361, 17));
    Label3 = MakeFittedLabel(this, "Label3",
                             QStringLiteral("Ver " KESTRUNE_VERSION_STRING "  Kestrune project"),
                             QPoint(168, 304));
    Label4 = MakeFittedLabel(this, "Label4", QStringLiteral("バッファ(MB)"), QPoint(160, 144));
    Button1 = Make<QPushButton>(this, "Button1", QRect(296, 8, 75, 25), QStringLiteral("実行"));
    Memo1 = MakeLog(this);
    RadioGroup1 = new TRadioGroup(
        QStringLiteral("RadioGroup1"), QStringLiteral("出力先"),
        {QStringLiteral("読み込みファイルと同じ"), QStringLiteral("指定する")}, this);
    RadioGroup1->setGeometry(8, 40, 361, 73);
    RadioGroup1->SetItemIndex(0);
    Button2 = Make<QPushButton>(this, "Button2", QRect(280, 80, 75, 25), QStringLiteral("参照"));
    Edit1 = Make<QLineEdit>(this, "Edit1", QRect(88, 80, 185, 20), QString());
    StatusBar1 = Place(new TStatusBar(this), "StatusBar1", QRect(0, 326, 379, 23));
    CheckBox1 = Make<QCheckBox>(this, "CheckBox1", QRect(8, 120, 153, 17),
                                QStringLiteral("先頭の0データも削除する"));
    Edit2 = Make<QLineEdit>(this, "Edit2", QRect(256, 120, 49, 20), QStringLiteral("0"));
    Edit2->setEnabled(false);
    CheckBox2 =
        Make<QCheckBox>(this, "CheckBox2", QRect(176, 120, 73, 17), QStringLiteral("先頭0出力"));
    CheckBox2->setEnabled(false);
    CheckBox3 = Make<QCheckBox>(this, "CheckBox3", QRect(8, 144, 121, 17),
                                QStringLiteral("ゼロだけを調べる"));
    Button3 = Make<QPushButton>(this, "Button3", QRect(296, 8, 73, 25), QStringLiteral("中断"));
    Button3->hide();
    ComboBox1 = MakeChunkSizeBox(this);
    FolderDialog1 = new TFolderDialog(this);
    FolderDialog1->setObjectName(QStringLiteral("FolderDialog1"));
    FolderDialog1->SetTitle(QStringLiteral("フォルダーの選択"));

    for (QWidget* const field : {static_cast<QWidget*>(Memo1), static_cast<QWidget*>(Edit1),
                                 static_cast<QWidget*>(Edit2), static_cast<QWidget*>(ComboBox1)}) {
        RefuseDrops(field);
    }
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(CheckBox1, &QCheckBox::toggled, this, &TForm1::CheckBox1Click);
}

void TForm1::SetTabOrder() {
    const QList<QWidget*> order{Button1,
                                Memo1,
                                RadioGroup1->Item(0),
                                RadioGroup1->Item(1),
                                Button2,
                                Edit1,
                                CheckBox1,
                                Edit2,
                                CheckBox2,
                                CheckBox3,
                                Button3,
                                ComboBox1};
    for (qsizetype index = 1; index < order.size(); ++index) {
        QWidget::setTabOrder(order[index - 1], order[index]);
    }
}

// Fields without visible text of their own get a name; labels keep their
// text as their name and carry an id as description instead.
void TForm1::SetAccessibleTexts() {
    Edit1->setAccessibleName(QStringLiteral("出力先フォルダ"));
    Edit2->setAccessibleName(QStringLiteral("先頭0出力のバイト数"));
    // On Linux a combo box is announced by its text and its label relation.
    ComboBox1->setAccessibleName(QStringLiteral("バッファ(MB)"));
    ComboBox1->lineEdit()->setAccessibleName(ComboBox1->accessibleName());
    Label4->setBuddy(ComboBox1);
    Memo1->setAccessibleName(QStringLiteral("ログ"));
    Gauge1->setAccessibleDescription(Gauge1->objectName());
}

void TForm1::FormCreate() {
    setAcceptDrops(true);
}

bool TForm1::FormDropFiles(const QMimeData& data) {
    const QString path = FirstLocalFile(data);
    if (path.isEmpty()) {
        return false;
    }
    Label1->setText(path);
    return true;
}

void TForm1::Button1Click() {
    if (jobRunning_) {
        return;
    }
    jobRunning_ = true;
    kst::TaskbarJob taskbarJob(taskbar_);
    try {
        kst::RunTrimJob(*this);
    } catch (const std::exception& failure) {
        // Shown here, not left to escape to the application's notify: Qt's
        // event delivery runs no clean-up when a failure unwinds through it.
        taskbarJob.Failed();
        JobReturned();
        kst::ui::ShowFailure(failure);
        return;
    } catch (...) {
        JobReturned();
        throw;
    }
    JobReturned();
}

void TForm1::Button2Click() {
    if (FolderDialog1->Execute()) {
        Edit1->setText(FolderDialog1->FolderPath());
    }
}

void TForm1::Button3Click() {
    abortflag = true;
}

void TForm1::CheckBox1Click() {
    if (CheckBox1->isChecked()) {
        CheckBox2->setEnabled(true);
        Edit2->setEnabled(true);
    } else {
        CheckBox2->setChecked(false);
        CheckBox2->setEnabled(false);
        Edit2->setEnabled(false);
    }
}

// A close asked for during the job was put off until now.
void TForm1::JobReturned() {
    jobRunning_ = false;
    if (closeDeferred_) {
        closeDeferred_ = false;
        close();
    }
}

std::string TForm1::ReadField(kst::Field control) {
    switch (control) {
    case kst::Field::InputPath:
        return Label1->text().toStdString();
    case kst::Field::OutputFolder:
        return Edit1->text().toStdString();
    case kst::Field::PadText:
        return Edit2->text().toStdString();
    case kst::Field::ChunkText:
        return ComboBox1->currentText().toStdString();
    }
    return {};
}

bool TForm1::IsOn(kst::Option control) {
    switch (control) {
    case kst::Option::TrimLeading:
        return CheckBox1->isChecked();
    case kst::Option::WritePad:
        return CheckBox2->isChecked();
    case kst::Option::MeasureOnly:
        return CheckBox3->isChecked();
    }
    return false;
}

kst::OutputPlace TForm1::OutputChoice() {
    return RadioGroup1->ItemIndex() == 0 ? kst::OutputPlace::BesideInput
                                         : kst::OutputPlace::InFolder;
}

bool TForm1::AbortRequested() {
    return abortflag;
}

void TForm1::ClearAbortRequest() {
    abortflag = false;
}

void TForm1::ClearLog() {
    Memo1->clear();
}

void TForm1::AppendLog(std::string_view line) {
    QTextCursor cursor = Memo1->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(FromUtf8(line) + QLatin1Char('\n'));
    Memo1->setTextCursor(cursor);
    Memo1->ensureCursorVisible();
}

void TForm1::ShowFigure(kst::Figure figure, std::string_view text) {
    StatusBar1->SetPanelText(static_cast<int>(figure), FromUtf8(text));
}

void TForm1::SetGauge(int percent) {
    Gauge1->SetProgress(percent);
    taskbar_.GaugeMoved(percent);
}

void TForm1::ShowAbortButton(bool copying) {
    Button1->setVisible(!copying);
    Button3->setVisible(copying);
}

void TForm1::Inform(std::string_view text) {
    kst::ui::ShowInformation(FromUtf8(text));
}

void TForm1::Yield() {
    QCoreApplication::processEvents();
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!placed_) {
        placed_ = true;
        CentreOnDesktop();
    }
}

void TForm1::CentreOnDesktop() {
    const QScreen* const screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    QRect frame = frameGeometry();
    frame.moveCenter(screen->virtualGeometry().center());
    move(frame.topLeft());
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (jobRunning_) {
        closeDeferred_ = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    AcceptAsCopy(event);
}

void TForm1::dropEvent(QDropEvent* event) {
    if (AcceptAsCopy(event)) {
        FormDropFiles(*event->mimeData());
    }
}
