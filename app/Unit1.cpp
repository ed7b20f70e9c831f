// SPDX-License-Identifier: MIT
#include "Unit1.h"

#include "FolderDialog.h"
#include "Gauge.h"
#include "LauncherEntry.h"
#include "MessageBoxes.h"
#include "RadioGroup.h"
#include "StatusBar.h"

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
#include <QUrl>

TForm1* Form1 = nullptr;

namespace {

using kst::form::Control;
using kst::form::ControlRow;
using kst::form::Kind;

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QStringList ItemsOf(const ControlRow& entry) {
    QStringList items;
    for (const std::string_view item : entry.items) {
        items.append(FromUtf8(item));
    }
    return items;
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

// A label fitted to its text, or the path label: fixed size, one line, cut
// off at its right edge rather than wrapped.
QLabel* MakeLabel(QWidget* parent, const ControlRow& entry) {
    auto* const label = new QLabel(FromUtf8(entry.text), parent);
    label->setTextFormat(Qt::PlainText);
    if (!entry.fitsText) {
        label->setAutoFillBackground(true);
        label->setBackgroundRole(QPalette::Light);
        label->setWordWrap(false);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return label;
}

QPlainTextEdit* MakeLog(QWidget* parent) {
    auto* const memo = new QPlainTextEdit(parent);
    memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setTabChangesFocus(true);
    return memo;
}

QComboBox* MakeChunkSizeBox(QWidget* parent, const ControlRow& entry) {
    auto* const combo = new QComboBox(parent);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    // Typed text is taken as typed, without completion from the list.
    combo->setCompleter(nullptr);
    combo->addItems(ItemsOf(entry));
    combo->setCurrentIndex(entry.selected);
    combo->setEditText(FromUtf8(entry.text));
    return combo;
}

TRadioGroup* MakeRadioGroup(QWidget* parent, const ControlRow& entry) {
    auto* const group =
        new TRadioGroup(FromUtf8(entry.name), FromUtf8(entry.text), ItemsOf(entry), parent);
    group->SetItemIndex(entry.selected);
    return group;
}

QWidget* MakeWidget(QWidget* parent, const ControlRow& entry) {
    switch (entry.kind) {
    case Kind::Label:
        return MakeLabel(parent, entry);
    case Kind::Gauge:
        return new TGauge(parent);
    case Kind::Button:
        return new QPushButton(FromUtf8(entry.text), parent);
    case Kind::Memo:
        return MakeLog(parent);
    case Kind::RadioGroup:
        return MakeRadioGroup(parent, entry);
    case Kind::Edit:
        return new QLineEdit(FromUtf8(entry.text), parent);
    case Kind::StatusBar:
        return new TStatusBar(parent);
    case Kind::CheckBox:
        return new QCheckBox(FromUtf8(entry.text), parent);
    case Kind::ComboBox:
        return MakeChunkSizeBox(parent, entry);
    }
    return nullptr;
}

// Where the table puts the control, in the state it starts in. Labels and
// the gauge have no text of their own for screen readers beyond what they
// show: they carry their name as description.
void Place(QWidget* widget, const ControlRow& entry) {
    widget->setObjectName(FromUtf8(entry.name));
    widget->move(entry.rect.left, entry.rect.top);
    if (entry.fitsText) {
        widget->adjustSize();
    } else {
        widget->resize(entry.rect.width, entry.rect.height);
    }
    if (!entry.shown) {
        widget->hide();
    }
    widget->setEnabled(entry.enabled);
    if (!entry.readerName.empty()) {
        widget->setAccessibleName(FromUtf8(entry.readerName));
    }
    if (entry.kind == Kind::Label || entry.kind == Kind::Gauge) {
        widget->setAccessibleDescription(widget->objectName());
    }
}

template <typename Widget> Widget* As(QWidget* widget) {
    return static_cast<Widget*>(widget);
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

TForm1::TForm1(QWidget* parent) : QWidget(parent), FormEvents(*this, kst::form::TrimJob()) {
    Form1 = this;
    Taskbar().SetButton(std::make_unique<LauncherEntry>(QGuiApplication::desktopFileName()));
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(FromUtf8(kst::form::kCaption));
    setWindowIcon(QIcon(QStringLiteral(":/kestrune/kestrune.png")));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kst::form::kClientWidth, kst::form::kClientHeight);
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
    for (const ControlRow& entry : kst::form::Controls()) {
        QWidget* const widget = MakeWidget(this, entry);
        Place(widget, entry);
        controls_[static_cast<std::size_t>(entry.control)] = widget;
    }
    Label1 = As<QLabel>(Widget(Control::Label1));
    Gauge1 = As<TGauge>(Widget(Control::Gauge1));
    Label3 = As<QLabel>(Widget(Control::Label3));
    Label4 = As<QLabel>(Widget(Control::Label4));
    Button1 = As<QPushButton>(Widget(Control::Button1));
    Memo1 = As<QPlainTextEdit>(Widget(Control::Memo1));
    RadioGroup1 = As<TRadioGroup>(Widget(Control::RadioGroup1));
    Button2 = As<QPushButton>(Widget(Control::Button2));
    Edit1 = As<QLineEdit>(Widget(Control::Edit1));
    StatusBar1 = As<TStatusBar>(Widget(Control::StatusBar1));
    CheckBox1 = As<QCheckBox>(Widget(Control::CheckBox1));
    Edit2 = As<QLineEdit>(Widget(Control::Edit2));
    CheckBox2 = As<QCheckBox>(Widget(Control::CheckBox2));
    CheckBox3 = As<QCheckBox>(Widget(Control::CheckBox3));
    Button3 = As<QPushButton>(Widget(Control::Button3));
    ComboBox1 = As<QComboBox>(Widget(Control::ComboBox1));
    FolderDialog1 = new TFolderDialog(this);
    FolderDialog1->setObjectName(QStringLiteral("FolderDialog1"));
    FolderDialog1->SetTitle(FromUtf8(kst::form::kFolderDialogTitle));

    for (QWidget* const field : {static_cast<QWidget*>(Memo1), static_cast<QWidget*>(Edit1),
                                 static_cast<QWidget*>(Edit2), static_cast<QWidget*>(ComboBox1)}) {
        RefuseDrops(field);
    }
    // A failed job's box is shown by the controller rather than left to the
    // application's notify: Qt's event delivery runs no clean-up when a
    // failure unwinds through it.
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { CheckBox1Click(); });
}

QWidget* TForm1::Widget(Control control) const {
    return controls_[static_cast<std::size_t>(control)];
}

// The radio group is reached at its items.
void TForm1::SetTabOrder() {
    QList<QWidget*> order;
    for (const Control control : kst::form::TabOrder()) {
        if (control == Control::RadioGroup1) {
            for (int item = 0; item < RadioGroup1->Count(); ++item) {
                order.append(RadioGroup1->Item(item));
            }
        } else {
            order.append(Widget(control));
        }
    }
    for (qsizetype index = 1; index < order.size(); ++index) {
        QWidget::setTabOrder(order[index - 1], order[index]);
    }
}

// On Linux a combo box is announced by its text and its label relation.
void TForm1::SetAccessibleTexts() {
    ComboBox1->lineEdit()->setAccessibleName(ComboBox1->accessibleName());
    Label4->setBuddy(ComboBox1);
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

std::string TForm1::Text(Control control) {
    const QWidget* const widget = Widget(control);
    if (const auto* const label = qobject_cast<const QLabel*>(widget)) {
        return label->text().toStdString();
    }
    if (const auto* const edit = qobject_cast<const QLineEdit*>(widget)) {
        return edit->text().toStdString();
    }
    if (const auto* const combo = qobject_cast<const QComboBox*>(widget)) {
        return combo->currentText().toStdString();
    }
    return {};
}

void TForm1::SetText(Control control, std::string_view text) {
    if (auto* const edit = qobject_cast<QLineEdit*>(Widget(control))) {
        edit->setText(FromUtf8(text));
    }
}

bool TForm1::Ticked(Control checkBox) {
    return As<QCheckBox>(Widget(checkBox))->isChecked();
}

void TForm1::SetTicked(Control checkBox, bool ticked) {
    As<QCheckBox>(Widget(checkBox))->setChecked(ticked);
}

void TForm1::SetEnabled(Control control, bool enabled) {
    Widget(control)->setEnabled(enabled);
}

void TForm1::ShowInstead(Control shown, Control hidden) {
    Widget(shown)->setVisible(true);
    Widget(hidden)->setVisible(false);
}

int TForm1::ItemIndex(Control group) {
    return As<TRadioGroup>(Widget(group))->ItemIndex();
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
}

void TForm1::Inform(std::string_view text) {
    kst::ui::ShowInformation(FromUtf8(text));
}

void TForm1::ShowFailure(const std::exception& failure) {
    kst::ui::ShowFailure(failure);
}

void TForm1::Yield() {
    QCoreApplication::processEvents();
}

std::optional<std::string> TForm1::ChooseFolder() {
    if (!FolderDialog1->Execute()) {
        return std::nullopt;
    }
    return FolderDialog1->FolderPath().toStdString();
}

void TForm1::CloseWindow() {
    close();
}

void TForm1::EndMessageLoop(int code) {
    QCoreApplication::exit(code);
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
    if (!controller_.CloseRequested()) {
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
