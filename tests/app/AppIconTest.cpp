// The program's icon: compiled in at each size it is drawn in, so that no size is made by scaling.
#include <QTest>

#include "AppIcon.h"

class AppIconTest : public QObject {
    Q_OBJECT

private slots:
    void everyCompiledInSizeIsItsOwnDrawing() {
        const QIcon icon = kaldo::applicationIcon();
        const QList<QSize> sizes = icon.availableSizes();
        for (int size : {16, 24, 32, 48, 64, 128, 256}) {
            QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
            const QImage image = icon.pixmap(size, size).toImage();
            QCOMPARE(image.size(), QSize(size, size));
            QVERIFY(image.hasAlphaChannel());  // rounded corners, not a square of background
            QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        }
    }
};

QTEST_MAIN(AppIconTest)
#include "AppIconTest.moc"
