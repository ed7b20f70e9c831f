// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"

#include "Gauge.h"
#include "StatusBar.h"
#include "Unit1.h"

#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPixmap>

#include <memory>

// Runs at QT_SCALE_FACTOR=2 (tests/gui/CMakeLists.txt): the window keeps its
// layout in logical pixels and is drawn with two device pixels to each.

namespace {

constexpr int kScale = 2;

QImage Grab(QWidget* widget) {
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// An image scaled up from logical pixels is made of uniform 2 x 2 blocks;
// text drawn at device resolution has edges inside the blocks.
bool DrawnAtDeviceResolution(const QImage& image) {
    for (int y = 0; y + 1 < image.height(); y += kScale) {
        for (int x = 0; x + 1 < image.width(); x += kScale) {
            const QRgb corner = image.pixel(x, y);
            if (image.pixel(x + 1, y) != corner || image.pixel(x, y + 1) != corner ||
                image.pixel(x + 1, y + 1) != corner) {
                return true;
            }
        }
    }
    return false;
}

// Compared premultiplied, as a pixmap holds them, and pixel by pixel: a
// file's colour space tag is no part of the picture.
bool SamePixels(const QImage& actual, const QImage& expected) {
    const QImage a = actual.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage b = expected.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (a.size() != b.size()) {
        return false;
    }
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                return false;
            }
        }
    }
    return true;
}

QImage IconImage(const QIcon& icon, qreal ratio) {
    return icon.pixmap(QSize(32, 32), ratio).toImage();
}

QImage Resource(const QString& name) {
    return QImage(QStringLiteral(":/kestrune/") + name);
}

} // namespace

class HiDpiTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TForm1> form_;

private slots:
    void init() {
        form_ = std::make_unique<TForm1>();
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }
    void cleanup() { form_.reset(); }

    void layoutInLogicalPixels() {
        QCOMPARE(form_->devicePixelRatio(), qreal(kScale));
        QCOMPARE(form_->size(), QSize(379, 349));
        QCOMPARE(form_->Gauge1->geometry(), QRect(8, 168, 361, 17));
        QCOMPARE(form_->StatusBar1->geometry(), QRect(0, 326, 379, 23));
        QCOMPARE(Grab(form_.get()).size(), QSize(379, 349) * kScale);
    }

    void drawnAtDeviceResolution_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("percent");
        QTest::newRow("gauge, text over white") << "Gauge1" << 0;
        QTest::newRow("gauge, text across the fill edge") << "Gauge1" << 50;
        QTest::newRow("gauge, text over the fill") << "Gauge1" << 100;
        QTest::newRow("status bar panel") << "StatusBar1.Panel1" << 0;
        QTest::newRow("label in the window font") << "Label4" << 0;
    }
    void drawnAtDeviceResolution() {
        QFETCH(QString, control);
        QFETCH(int, percent);
        form_->SetGauge(percent);
        form_->ShowFigure(kst::Figure::TailRun, "Tail 0=1,200,000");
        QWidget* const widget = form_->findChild<QWidget*>(control);
        QVERIFY(widget != nullptr);

        const QImage image = Grab(widget);
        QCOMPARE(image.size(), widget->size() * kScale);
        QVERIFY(DrawnAtDeviceResolution(image));
    }

    // Frame, fill and white inside meet on whole device pixels: a row above
    // the text holds only black and white.
    void gaugeFillEdgeIsSharp_data() {
        QTest::addColumn<int>("percent");
        QTest::newRow("empty") << 0;
        QTest::newRow("1%") << 1;
        QTest::newRow("half") << 50;
        QTest::newRow("99%") << 99;
        QTest::newRow("full") << 100;
    }
    void gaugeFillEdgeIsSharp() {
        QFETCH(int, percent);
        form_->SetGauge(percent);
        const QImage image = Grab(form_->Gauge1);
        const int inside = form_->Gauge1->width() - 2;
        const int fillEnd = kScale * (1 + TGauge::FillWidth(inside, percent));
        const int insideEnd = image.width() - kScale;
        const int row = kScale; // the inside's top row

        for (int x = 0; x < image.width(); ++x) {
            const bool black = x < fillEnd || x >= insideEnd;
            QVERIFY2(image.pixel(x, row) == (black ? qRgb(0, 0, 0) : qRgb(255, 255, 255)),
                     qPrintable(QString::number(x)));
        }
        for (int y = 0; y < kScale; ++y) {
            QCOMPARE(image.pixel(image.width() / 2, y), qRgb(0, 0, 0));
        }
    }

    // The 2x window icon is drawn for 64 pixels, not the 32-pixel image scaled up.
    void windowIconHasDevicePixels() {
        const QIcon icon = form_->windowIcon();
        QVERIFY(SamePixels(IconImage(icon, 1), Resource("kestrune.png")));
        const QImage doubled = IconImage(icon, kScale);
        QCOMPARE(doubled.size(), QSize(64, 64));
        QVERIFY(SamePixels(doubled, Resource("kestrune@2x.png")));
    }
};

KESTRUNE_GUI_TEST_MAIN(HiDpiTest)
#include "tst_hidpi.moc"
