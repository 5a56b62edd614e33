// The image view pane: geometry, zoom, gamma, forwarded input, progressive
// refresh and panning, under the offscreen platform.

#include <memory>

#include <QElapsedTimer>
#include <QPaintEvent>
#include <QSignalSpy>
#include <QTest>

#include "decode/image_bitmap.h"
#include "display/display_bitmap.h"
#include "view/image_view.h"

namespace {

// A pixel that tells its position: red = x low byte, green = y low byte,
// blue = the high bits of both.
uint32_t Code(int x, int y)
{
    return 0xFF000000u | (uint32_t(x & 255) << 16) | (uint32_t(y & 255) << 8)
        | uint32_t(((x >> 8) << 4) | (y >> 8));
}

std::unique_ptr<CImageBitmap> MakeImage(int w, int h, bool decoded = true)
{
    auto image = std::make_unique<CImageBitmap>();
    image->Create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image->Row(y)[x] = Code(x, y);
    if (decoded)
        for (int y = 0; y < h; ++y)
            image->MarkRow(y);
    return image;
}

// Records the regions the view paints.
class PaintRecorder : public QObject {
public:
    QList<QRegion> regions;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            regions << static_cast<QPaintEvent*>(e)->region();
        return false;
    }
};

void SendWheel(QWidget& w, int delta)
{
    QWheelEvent e(QPointF(10, 10), w.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&w, &e);
}

void SendMouse(QWidget& w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(pos), w.mapToGlobal(QPointF(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
}

QImage Render(CImageView& view)
{
    QImage out(view.size(), QImage::Format_RGB32);
    out.fill(Qt::magenta);
    view.render(&out);
    return out;
}

}  // namespace

class tst_ImageView : public QObject {
    Q_OBJECT

private:
    // A shown view of the given size whose refresh tick has seen `image` whole.
    void ShowSettled(CImageView& view, CImageBitmap* image, QSize size)
    {
        view.resize(size);
        view.SetImage(image);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        if (image)
            QTRY_COMPARE(view.LastDirtyRect(), image->GetDirtyRect());
    }

private slots:
    void geometryAndZoom_data();
    void geometryAndZoom();
    void resetAndReclamp();
    void paintsBandsAndPixels_data();
    void paintsBandsAndPixels();
    void gammaTable_data();
    void gammaTable();
    void gammaAppliedWhenPainting();
    void wheelAccumulates_data();
    void wheelAccumulates();
    void forwardsOnlyWithImage();
    void refreshPaintsOnlyNewRows_data();
    void refreshPaintsOnlyNewRows();
    void undecodedPartIsBlack();
    void panningScrollsAndSetsCursors();
    void idleCursorHides();
    void fastPathAndGammaSpeed();
};

void tst_ImageView::geometryAndZoom_data()
{
    QTest::addColumn<QSize>("image");
    QTest::addColumn<QPoint>("scrollTo");  // before the zoom
    QTest::addColumn<bool>("reduce");
    QTest::addColumn<int>("factor");
    QTest::addColumn<int>("storedFactor");
    QTest::addColumn<QSize>("zoomed");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QPoint>("scroll");
    // A 1000 x 800 pane throughout.
    const QRect full(0, 0, 1000, 800);
    QTest::newRow("small centred, pinned") << QSize(400, 300) << QPoint(50, 50) << false << 1 << 1
                                           << QSize(400, 300) << QRect(300, 250, 400, 300) << QPoint(0, 0);
    QTest::newRow("odd difference") << QSize(401, 301) << QPoint() << false << 1 << 1 << QSize(401, 301)
                                    << QRect(299, 249, 401, 301) << QPoint(0, 0);
    QTest::newRow("wider, clamped") << QSize(1200, 300) << QPoint(5000, -10) << false << 1 << 1
                                    << QSize(1200, 300) << QRect(0, 250, 1000, 300) << QPoint(200, 0);
    QTest::newRow("centre kept in 2") << QSize(2000, 1000) << QPoint(500, 100) << false << 2 << 2
                                      << QSize(4000, 2000) << full << QPoint(1500, 600);
    QTest::newRow("narrow stays centred") << QSize(400, 300) << QPoint() << false << 2 << 2 << QSize(800, 600)
                                          << QRect(100, 100, 800, 600) << QPoint(0, 0);
    QTest::newRow("narrow to wide") << QSize(600, 500) << QPoint() << false << 3 << 3 << QSize(1800, 1500)
                                    << full << QPoint(400, 350);
    QTest::newRow("centre kept in 1/2") << QSize(4000, 2000) << QPoint(1500, 600) << true << 2 << 2
                                        << QSize(2000, 1000) << full << QPoint(500, 100);
    QTest::newRow("reduced 3") << QSize(400, 301) << QPoint() << true << 3 << 3 << QSize(133, 100)
                               << QRect(433, 350, 133, 100) << QPoint(0, 0);
    QTest::newRow("enlarge limit") << QSize(100, 100) << QPoint() << false << 25 << 20 << QSize(2000, 2000)
                                   << full << QPoint(500, 600);
    QTest::newRow("reduce limit") << QSize(100, 100) << QPoint() << true << 12 << 10 << QSize(10, 10)
                                  << QRect(495, 395, 10, 10) << QPoint(0, 0);
    QTest::newRow("factor 0") << QSize(100, 100) << QPoint() << false << 0 << 1 << QSize(100, 100)
                              << QRect(450, 350, 100, 100) << QPoint(0, 0);
}

void tst_ImageView::geometryAndZoom()
{
    QFETCH(QSize, image);
    QFETCH(QPoint, scrollTo);
    QFETCH(bool, reduce);
    QFETCH(int, factor);
    auto bitmap = MakeImage(image.width(), image.height());
    CImageView view;
    view.resize(1000, 800);
    view.SetImage(bitmap.get());
    view.ScrollTo(scrollTo.x(), scrollTo.y(), true);
    view.SetZoom(reduce, factor);
    QTEST(view.Factor(), "storedFactor");
    QTEST(view.GetZoomedSize(), "zoomed");
    QTEST(view.ImageArea(), "area");
    QTEST(QPoint(view.ScrollX(), view.ScrollY()), "scroll");
}

void tst_ImageView::resetAndReclamp()
{
    auto big = MakeImage(2000, 1500);
    CImageView view;
    view.resize(1000, 800);
    view.SetZoom(false, 5);  // no image: ignored
    QCOMPARE(view.Factor(), 1);
    view.SetImage(big.get());
    view.SetZoom(true, 2);
    view.SetImage(big.get());
    QCOMPARE(view.Reduce(), false);
    QCOMPARE(view.Factor(), 1);
    // A larger pane pulls the scroll position back inside the image.
    view.ScrollTo(1000, 700, true);
    view.show();
    view.resize(1500, 1000);
    QCOMPARE(QPoint(view.ScrollX(), view.ScrollY()), QPoint(500, 500));
}

void tst_ImageView::paintsBandsAndPixels_data()
{
    QTest::addColumn<bool>("reduce");
    QTest::addColumn<int>("factor");
    QTest::addColumn<QPoint>("scroll");
    QTest::addColumn<QPoint>("client");  // a client point
    QTest::addColumn<QPoint>("pixel");   // the image pixel expected there, or (-1, -1) for black
    // Image 60 x 40 in a 100 x 80 pane: at factor 1 drawn at (20, 20).
    QTest::newRow("band left") << false << 1 << QPoint() << QPoint(19, 30) << QPoint(-1, -1);
    QTest::newRow("band bottom") << false << 1 << QPoint() << QPoint(50, 60) << QPoint(-1, -1);
    QTest::newRow("first pixel") << false << 1 << QPoint() << QPoint(20, 20) << QPoint(0, 0);
    QTest::newRow("last pixel") << false << 1 << QPoint() << QPoint(79, 59) << QPoint(59, 39);
    // Factor 3, scroll (10, 0): column 3 starts at client x -1.
    QTest::newRow("x3 column 3") << false << 3 << QPoint(10, 0) << QPoint(1, 0) << QPoint(3, 0);
    QTest::newRow("x3 column 4") << false << 3 << QPoint(10, 0) << QPoint(2, 5) << QPoint(4, 1);
    QTest::newRow("reduce 2") << true << 2 << QPoint() << QPoint(35 + 7, 30 + 3) << QPoint(14, 6);
}

void tst_ImageView::paintsBandsAndPixels()
{
    QFETCH(bool, reduce);
    QFETCH(int, factor);
    QFETCH(QPoint, scroll);
    QFETCH(QPoint, client);
    QFETCH(QPoint, pixel);
    auto image = MakeImage(60, 40);
    CImageView view;
    ShowSettled(view, image.get(), QSize(100, 80));
    view.SetZoom(reduce, factor);
    view.ScrollTo(scroll.x(), scroll.y(), true);
    const QImage shot = Render(view);
    const QRgb want = pixel.x() < 0 ? qRgb(0, 0, 0) : Code(pixel.x(), pixel.y());
    QCOMPARE(shot.pixel(client) & 0xFFFFFF, want & 0xFFFFFF);
}

void tst_ImageView::gammaTable_data()
{
    QTest::addColumn<double>("gamma");
    QTest::addColumn<int>("in");
    QTest::addColumn<int>("out");
    QTest::newRow("0.5 of 128") << 0.5 << 128 << 180;
    QTest::newRow("0.5 of 64") << 0.5 << 64 << 127;
    QTest::newRow("2.0 of 128") << 2.0 << 128 << 64;
    QTest::newRow("2.0 of 255") << 2.0 << 255 << 255;
    QTest::newRow("0.01 of 0") << 0.01 << 0 << 0;
    QTest::newRow("5.0 of 255") << 5.0 << 255 << 255;
}

void tst_ImageView::gammaTable()
{
    QFETCH(double, gamma);
    QFETCH(int, in);
    CImageView view;
    view.SetGamma(gamma);
    QCOMPARE(view.Gamma(), gamma);
    QTEST(int(view.GammaTable()[in]), "out");
}

void tst_ImageView::gammaAppliedWhenPainting()
{
    auto image = MakeImage(8, 8);
    image->Row(2)[3] = 0xFF804000;  // red 128, green 64, blue 0
    CImageView view;
    ShowSettled(view, image.get(), QSize(8, 8));
    view.SetGamma(0.5);
    QCOMPARE(Render(view).pixel(3, 2) & 0xFFFFFF, qRgb(180, 127, 0) & 0xFFFFFF);
    view.SetGamma(-1.0);
    QCOMPARE(Render(view).pixel(3, 2) & 0xFFFFFF, 0x804000u);
}

void tst_ImageView::wheelAccumulates_data()
{
    QTest::addColumn<QList<int>>("deltas");
    QTest::addColumn<QList<bool>>("notches");
    QTest::newRow("half notch") << QList<int> {60} << QList<bool> {};
    QTest::newRow("two halves") << QList<int> {60, 60} << QList<bool> {true};
    QTest::newRow("two back") << QList<int> {-240} << QList<bool> {false, false};
    QTest::newRow("remainder kept") << QList<int> {100, 100, -300} << QList<bool> {true, false};
}

void tst_ImageView::wheelAccumulates()
{
    QFETCH(QList<int>, deltas);
    QFETCH(QList<bool>, notches);
    auto image = MakeImage(10, 10);
    CImageView view;
    view.SetImage(image.get());
    QSignalSpy spy(&view, &CImageView::WheelNotch);
    for (int d : deltas)
        SendWheel(view, d);
    QList<bool> got;
    for (const auto& args : spy)
        got << args.at(0).toBool();
    QCOMPARE(got, notches);
}

void tst_ImageView::forwardsOnlyWithImage()
{
    CImageView view;
    view.resize(50, 50);
    QSignalSpy keys(&view, &CImageView::KeyPressed);
    QSignalSpy wheel(&view, &CImageView::WheelNotch);
    QSignalSpy menu(&view, &CImageView::ContextMenuRequested);
    const auto sendAll = [&] {
        QTest::keyClick(&view, Qt::Key_Plus, Qt::KeypadModifier);
        SendWheel(view, 120);
        QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 6), QPoint(105, 206));
        QApplication::sendEvent(&view, &e);
    };
    sendAll();
    QCOMPARE(keys.count(), 0);
    QCOMPARE(wheel.count(), 0);
    QCOMPARE(menu.count(), 1);
    QCOMPARE(menu.at(0).at(0).toPoint(), QPoint(105, 206));

    auto image = MakeImage(10, 10);
    view.SetImage(image.get());
    sendAll();
    QCOMPARE(keys.count(), 1);
    QCOMPARE(keys.at(0).at(0).toInt(), int(Qt::Key_Plus));
    QVERIFY(keys.at(0).at(1).value<Qt::KeyboardModifiers>() & Qt::KeypadModifier);
    QCOMPARE(wheel.count(), 1);
    QCOMPARE(menu.count(), 2);
}

void tst_ImageView::refreshPaintsOnlyNewRows_data()
{
    QTest::addColumn<bool>("reduce");
    QTest::addColumn<int>("factor");
    QTest::addColumn<bool>("columns");
    QTest::addColumn<bool>("fromEnd");  // rows from the bottom (or columns from the right)
    QTest::addColumn<QRect>("secondPaint");
    QTest::addColumn<QRect>("repaint");  // a later pass writes lines 2-5 again
    // Image 100 x 60 in a 200 x 200 pane (at (50, 70) at factor 1); the
    // decoder first finishes lines 0-9, then lines 10-19.
    QTest::newRow("rows from the top")
        << false << 1 << false << false << QRect(50, 80, 100, 10) << QRect(50, 72, 100, 4);
    QTest::newRow("rows from the bottom")
        << false << 1 << false << true << QRect(50, 110, 100, 10) << QRect(50, 124, 100, 4);
    QTest::newRow("columns") << false << 1 << true << false << QRect(60, 70, 10, 60) << QRect(52, 70, 4, 60);
    QTest::newRow("columns from the right")
        << false << 1 << true << true << QRect(130, 70, 10, 60) << QRect(144, 70, 4, 60);
    QTest::newRow("rows enlarged 2") << false << 2 << false << false << QRect(0, 60, 200, 20)
                                     << QRect(0, 44, 200, 8);
    QTest::newRow("rows reduced 3") << true << 3 << false << false << QRect(83, 93, 33, 4)
                                    << QRect(83, 90, 33, 2);
}

void tst_ImageView::refreshPaintsOnlyNewRows()
{
    QFETCH(bool, reduce);
    QFETCH(int, factor);
    QFETCH(bool, columns);
    QFETCH(bool, fromEnd);
    QFETCH(QRect, secondPaint);
    QFETCH(QRect, repaint);
    auto image = MakeImage(100, 60, false);
    const int lines = columns ? 100 : 60;
    const auto mark = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            const int line = fromEnd ? lines - 1 - i : i;
            columns ? image->MarkColumn(line) : image->MarkRow(line);
        }
    };
    CImageView view;
    ShowSettled(view, nullptr, QSize(200, 200));
    view.SetImage(image.get());
    view.SetZoom(reduce, factor);
    PaintRecorder recorder;
    view.installEventFilter(&recorder);

    mark(0, 10);
    QTRY_COMPARE(view.LastDirtyRect(), image->GetDirtyRect());
    QTRY_VERIFY(!recorder.regions.isEmpty());
    recorder.regions.clear();
    mark(10, 20);
    QTRY_COMPARE(recorder.regions.size(), 1);
    QCOMPARE(recorder.regions.at(0), QRegion(secondPaint));

    // Nothing new, nothing painted.
    recorder.regions.clear();
    const DirtyRect seen = view.LastDirtyRect();
    QTest::qWait(3 * CImageView::kRefreshMs);
    QCOMPARE(view.LastDirtyRect(), seen);
    QCOMPARE(recorder.regions.size(), 0);

    // Lines written again inside the decoded part are painted again, alone.
    mark(2, 6);
    QTRY_COMPARE(recorder.regions.size(), 1);
    QCOMPARE(recorder.regions.at(0), QRegion(repaint));
}

void tst_ImageView::undecodedPartIsBlack()
{
    // Rows the decoder has not reached yet show black, not the bitmap's
    // uninitialised memory.
    auto image = MakeImage(20, 20, false);
    image->MarkRow(0);
    image->MarkRow(1);
    CImageView view;
    ShowSettled(view, image.get(), QSize(20, 20));
    const QImage shot = Render(view);
    QCOMPARE(shot.pixel(5, 1) & 0xFFFFFF, Code(5, 1) & 0xFFFFFF);
    QCOMPARE(shot.pixel(5, 2) & 0xFFFFFF, 0u);
}

void tst_ImageView::panningScrollsAndSetsCursors()
{
    auto image = MakeImage(400, 300);
    CImageView view;
    ShowSettled(view, image.get(), QSize(200, 100));
    view.ScrollTo(100, 100, true);

    SendMouse(view, QEvent::MouseButtonPress, QPoint(100, 50), Qt::LeftButton, Qt::LeftButton);
    QVERIFY(view.hasFocus());
    QCOMPARE(view.cursor().shape(), Qt::ClosedHandCursor);
    SendMouse(view, QEvent::MouseMove, QPoint(60, 70), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(QPoint(view.ScrollX(), view.ScrollY()), QPoint(140, 80));
    SendMouse(view, QEvent::MouseMove, QPoint(-500, 70), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(QPoint(view.ScrollX(), view.ScrollY()), QPoint(200, 80));  // clamped at the right edge
    SendMouse(view, QEvent::MouseButtonRelease, QPoint(-500, 70), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(view.cursor().shape(), Qt::OpenHandCursor);
    SendMouse(view, QEvent::MouseMove, QPoint(0, 0), Qt::NoButton, Qt::NoButton);
    QCOMPARE(QPoint(view.ScrollX(), view.ScrollY()), QPoint(200, 80));

    // After a scroll the moved contents and the uncovered strip show the right pixels.
    const QImage shot = Render(view);
    QCOMPARE(shot.pixel(0, 0) & 0xFFFFFF, Code(200, 80) & 0xFFFFFF);
    QCOMPARE(shot.pixel(199, 99) & 0xFFFFFF, Code(399, 179) & 0xFFFFFF);

    // Without an image a press only takes the focus.
    view.SetImage(nullptr);
    view.clearFocus();
    SendMouse(view, QEvent::MouseButtonPress, QPoint(10, 10), Qt::LeftButton, Qt::LeftButton);
    QVERIFY(view.hasFocus());
    SendMouse(view, QEvent::MouseMove, QPoint(20, 20), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(view.cursor().shape(), Qt::OpenHandCursor);
}

void tst_ImageView::idleCursorHides()
{
    auto image = MakeImage(50, 50);
    CImageView view;
    ShowSettled(view, image.get(), QSize(200, 200));
    QCursor::setPos(view.mapToGlobal(QPoint(100, 100)));
    SendMouse(view, QEvent::MouseMove, QPoint(100, 100), Qt::NoButton, Qt::NoButton);
    QCOMPARE(view.cursor().shape(), Qt::OpenHandCursor);
    QElapsedTimer clock;
    clock.start();
    QTRY_COMPARE_WITH_TIMEOUT(view.cursor().shape(), Qt::BlankCursor, 5000);
    QVERIFY(clock.elapsed() >= 1400);
    SendMouse(view, QEvent::MouseMove, QPoint(101, 100), Qt::NoButton, Qt::NoButton);
    QCOMPARE(view.cursor().shape(), Qt::OpenHandCursor);
}

// Draws a full 1920 x 1080 pane without and with gamma. On a 32-bit screen
// without gamma the display bitmap draws the image itself: its strip is left
// untouched. The times are printed, not checked.
void tst_ImageView::fastPathAndGammaSpeed()
{
    auto image = MakeImage(1920, 1080);
    CDisplayBitmap display;
    QVERIFY(display.Create(32));
    CImageView view(&display);
    ShowSettled(view, image.get(), QSize(1920, 1080));
    QCOMPARE(display.PixelFormat(), 4);
    QImage target(1920, 1080, QImage::Format_RGB32);
    const QImage stripBefore = display.Strip().copy();

    const auto timeRepaints = [&](int rounds) {
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < rounds; ++i)
            view.render(&target);
        return double(clock.nsecsElapsed()) / 1e6 / rounds;
    };
    const double plain = timeRepaints(10);
    QCOMPARE(display.Strip(), stripBefore);
    QCOMPARE(target.pixel(1919, 1079) & 0xFFFFFF, Code(1919, 1079) & 0xFFFFFF);

    view.SetGamma(0.8);
    const double gamma = timeRepaints(10);
    QVERIFY(display.Strip() != stripBefore);
    qInfo("full 1920x1080 repaint: %.2f ms without gamma, %.2f ms with gamma", plain, gamma);
}

QTEST_MAIN(tst_ImageView)
#include "tst_imageview.moc"
