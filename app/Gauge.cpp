// SPDX-License-Identifier: MIT
#include "Gauge.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr int kMinimum = 0;
constexpr int kMaximum = 100;

void DrawPercent(QPainter& painter, const QRect& inside, const QRect& clip, const QColor& colour,
                 const QString& text) {
    painter.save();
    painter.setClipRect(clip);
    painter.setPen(colour);
    painter.drawText(inside, Qt::AlignCenter, text);
    painter.restore();
}

} // namespace

TGauge::TGauge(QWidget* parent) : QProgressBar(parent) {
    setRange(kMinimum, kMaximum);
    setValue(kMinimum);
    setOrientation(Qt::Horizontal);
}

void TGauge::SetProgress(int percent) {
    setValue(std::clamp(percent, kMinimum, kMaximum));
}

int TGauge::FillWidth(int insideWidth, int percent) {
    const qint64 clamped = std::clamp(percent, kMinimum, kMaximum);
    return static_cast<int>(insideWidth * clamped / kMaximum);
}

void TGauge::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QRect outer = rect();
    const QRect inside = outer.adjusted(1, 1, -1, -1);
    const int fill = FillWidth(inside.width(), value());
    const QRect black(inside.left(), inside.top(), fill, inside.height());
    const QRect white(inside.left() + fill, inside.top(), inside.width() - fill, inside.height());

    painter.fillRect(outer, Qt::black);
    painter.fillRect(white, Qt::white);

    // The text is drawn twice, each pass clipped to one side of the fill edge,
    // so every glyph is the opposite colour of what lies beneath it.
    const QString text = QString::number(value()) + QLatin1Char('%');
    painter.setFont(font());
    DrawPercent(painter, inside, white, Qt::black, text);
    DrawPercent(painter, inside, black, Qt::white, text);
}
