// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"

#include "Gauge.h"

#include <QImage>

#include <climits>

namespace {

constexpr QSize kGaugeSize(361, 17);
constexpr int kInsideWidth = 359;
constexpr int kTopInsideRow = 1; // above the text

QImage Render(int value) {
    TGauge gauge;
    gauge.resize(kGaugeSize);
    gauge.SetProgress(value);
    QImage image(kGaugeSize, QImage::Format_RGB32);
    image.fill(Qt::red);
    gauge.render(&image);
    return image;
}

bool IsBlack(QRgb pixel) {
    return qGray(pixel) < 64;
}

bool IsWhite(QRgb pixel) {
    return qGray(pixel) > 192;
}

// Pixels of the given kind inside the frame, between columns [from, to).
int Count(const QImage& image, int from, int to, bool (*kind)(QRgb)) {
    int count = 0;
    for (int y = 1; y < image.height() - 1; ++y) {
        for (int x = from; x < to; ++x) {
            count += kind(image.pixel(x, y)) ? 1 : 0;
        }
    }
    return count;
}

} // namespace

class GaugeTest : public QObject {
    Q_OBJECT

private slots:
    void clamping_data() {
        QTest::addColumn<int>("set");
        QTest::addColumn<int>("shown");
        QTest::newRow("lowest int") << INT_MIN << 0;
        QTest::newRow("below range") << -1 << 0;
        QTest::newRow("zero") << 0 << 0;
        QTest::newRow("inside") << 37 << 37;
        QTest::newRow("full") << 100 << 100;
        QTest::newRow("above range") << 101 << 100;
        QTest::newRow("highest int") << INT_MAX << 100;
    }
    void clamping() {
        QFETCH(int, set);
        QFETCH(int, shown);
        TGauge gauge;
        gauge.SetProgress(50);
        gauge.SetProgress(set);
        QCOMPARE(gauge.value(), shown);
        QCOMPARE(gauge.minimum(), 0);
        QCOMPARE(gauge.maximum(), 100);
    }

    void fill_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("fill");
        QTest::newRow("empty") << 0 << 0;
        QTest::newRow("1% truncated") << 1 << 3;
        QTest::newRow("half truncated") << 50 << 179;
        QTest::newRow("99% truncated") << 99 << 355;
        QTest::newRow("full covers the inside") << 100 << kInsideWidth;
    }
    void fill() {
        QFETCH(int, value);
        QFETCH(int, fill);
        const QImage image = Render(value);

        for (const QPoint corner : {QPoint(0, 0), QPoint(360, 0), QPoint(0, 16), QPoint(360, 16),
                                    QPoint(180, 0), QPoint(180, 16)}) {
            QVERIFY2(IsBlack(image.pixel(corner)), "frame");
        }
        for (int x = 1; x <= kInsideWidth; ++x) {
            const bool inFill = x <= fill;
            const QRgb pixel = image.pixel(x, kTopInsideRow);
            QVERIFY2(inFill ? IsBlack(pixel) : IsWhite(pixel), qPrintable(QString::number(x)));
        }
    }

    // Text is black over white and white over the black fill.
    void percentDrawnInverted() {
        const QImage empty = Render(0);
        const QImage half = Render(50);
        const QImage full = Render(100);
        const int boundary = 1 + TGauge::FillWidth(kInsideWidth, 50);

        QVERIFY(Count(empty, 1, 360, &IsBlack) > 0);
        QVERIFY(Count(full, 1, 360, &IsWhite) > 0);
        QVERIFY(Count(half, 1, boundary, &IsWhite) > 0);
        QVERIFY(Count(half, boundary, 360, &IsBlack) > 0);
        // Nothing but the text differs from the plain bar: the text is centred.
        QCOMPARE(Count(empty, 1, 140, &IsBlack), 0);
        QCOMPARE(Count(empty, 220, 360, &IsBlack), 0);
    }
};

KESTRUNE_GUI_TEST_MAIN(GaugeTest)
#include "tst_gauge.moc"
