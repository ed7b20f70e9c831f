// SPDX-License-Identifier: MIT
#pragma once

#include <QStatusBar>

#include <array>

#include <QLabel>

// One panel: shows its text on one line, elided with "…" when it does not
// fit, so a figure is never silently cut; the whole text stays its
// tooltip and its accessible name.
class TStatusPanel : public QLabel {
public:
    explicit TStatusPanel(QWidget* parent) : QLabel(parent) {}

    QString WholeText() const { return whole_; }
    void SetWholeText(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Fit();

    QString whole_;
};

// Status bar of three fixed text panels in sunken frames; the last panel
// runs to the right end of the bar.
class TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    static constexpr int kPanelCount = 3;

    explicit TStatusBar(QWidget* parent);

    // The whole text, as set; the panel may show it elided.
    QString PanelText(int index) const;
    void SetPanelText(int index, const QString& text);
    TStatusPanel* Panel(int index) const;

    // Panel's rectangle in a bar of the given size.
    static QRect PanelRect(int index, const QSize& barSize);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::array<TStatusPanel*, kPanelCount> panels_{};
};
