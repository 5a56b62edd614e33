// The splitter bar: the first pane keeps its size, the notification comes
// after the panes are laid out, dragging moves the panes on release only.

#include <algorithm>

#include <QPainter>
#include <QSignalSpy>
#include <QSplitterHandle>
#include <QTest>
#include <QPixmap>

#include "common/split_bar.h"

namespace {

// The extent along the bar's axis: width beside a vertical bar, height below a horizontal one.
int Extent(const CSplitBar& bar, const QWidget* w)
{
    return bar.IsVertical() ? w->width() : w->height();
}

int Start(const CSplitBar& bar, const QWidget* w)
{
    return bar.IsVertical() ? w->x() : w->y();
}

QRect RectWithExtent(bool vertical, int extent)
{
    return vertical ? QRect(0, 0, extent, 300) : QRect(0, 0, 400, extent);
}

void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

struct Fixture {
    QWidget parent;
    QWidget* first = new QWidget;
    QWidget* second = new QWidget;
    CSplitBar* bar;
    Fixture(bool vertical, int size, int extent)
    {
        bar = new CSplitBar(first, second, vertical, size, &parent);
        parent.resize(800, 800);
        bar->Layout(RectWithExtent(vertical, extent));
        parent.show();
    }
};

}  // namespace

class tst_SplitBar : public QObject {
    Q_OBJECT

private slots:
    void firstPaneKeepsSize_data();
    void firstPaneKeepsSize();
    void notifiesAfterLayout();
    void dragMovesPanesOnRelease();
    void altCancelsDrag();
    void barEdgeFollowsThePointer();
    void hiddenFirstPaneComesBackAtItsSize();
    void barPaintsItsOwnBackground();
};

void tst_SplitBar::firstPaneKeepsSize_data()
{
    QTest::addColumn<bool>("vertical");
    QTest::addColumn<QList<int>>("extents");  // the rectangle's extent, one layout each
    QTest::newRow("horizontal grows") << false << QList<int> {300, 600};
    QTest::newRow("horizontal too small, then grows") << false << QList<int> {300, 50, 0, 500};
    QTest::newRow("vertical grows and shrinks") << true << QList<int> {300, 700, 200, 20, 300};
}

// The first pane is 100 pixels whenever the rectangle has room for it and the
// bar; with less room it takes what there is and the second pane nothing.
void tst_SplitBar::firstPaneKeepsSize()
{
    QFETCH(bool, vertical);
    QFETCH(QList<int>, extents);
    Fixture f(vertical, 100, extents.first());
    QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
    const int hw = f.bar->handleWidth();
    for (int extent : extents) {
        f.bar->Layout(RectWithExtent(vertical, extent));
        const int first = std::clamp(extent - hw, 0, 100);
        QCOMPARE(Extent(*f.bar, f.first), first);
        QCOMPARE(f.bar->Size(), 100);
        QCOMPARE(Extent(*f.bar, f.second), std::max(extent - first - hw, 0));
        if (extent > first + hw)
            QCOMPARE(Start(*f.bar, f.second), first + hw);
    }
}

void tst_SplitBar::notifiesAfterLayout()
{
    Fixture f(false, 120, 400);
    QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
    QList<int> seenHeights;
    QObject::connect(f.bar, &CSplitBar::LaidOut, f.bar, [&] { seenHeights << f.second->height(); });
    f.bar->Layout(QRect(0, 0, 400, 700));
    f.bar->Layout(QRect(0, 0, 400, 700));  // unchanged: notified all the same
    const int hw = f.bar->handleWidth();
    QCOMPARE(seenHeights, (QList<int> {700 - 120 - hw, 700 - 120 - hw}));
}

void tst_SplitBar::dragMovesPanesOnRelease()
{
    Fixture f(true, 100, 400);
    QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
    QSplitterHandle* handle = f.bar->handle(1);
    QVERIFY(handle);
    QSignalSpy laidOut(f.bar, &CSplitBar::LaidOut);

    const QPoint grab(handle->width() / 2, 10);
    SendMouse(handle, QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
    SendMouse(handle, QEvent::MouseMove, grab + QPoint(80, 0), Qt::NoButton, Qt::LeftButton);
    // Only the ghost moves while dragging.
    QCOMPARE(f.first->width(), 100);
    QCOMPARE(laidOut.count(), 0);
    SendMouse(handle, QEvent::MouseButtonRelease, grab + QPoint(80, 0), Qt::LeftButton, Qt::NoButton);
    // The bar's left edge is where the pointer is, not where it was grabbed.
    const int edge = 100 + grab.x() + 80;
    QCOMPARE(f.first->width(), edge);
    QCOMPARE(f.bar->Size(), edge);
    QCOMPARE(laidOut.count(), 1);

    // The dragged size is kept through later layouts.
    f.bar->Layout(QRect(0, 0, 600, 300));
    QCOMPARE(f.first->width(), edge);
}

void tst_SplitBar::altCancelsDrag()
{
    Fixture f(false, 100, 400);
    QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
    QSplitterHandle* handle = f.bar->handle(1);
    const QPoint grab(20, handle->height() / 2);
    SendMouse(handle, QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
    SendMouse(handle, QEvent::MouseMove, grab + QPoint(0, 90), Qt::NoButton, Qt::LeftButton);
    QTest::keyPress(&f.parent, Qt::Key_Alt, Qt::AltModifier);
    SendMouse(handle, QEvent::MouseMove, grab + QPoint(0, 120), Qt::NoButton, Qt::LeftButton);
    SendMouse(handle, QEvent::MouseButtonRelease, grab + QPoint(0, 120), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(f.first->height(), 100);
    QCOMPARE(f.bar->Size(), 100);

    // The next drag works normally again.
    SendMouse(handle, QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
    SendMouse(handle, QEvent::MouseMove, grab + QPoint(0, 30), Qt::NoButton, Qt::LeftButton);
    SendMouse(handle, QEvent::MouseButtonRelease, grab + QPoint(0, 30), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(f.bar->Size(), 100 + grab.y() + 30);
}

// Regression: the bar kept the offset of its grab point (grabbed on its
// bottom row and moved to y = 300, it ended at 297).
void tst_SplitBar::barEdgeFollowsThePointer()
{
    Fixture f(false, 100, 600);
    QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
    QSplitterHandle* handle = f.bar->handle(1);
    const QPoint grab(20, handle->height() - 1);
    const QPoint target = handle->mapFrom(f.bar, QPoint(20, 300));
    SendMouse(handle, QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
    SendMouse(handle, QEvent::MouseMove, target, Qt::NoButton, Qt::LeftButton);
    SendMouse(handle, QEvent::MouseButtonRelease, target, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(f.bar->Size(), 300);
    QCOMPARE(handle->y(), 300);
}

void tst_SplitBar::hiddenFirstPaneComesBackAtItsSize()
{
    Fixture f(false, 150, 500);
    QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
    f.first->hide();
    QTRY_COMPARE(f.second->height(), 500);
    f.bar->Layout(QRect(0, 0, 400, 600));
    QCOMPARE(f.second->height(), 600);
    f.first->show();
    QTRY_COMPARE(f.first->height(), 150);
    QCOMPARE(f.second->y(), 150 + f.bar->handleWidth());
    QCOMPARE(f.bar->Size(), 150);
}

// The main window paints no background under its panes, so the bar must fill
// its own strip; otherwise it shows whatever was on the screen there before.
void tst_SplitBar::barPaintsItsOwnBackground()
{
    Fixture f(false, 100, 300);
    QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
    f.first->setAutoFillBackground(true);
    f.second->setAutoFillBackground(true);
    QPixmap pixmap(f.parent.size());
    pixmap.fill(Qt::magenta);
    f.parent.render(&pixmap, QPoint(), QRegion(), QWidget::DrawChildren);
    const QImage image = pixmap.toImage();
    const QRect strip = f.bar->handle(1)->geometry().translated(f.bar->pos());
    QVERIFY(!strip.isEmpty());
    for (int y = strip.top(); y <= strip.bottom(); ++y)
        for (int x = strip.left(); x <= strip.right(); ++x)
            QVERIFY2(image.pixel(x, y) != QColor(Qt::magenta).rgb(),
                     qPrintable(QString("%1,%2").arg(x).arg(y)));
}

QTEST_MAIN(tst_SplitBar)
#include "tst_splitbar.moc"
