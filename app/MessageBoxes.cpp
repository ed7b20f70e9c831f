// SPDX-License-Identifier: MIT
#include "MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "joberror.h"

namespace kst::ui {
namespace {

const QString kCaption = QStringLiteral("Kestrune");

BoxInterceptor& Interceptor() {
    static BoxInterceptor interceptor;
    return interceptor;
}

// Parentless, so Qt centres the box on the screen; exec() makes it
// application modal, which disables every other window meanwhile.
std::unique_ptr<QMessageBox> BuildBox(QMessageBox::Icon icon, const QString& text) {
    auto box = std::make_unique<QMessageBox>();
    box->setWindowTitle(kCaption);
    box->setIcon(icon);
    box->setText(text);
    box->setTextFormat(Qt::PlainText);
    box->setFont(QApplication::font("QMessageBox"));
    QPushButton* const ok = box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box->setDefaultButton(ok);
    box->setEscapeButton(ok);
    return box;
}

void Show(BoxKind kind, const QString& text, std::unique_ptr<QMessageBox> (*build)(const QString&),
          const QString& buildArgument) {
    if (Interceptor()) {
        Interceptor()(kind, text);
        return;
    }
    build(buildArgument)->exec();
}

} // namespace

void SetBoxInterceptor(BoxInterceptor interceptor) {
    Interceptor() = std::move(interceptor);
}

QString FailureText(const QString& message) {
    return QString::fromStdString(FailureBoxText(message.toStdString()));
}

std::unique_ptr<QMessageBox> BuildInformationBox(const QString& text) {
    return BuildBox(QMessageBox::NoIcon, text);
}

std::unique_ptr<QMessageBox> BuildFailureBox(const QString& message) {
    return BuildBox(QMessageBox::Critical, FailureText(message));
}

void ShowInformation(const QString& text) {
    Show(BoxKind::Information, text, &BuildInformationBox, text);
}

void ShowFailure(const QString& message) {
    Show(BoxKind::Failure, FailureText(message), &BuildFailureBox, message);
}

void ShowFailure(const std::exception& failure) {
    ShowFailure(QString::fromStdString(FailureMessage(failure)));
}

} // namespace kst::ui
