// The lamp's rules: the four colours and nothing else, the shared bitmaps, repaints, bright flag and
// the extinguish time-out on a stepped tick count; the fine bitmaps on high-DPI screens.
#include <QTest>

#include "TLEDImage.h"

using namespace kaldo;

namespace {

// Counts the paints a lamp receives.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

std::uint32_t fakeTicks = 0;

}  // namespace

class LedImageTest : public QObject {
    Q_OBJECT

    QWidget* host = nullptr;

    TLEDImage* shownLamp(PaintCounter& counter) {
        auto* lamp = new TLEDImage(host);
        lamp->show();
        QCoreApplication::processEvents();  // the first paint of a new widget is not counted
        lamp->installEventFilter(&counter);
        return lamp;
    }

private slots:
    void init() {
        host = new QWidget;
        host->resize(100, 100);
        host->show();
        QVERIFY(QTest::qWaitForWindowExposed(host));
        fakeTicks = 1000;
        TLEDImage::tickSource = [] { return fakeTicks; };
    }
    void cleanup() { delete host; }

    void defaultsAndEmptyPicture() {
        TLEDImage lamp(host);
        QCOMPARE(lamp.Color(), clGray);
        QCOMPARE(lamp.OnColor(), clRed);
        QCOMPARE(lamp.OffColor(), clGray);
        QVERIFY(!lamp.LEDOn());
        QVERIFY(!lamp.Brightness());
        QCOMPARE(lamp.ExtinguishTimeout, 0);
        QCOMPARE(lamp.size(), QSize(13, 13));
        // created in code the lamp shows nothing, until a colour is set, even gray, its own colour
        QVERIFY(lamp.picture().isNull());
        lamp.SetColor(clGray);
        QCOMPARE(lamp.picture().cacheKey(), TLEDImage::LedGray->cacheKey());
    }

    void coloursOutsideTheFourAreIgnored() {
        TLEDImage lamp(host);
        lamp.SetColor(clYellow);
        const qint64 shown = lamp.picture().cacheKey();
        for (TColor other : {TColor{0x800000}, TColor{0x000080}, TColor{0xFFFFFF}, TColor{0x00FF00}}) {
            lamp.SetColor(other);
            lamp.SetOnColor(other);
            lamp.SetOffColor(other);
            QCOMPARE(lamp.Color(), clYellow);
            QCOMPARE(lamp.OnColor(), clRed);
            QCOMPARE(lamp.OffColor(), clGray);
            QCOMPARE(lamp.picture().cacheKey(), shown);
        }
        lamp.SetOnColor(clGreen);
        lamp.SetOffColor(clYellow);
        QCOMPARE(lamp.OnColor(), clGreen);
        QCOMPARE(lamp.OffColor(), clYellow);
        QCOMPARE(lamp.Color(), clYellow);  // storing the on and off colours shows nothing new
    }

    void repaintsOnlyOnChange() {
        PaintCounter counter;
        TLEDImage* lamp = shownLamp(counter);
        lamp->TurnOn(false);  // empty picture: shows gray
        QCOMPARE(counter.paints, 1);
        lamp->TurnOn(false);  // already off: nothing to repaint
        QCOMPARE(counter.paints, 1);
        lamp->TurnOn(true);
        QCOMPARE(counter.paints, 2);  // painted at once, not deferred
        QCOMPARE(lamp->picture().cacheKey(), TLEDImage::LedRed->cacheKey());
        lamp->MakeBright(false);  // repaints in every case
        QCOMPARE(counter.paints, 3);
    }

    void brightFlag() {
        PaintCounter counter;
        TLEDImage* lamp = shownLamp(counter);
        lamp->MakeBright(true);  // gray: flag set, picture kept, repainted
        QVERIFY(lamp->Brightness());
        QVERIFY(lamp->picture().isNull());
        QCOMPARE(counter.paints, 1);
        lamp->TurnOn(true);  // shows the normal version although the flag is up
        QCOMPARE(lamp->picture().cacheKey(), TLEDImage::LedRed->cacheKey());
        lamp->MakeBright(true);
        QCOMPARE(lamp->picture().cacheKey(), TLEDImage::LedBrightRed->cacheKey());
        lamp->SetOnColor(clGreen);
        lamp->TurnOn(true);
        QCOMPARE(lamp->picture().cacheKey(), TLEDImage::LedGreen->cacheKey());
        lamp->MakeBright(true);
        QCOMPARE(lamp->picture().cacheKey(), TLEDImage::LedBrightGreen->cacheKey());
        lamp->MakeBright(false);
        QCOMPARE(lamp->picture().cacheKey(), TLEDImage::LedGreen->cacheKey());
        lamp->TurnOn(false);
        lamp->MakeBright(true);
        QCOMPARE(lamp->picture().cacheKey(), TLEDImage::LedGray->cacheKey());
    }

    void extinguishAfterTimeout() {
        TLEDImage lamp(host);
        lamp.TurnOn(true);
        QCOMPARE(lamp.lastOnTime(), 1000);
        QVERIFY(!lamp.ShouldExtinguish());  // same millisecond
        QVERIFY(lamp.LEDOn());
        fakeTicks = 1001;
        QVERIFY(lamp.ShouldExtinguish());
        QVERIFY(!lamp.LEDOn());
        QCOMPARE(lamp.Color(), clGray);
        lamp.TurnOn(false);  // switching off keeps the switch-on time
        QCOMPARE(lamp.lastOnTime(), 1000);

        lamp.ExtinguishTimeout = 5;
        for (std::uint32_t onAt : {0x7FFFFFFEu, 0xFFFFFFFEu}) {  // across the sign change and the wrap
            fakeTicks = onAt;
            lamp.TurnOn(true);
            fakeTicks = onAt + 4;
            QVERIFY(!lamp.ShouldExtinguish());
            fakeTicks = onAt + 6;
            QVERIFY(lamp.ShouldExtinguish());
        }
    }

    // Two screen pixels to each of the window's: the lamp is drawn from its fine bitmap, not a
    // doubled 13 x 13 one; on an ordinary screen, pixel for pixel from the 13 x 13 bitmap.
    void highDpiScreensGetTheFineBitmap() {
        TLEDImage lamp(host);
        for (const TColor colour : {clRed, clGray}) {
            lamp.SetColor(colour);
            QVERIFY(lamp.finePicture() && lamp.finePicture()->size() == QSize(26, 26));
            for (const qreal ratio : {1.0, 2.0}) {
                QPixmap shot(QSize(13, 13) * ratio);
                shot.setDevicePixelRatio(ratio);
                shot.fill(Qt::transparent);
                lamp.render(&shot, {}, {}, QWidget::DrawChildren);  // the lamp alone, no background
                const QPixmap& source = ratio > 1 ? *lamp.finePicture() : lamp.picture();
                QCOMPARE(shot.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                         source.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied));
            }
        }
        lamp.MakeBright(false);  // a red lamp made bright and back: the fine bitmap follows
        lamp.SetColor(clRed);
        lamp.MakeBright(true);
        QCOMPARE(lamp.finePicture(), TLEDImage::FineBitmaps[4]);
    }

    void sharedBitmapsLiveWithTheLamps() {
        delete host;  // no lamp left
        host = nullptr;
        QCOMPARE(TLEDImage::InstanceCount, 0);
        QVERIFY(TLEDImage::LedRed == nullptr);
        {
            TLEDImage a(nullptr);
            TLEDImage b(nullptr);
            QCOMPARE(TLEDImage::InstanceCount, 2);
            const QPixmap* red = TLEDImage::LedRed;
            QVERIFY(red && !red->isNull());
            a.SetColor(clRed);
            b.SetColor(clRed);
            QCOMPARE(a.picture().cacheKey(), b.picture().cacheKey());  // one bitmap, shared
        }
        QCOMPARE(TLEDImage::InstanceCount, 0);
        QVERIFY(TLEDImage::LedGray == nullptr);
        TLEDImage again(nullptr);  // loaded again
        for (QPixmap* bitmap : {TLEDImage::LedGray, TLEDImage::LedRed, TLEDImage::LedGreen, TLEDImage::LedYellow,
                                TLEDImage::LedBrightRed, TLEDImage::LedBrightGreen, TLEDImage::LedBrightYellow}) {
            QVERIFY(bitmap && bitmap->size() == QSize(13, 13));
        }
    }

    void cornersLeftOutButNotTheGrayDots() {
        TLEDImage lamp(nullptr);
        const QImage gray = TLEDImage::LedGray->toImage();
        QCOMPARE(qAlpha(gray.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(gray.pixel(12, 12)), 0);
        // the gray lamp dithers silver with gray: its silver dots stay opaque, only the corners go
        int silverInside = 0;
        for (int y = 3; y <= 9; ++y)
            for (int x = 3; x <= 9; ++x)
                if (gray.pixel(x, y) == 0xFFC0C0C0) ++silverInside;
        QVERIFY(silverInside > 10);
        const QImage red = TLEDImage::LedRed->toImage();
        QCOMPARE(red.pixel(6, 6) | 0xFF000000, red.pixel(6, 6));
        QVERIFY(red.pixel(6, 6) == 0xFFFF0000 || red.pixel(7, 6) == 0xFFFF0000);
        QVERIFY(red.pixel(6, 6) != red.pixel(7, 6));  // checkerboard of red and dark red
        const QImage bright = TLEDImage::LedBrightRed->toImage();
        QCOMPARE(bright.pixel(6, 6), bright.pixel(7, 6));
    }
};

QTEST_MAIN(LedImageTest)
#include "LedImageTest.moc"
