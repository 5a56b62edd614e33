// The toolbar pictures and the application icon: every picture draws at the
// toolbar's sizes and at 200 %, out-of-range indexes and unreadable SVGs give
// null icons, the application icon renders from 16 to 256 px.

#include <climits>

#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>

#include "res/svg_icon_engine.h"
#include "res/toolbar_icons.h"

namespace {

struct AlphaCounts {
    int opaque = 0;
    int transparent = 0;
};

AlphaCounts CountAlpha(const QPixmap& pm)
{
    const QImage image = pm.toImage().convertToFormat(QImage::Format_ARGB32);
    AlphaCounts counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(image.pixel(x, y));
            counts.opaque += alpha == 255;
            counts.transparent += alpha == 0;
        }
    }
    return counts;
}

QImage Argb(const QPixmap& pm)
{
    return pm.toImage().convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

class tst_ToolbarIcons : public QObject {
    Q_OBJECT

private slots:
    void drawsAtToolbarSizes_data();
    void drawsAtToolbarSizes();
    void outOfRangeIsNull_data();
    void outOfRangeIsNull();
    void sharpAtDoubleScale();
    void nonSquareRequestKeepsAspect();
    void unreadableSvgIsNull_data();
    void unreadableSvgIsNull();
    void appIconRendersAllSizes();
    void legacyIconAliasStillLoads();
};

void tst_ToolbarIcons::drawsAtToolbarSizes_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < res::kToolbarImageCount; ++i)
        QTest::addRow("image %d", i) << i;
}

// A picture needs both drawn (opaque) and background (transparent) pixels,
// in its normal and its disabled look.
void tst_ToolbarIcons::drawsAtToolbarSizes()
{
    QFETCH(int, index);
    const QIcon icon = res::ToolbarIcon(index);
    QVERIFY(!icon.isNull());
    for (int side : {20, 40}) {
        const QPixmap pm = icon.pixmap(QSize(side, side), 1.0);
        QCOMPARE(pm.size(), QSize(side, side));
        const AlphaCounts counts = CountAlpha(pm);
        QVERIFY2(counts.opaque > 0, qPrintable(QStringLiteral("no opaque pixel at %1 px").arg(side)));
        QVERIFY2(counts.transparent > 0,
                 qPrintable(QStringLiteral("no transparent pixel at %1 px").arg(side)));
        const QPixmap disabled = icon.pixmap(QSize(side, side), 1.0, QIcon::Disabled);
        QCOMPARE(disabled.size(), QSize(side, side));
        QVERIFY(CountAlpha(disabled).transparent > 0);
    }
}

void tst_ToolbarIcons::outOfRangeIsNull_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("-1") << -1;
    QTest::newRow("count") << res::kToolbarImageCount;
    QTest::newRow("INT_MIN") << INT_MIN;
    QTest::newRow("INT_MAX") << INT_MAX;
}

void tst_ToolbarIcons::outOfRangeIsNull()
{
    QFETCH(int, index);
    QVERIFY(res::ToolbarIcon(index).isNull());
}

// At 200 % a 20 px button gets the picture drawn at 40 device pixels, not the
// 20 px picture enlarged.
void tst_ToolbarIcons::sharpAtDoubleScale()
{
    for (int i = 0; i < res::kToolbarImageCount; ++i) {
        const QIcon icon = res::ToolbarIcon(i);
        const QPixmap scaled = icon.pixmap(QSize(20, 20), 2.0);
        QCOMPARE(scaled.size(), QSize(40, 40));
        QCOMPARE(scaled.devicePixelRatio(), 2.0);
        QImage device = Argb(scaled);
        device.setDevicePixelRatio(1.0);
        QCOMPARE(device, Argb(icon.pixmap(QSize(40, 40), 1.0)));
    }
}

void tst_ToolbarIcons::nonSquareRequestKeepsAspect()
{
    const QPixmap pm = res::ToolbarIcon(17).pixmap(QSize(40, 20), 1.0);
    QCOMPARE(pm.size(), QSize(40, 20));
    // The square picture sits in the middle 20 columns; the sides stay empty.
    const QImage image = Argb(pm);
    for (int y = 0; y < image.height(); ++y) {
        QCOMPARE(qAlpha(image.pixel(0, y)), 0);
        QCOMPARE(qAlpha(image.pixel(39, y)), 0);
    }
    QCOMPARE(qAlpha(image.pixel(20, 10)), 255);
}

void tst_ToolbarIcons::unreadableSvgIsNull_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not xml") << QByteArray("\xff\xd8\xff\xe0 a JPEG, not a picture description");
    QTest::newRow("truncated") << QByteArray(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 20 20\"><rect x=");
    QTest::newRow("not svg") << QByteArray("<html><body>hello</body></html>");
}

void tst_ToolbarIcons::unreadableSvgIsNull()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("-odd\nname.svg"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    const QIcon icon(new CSvgIconEngine(path, {QSize(20, 20)}));
    QVERIFY(icon.isNull());
    QVERIFY(icon.pixmap(QSize(20, 20)).isNull());
    QVERIFY(QIcon(new CSvgIconEngine(dir.filePath(QStringLiteral("missing.svg")), {})).isNull());
}

void tst_ToolbarIcons::appIconRendersAllSizes()
{
    const QIcon icon = res::AppIcon();
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
    QVERIFY(icon.availableSizes().contains(QSize(256, 256)));
    for (int side : {16, 256}) {
        const QPixmap pm = icon.pixmap(QSize(side, side), 1.0);
        QCOMPARE(pm.size(), QSize(side, side));
        QVERIFY(CountAlpha(pm).opaque > side * side / 2);
    }
}

// Older callers load the 128 px render by its first name.
void tst_ToolbarIcons::legacyIconAliasStillLoads()
{
    res::AppIcon();  // registers the resources
    const QImage image(QStringLiteral(":/res/icon_128.png"));
    QCOMPARE(image.size(), QSize(128, 128));
}

QTEST_MAIN(tst_ToolbarIcons)
#include "tst_toolbaricons.moc"
