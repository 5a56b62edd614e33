// The main window on a screen at 200 % scaling (QT_SCALE_FACTOR=2): the
// view fits images to the screen's own pixels and draws them one to one,
// and thumbnails are made at the pixels the pane shows them with.

#include <QApplication>
#include <QTest>

#include "app/control_panel.h"
#include "tests/ui/app/main_frame_fixture.h"
#include "pane/thumbnail_pane.h"

namespace {

// Where the pane draws an item's thumbnail, in device pixels of the viewport.
QPoint ThumbnailOrigin(const CThumbView& pane, const ImageItem* item, const CImageBitmap& thumb, qreal ratio)
{
    const QRect cell = pane.CellRect(item);
    const auto device = [ratio](qreal v) { return int(std::lround(v * ratio)); };
    const int margin = CThumbView::kCellMargin;
    return {device(cell.x() + margin) + (device(cell.width() - 2 * margin) - thumb.Width()) / 2,
            device(cell.y() + margin) + (device(pane.ThumbnailSize()) - thumb.Height()) / 2};
}

bool SameAt(const QImage& screen, const QPoint& at, CImageBitmap& bitmap)
{
    PixelLocker lock(bitmap);
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            if ((screen.pixel(at.x() + x, at.y() + y) & 0xFFFFFF) != (bitmap.Row(y)[x] & 0xFFFFFF))
                return false;
    return true;
}

}  // namespace

class TestHighDensity : public QObject {
    Q_OBJECT

private slots:
    void viewAndThumbnailsUseDevicePixels()
    {
        QTemporaryDir dir;
        fixture::WriteImages(dir.path(), {"a.jpg", "b.jpg"}, 1600, 1200);
        AppSettings settings = fixture::Settings(dir);
        auto frame = fixture::Start(settings);
        QVERIFY(frame);
        CImageView* view = frame->ImageView();
        QCOMPARE(view->devicePixelRatioF(), 2.0);
        QCOMPARE(view->ClientWidth(), 2 * view->width());
        QCOMPARE(view->ClientHeight(), 2 * view->height());

        // Fitted to the device pixels: as wide or as high as the view is there.
        QTRY_VERIFY(fixture::Shown(*frame));
        CImageBitmap* image = view->Image();
        QVERIFY(image->Width() == view->ClientWidth() || image->Height() == view->ClientHeight());
        QTRY_COMPARE(frame->Loader()->IsBeingDecoded(frame->CurrentItem()), false);
        view->RefreshDirty();
        const QImage shown = view->grab().toImage();
        QCOMPARE(shown.size(), view->DeviceSize());
        QVERIFY(SameAt(shown, view->ImageArea().topLeft(), *image));

        // "Small Thumbnails": 80 logical pixels, made at 160.
        QCOMPARE(frame->Loader()->ThumbnailSize(), 160);
        CThumbView* pane = frame->ControlPanel()->ThumbnailPane();
        ImageItem* first = frame->Loader()->FirstItem();
        QTRY_VERIFY(frame->Loader()->ThumbnailOf(first));
        CImageBitmap& thumb = *frame->Loader()->ThumbnailOf(first);
        QCOMPARE(std::max(thumb.Width(), thumb.Height()), 160);
        QTest::qWait(2 * CThumbView::kPollMs);
        const QImage cells = pane->viewport()->grab().toImage();
        QVERIFY(SameAt(cells, ThumbnailOrigin(*pane, first, thumb, 2.0), thumb));
    }
};

int main(int argc, char** argv)
{
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestHighDensity test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_highdensity.moc"
