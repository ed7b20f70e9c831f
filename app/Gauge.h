// SPDX-License-Identifier: MIT
#pragma once

#include <QProgressBar>

// Progress gauge drawn as a black bar on white with the percentage inverted
// over it. Kept a QProgressBar so assistive tools see a progress bar.
class TGauge : public QProgressBar {
    Q_OBJECT
public:
    explicit TGauge(QWidget* parent = nullptr);

    // QProgressBar drops out-of-range values; the gauge clamps them instead.
    void SetProgress(int percent);

    // Width in pixels of the black fill inside a frame of the given inside width.
    static int FillWidth(int insideWidth, int percent);

protected:
    void paintEvent(QPaintEvent* event) override;
};
