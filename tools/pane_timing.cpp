// pane_timing: how long the thumbnail pane takes with a folder of 10 000
// images, on the offscreen platform (no display needed).
//
//   QT_QPA_PLATFORM=offscreen pane_timing [--items N]
//
// 1. Rebuild (labels measured), layout and the first paint of a 1920 x 400
//    pane, in "Small Thumbnails" and in "List" mode.
// 2. A full repaint of the pane with its visible thumbnails ready.
// 3. One wheel step: the scroll and the paint of the uncovered strip.
// Figures are wall-clock times on this machine (best and median of several
// runs); nothing is asserted.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <QApplication>
#include <QTemporaryDir>
#include <QWheelEvent>

#include "browse/shell_pidl.h"
#include "display/display_bitmap.h"
#include "thumbs/image_item.h"
#include "thumbs/thumb_loader.h"
#include "thumbs/thumbnail_pane.h"
#include "tools/jpeg_writer.h"

namespace {

using Clock = std::chrono::steady_clock;

// Best and median of `runs` timings of `work`, in milliseconds.
void Time(const char* what, int runs, const std::function<void()>& work)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-52s best %7.2f ms   median %7.2f ms\n", what, ms.front(), ms[ms.size() / 2]);
}

bool WriteFolder(const QString& dir, int items)
{
    const auto bytes = jpegwriter::Encode(jpegwriter::MakePhotoLike(96, 64, 1));
    for (int i = 0; i < items; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/holiday photo %05d.jpg", i);
        if (!jpegwriter::WriteFile(dir.toStdString() + name, bytes))
            return false;
    }
    return true;
}

void Wheel(QWidget* target, int delta)
{
    QWheelEvent e(QPointF(10, 10), target->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, delta),
                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &e);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int items = 10000;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--items") == 0)
            items = std::max(1, std::atoi(argv[i + 1]));

    QTemporaryDir dir;
    if (!dir.isValid() || !WriteFolder(dir.path(), items)) {
        std::fprintf(stderr, "cannot write the test folder\n");
        return 1;
    }
    CThumbLoader loader;
    CShellPidl folder;
    if (!folder.ParseName(dir.path().toStdString()) || !loader.OpenFolder(folder)) {
        std::fprintf(stderr, "cannot open the test folder\n");
        return 1;
    }
    CDisplayBitmap bitmap;
    bitmap.Create(24);
    CThumbView pane(&loader, &bitmap);
    pane.resize(1920, 400);
    pane.show();
    QCoreApplication::processEvents();
    QWidget* view = pane.viewport();
    std::printf("%d items, viewport %d x %d\n", items, view->width(), view->height());

    Time("rebuild + layout + first paint, thumbnails (80)", 5, [&] {
        pane.SetMode(true, kSmallThumbnailSize);
        view->repaint();
    });
    Time("rebuild + layout + first paint, list", 5, [&] {
        pane.SetMode(false, 0);
        view->repaint();
    });

    pane.SetMode(true, kSmallThumbnailSize);
    loader.StartThumbnails(kSmallThumbnailSize);
    const CPaneLayout& layout = pane.Layout();
    const int visible = std::min(items, layout.Rows() * (view->width() / layout.Step() + 2));
    ImageItem* item = loader.FirstItem();
    for (int i = 0; i < visible && item; ++i, item = item->next)
        while (!loader.ThumbnailOf(item))
            item->thumbnailReady.WaitFor(std::chrono::milliseconds(100));
    loader.PauseThumbnails();
    Time("full repaint, thumbnails shown", 20, [&] { view->repaint(); });
    Time("wheel step (scroll + paint)", 20, [&] {
        Wheel(view, -120);
        QCoreApplication::processEvents();  // paints the uncovered strip
    });
    return 0;
}
