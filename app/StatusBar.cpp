// SPDX-License-Identifier: MIT
#include "StatusBar.h"

#include <QApplication>
#include <QLabel>
#include <QResizeEvent>

namespace {

constexpr std::array<int, TStatusBar::kPanelCount> kDeclaredWidths{100, 100, 150};
constexpr int kTopBorder = 2;
constexpr int kTextIndent = 2;

// The status-bar font with every property marked as set, so that the
// window's own font is not inherited over it.
QFont StatusBarFont() {
    QFont font = QApplication::font("QStatusBar");
    font.setResolveMask(QFont::AllPropertiesResolved);
    return font;
}

} // namespace

void TStatusPanel::SetWholeText(const QString& text) {
    whole_ = text;
    setAccessibleName(text);
    Fit();
}

void TStatusPanel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    Fit();
}

void TStatusPanel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        Fit();
    }
}

void TStatusPanel::Fit() {
    const int room = contentsRect().width() - indent();
    const QString shown = fontMetrics().elidedText(whole_, Qt::ElideRight, room);
    setText(shown);
    setToolTip(shown == whole_ ? QString() : whole_);
}

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(false);
    setFont(StatusBarFont());
    for (int index = 0; index < kPanelCount; ++index) {
        auto* const panel = new TStatusPanel(this);
        panel->setObjectName(QStringLiteral("StatusBar1.Panel%1").arg(index));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setTextFormat(Qt::PlainText);
        panel->setWordWrap(false);
        panel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        panel->setIndent(kTextIndent);
        panel->setAccessibleDescription(panel->objectName());
        panels_[static_cast<std::size_t>(index)] = panel;
    }
}

QString TStatusBar::PanelText(int index) const {
    return Panel(index)->WholeText();
}

void TStatusBar::SetPanelText(int index, const QString& text) {
    Panel(index)->SetWholeText(text);
}

TStatusPanel* TStatusBar::Panel(int index) const {
    return panels_.at(static_cast<std::size_t>(index));
}

QRect TStatusBar::PanelRect(int index, const QSize& barSize) {
    int left = 0;
    for (int before = 0; before < index; ++before) {
        left += kDeclaredWidths.at(static_cast<std::size_t>(before));
    }
    const bool last = index == kPanelCount - 1;
    const int width =
        last ? barSize.width() - left : kDeclaredWidths.at(static_cast<std::size_t>(index));
    return {left, kTopBorder, width, barSize.height() - kTopBorder};
}

void TStatusBar::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    for (int index = 0; index < kPanelCount; ++index) {
        Panel(index)->setGeometry(PanelRect(index, event->size()));
    }
}
