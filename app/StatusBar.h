// SPDX-License-Identifier: MIT
#pragma once

#include <QStatusBar>

#include <array>

class QLabel;

// Status bar of three fixed text panels in sunken frames; the last panel
// runs to the right end of the bar.
class TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    static constexpr int kPanelCount = 3;

    explicit TStatusBar(QWidget* parent);

    QString PanelText(int index) const;
    void SetPanelText(int index, const QString& text);
    QLabel* Panel(int index) const;

    // Panel's rectangle in a bar of the given size.
    static QRect PanelRect(int index, const QSize& barSize);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::array<QLabel*, kPanelCount> panels_{};
};
