// pane_timing: how long the thumbnail pane takes with a folder of 10 000
// images, on the offscreen platform (no display needed).
//
//   QT_QPA_PLATFORM=offscreen pane_timing [--items N] [--photos DIR] [--scroll-through DIR]
//
// 1. Rebuild (labels measured), layout and the first paint of a 1920 x 400
//    pane, in "Small Thumbnails" and in "List" mode.
// 2. A full repaint of the pane with its visible thumbnails ready.
// 3. One wheel step: the scroll and the paint of the uncovered strip.
// 4. The whole road of a folder chosen in the main window's folder tree: the
//    tree lists it, the loader lists and sorts it, the pane is rebuilt and
//    paints its first screen.
// 5. With --photos: how soon the thumbnails of the first screen of a folder
//    of photos are all made, against the time the worker needs for those
//    files alone; then the same for the last screen after scrolling to the
//    end, which shows whether the worker follows the scroll.
// 6. With --scroll-through DIR: the time to list a (huge) folder and the
//    memory an item takes, then a page-by-page scroll through all of it in
//    "Big Thumbnails", each screen waited for, with the resident size at its
//    peak and at the end.
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

#include <unistd.h>

#include "common/app_settings.h"
#include "app/control_panel.h"
#include "app/main_frame.h"
#include "tree/folder_tree.h"
#include "browse/shell_pidl.h"
#include "display/display_bitmap.h"
#include "loader/image_item.h"
#include "loader/thumb_loader.h"
#include "pane/thumbnail_pane.h"
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

// The main window on the folder's parent; the big folder and an empty one
// are chosen in turn in the tree, and only the big one is timed.
void TimeFolderChoice(const QString& big, int items)
{
    QTemporaryDir empty;
    AppSettings settings = AppSettings::Defaults(1920, 1080, empty.path().toStdString());
    settings.fullScreen = 0;
    settings.windowRect = {0, 0, 1920, 1080};
    CMainFrame frame;
    if (!empty.isValid() || !frame.Create(&settings))
        return;
    frame.ShowAtStart();
    QCoreApplication::processEvents();
    CShellPidl bigFolder, emptyFolder;
    bigFolder.ParseName(big.toStdString());
    emptyFolder.ParseName(empty.path().toStdString());
    CFolderTree* tree = frame.ControlPanel()->FolderTree();
    QWidget* paneView = frame.ControlPanel()->ThumbnailPane()->viewport();
    std::vector<double> ms;
    for (int run = 0; run < 5; ++run) {
        tree->SelectPidl(emptyFolder, true);
        QCoreApplication::processEvents();
        const auto start = Clock::now();
        tree->SelectPidl(bigFolder, true);
        paneView->repaint();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        QCoreApplication::processEvents();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("folder of %d chosen in the tree, first screen painted best %7.2f ms   median %7.2f ms\n",
                items, ms.front(), ms[ms.size() / 2]);
}

// The items of the columns a 1920 x 400 pane shows at its scroll position.
std::vector<ImageItem*> ScreenItems(CThumbView& pane, CThumbLoader& loader)
{
    const CPaneLayout& layout = pane.Layout();
    const int width = pane.viewport()->width(), at = pane.ScrollPosition();
    std::vector<ImageItem*> all;
    for (ImageItem* item = loader.FirstItem(); item; item = item->next)
        all.push_back(item);
    std::vector<ImageItem*> shown;
    for (int k = layout.FirstColumnEndingAfter(at);
         k < layout.ColumnCount() && layout.ColumnAt(k).left < at + width; ++k)
        for (int e = layout.ColumnAt(k).first;
             e < std::min(layout.Count(), layout.ColumnAt(k).first + layout.Rows()); ++e)
            shown.push_back(all[size_t(e)]);
    return shown;
}

// Milliseconds until every item has its thumbnail (or failed).
double WaitThumbnails(CThumbLoader& loader, const std::vector<ImageItem*>& items, Clock::time_point start)
{
    for (ImageItem* item : items)
        while (!loader.ThumbnailOf(item) && !item->thumbnailFailed.load())
            item->thumbnailReady.WaitFor(std::chrono::milliseconds(5));
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The same files alone in a folder of links: the worker's time for them.
double AloneMs(CThumbLoader& from, const std::vector<ImageItem*>& items)
{
    QTemporaryDir alone;
    for (ImageItem* item : items) {
        const std::string path = from.ItemPath(item);
        const std::string link = alone.path().toStdString() + "/" + item->name;
        if (::symlink(path.c_str(), link.c_str()) != 0)
            return -1;
    }
    CThumbLoader loader;
    CShellPidl folder;
    if (!folder.ParseName(alone.path().toStdString()) || !loader.OpenFolder(folder))
        return -1;
    std::vector<ImageItem*> all;
    for (ImageItem* item = loader.FirstItem(); item; item = item->next)
        all.push_back(item);
    const auto start = Clock::now();
    loader.StartThumbnails(kSmallThumbnailSize);
    return WaitThumbnails(loader, all, start);
}

void TimePhotos(const QString& photos)
{
    CThumbLoader loader;
    CShellPidl folder;
    if (!folder.ParseName(photos.toStdString()) || !loader.OpenFolder(folder)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(photos));
        return;
    }
    CDisplayBitmap bitmap;
    bitmap.Create(24);
    CThumbView pane(&loader, &bitmap);
    pane.resize(1920, 400);
    pane.show();
    pane.SetMode(true, kSmallThumbnailSize);
    QCoreApplication::processEvents();
    const std::vector<ImageItem*> first = ScreenItems(pane, loader);
    auto start = Clock::now();
    loader.StartThumbnails(kSmallThumbnailSize);
    const double firstMs = WaitThumbnails(loader, first, start);
    loader.StartThumbnails(kSmallThumbnailSize);  // from the top again, nothing made yet
    start = Clock::now();
    pane.ScrollTo(pane.Layout().TotalWidth());
    const std::vector<ImageItem*> last = ScreenItems(pane, loader);
    const double lastMs = WaitThumbnails(loader, last, start);
    loader.PauseThumbnails();
    std::printf(
        "%d photos; first screen (%zu) %.0f ms, alone %.0f ms; last screen after scrolling (%zu) %.0f ms, "
        "alone %.0f ms\n",
        loader.ItemCount(), first.size(), firstMs, AloneMs(loader, first), last.size(), lastMs,
        AloneMs(loader, last));
}

// Resident size now and at its peak, in megabytes, from /proc.
void ResidentMb(double* now, double* peak)
{
    *now = *peak = 0;
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            long kb = 0;
            if (std::sscanf(line, "VmRSS: %ld", &kb) == 1)
                *now = kb / 1024.0;
            if (std::sscanf(line, "VmHWM: %ld", &kb) == 1)
                *peak = kb / 1024.0;
        }
        std::fclose(f);
    }
}

void ScrollThrough(const QString& path)
{
    double before = 0, peak = 0, listed = 0;
    ResidentMb(&before, &peak);
    CThumbLoader loader;
    CShellPidl folder;
    auto start = Clock::now();
    if (!folder.ParseName(path.toStdString()) || !loader.OpenFolder(folder)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
        return;
    }
    const double listMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    ResidentMb(&listed, &peak);
    const int count = loader.ItemCount();
    std::printf("%d items listed and sorted in %.0f ms; %.0f bytes of memory an item\n", count, listMs,
                count ? (listed - before) * 1048576.0 / count : 0.0);
    CDisplayBitmap bitmap;
    bitmap.Create(24);
    CThumbView pane(&loader, &bitmap);
    pane.resize(1920, 400);
    pane.show();
    pane.SetMode(true, kBigThumbnailSize);
    QCoreApplication::processEvents();
    double rebuilt = 0;
    ResidentMb(&rebuilt, &peak);
    std::printf("pane rebuilt: %.0f bytes an item more\n",
                count ? (rebuilt - listed) * 1048576.0 / count : 0.0);
    start = Clock::now();
    loader.StartThumbnails(kBigThumbnailSize);
    int pages = 0;
    for (;;) {
        WaitThumbnails(loader, ScreenItems(pane, loader), Clock::now());
        QCoreApplication::processEvents();
        ++pages;
        const int at = pane.ScrollPosition();
        pane.ScrollTo(at + pane.viewport()->width());
        if (pane.ScrollPosition() == at)
            break;
    }
    double now = 0;
    ResidentMb(&now, &peak);
    std::printf("scrolled through %d screens in %.1f s; resident %.0f MB at the end, %.0f MB at the peak; "
                "thumbnails held %.1f MB\n",
                pages, std::chrono::duration<double>(Clock::now() - start).count(), now, peak,
                loader.ThumbnailBytes() / 1048576.0);
    loader.PauseThumbnails();
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int items = 10000;
    QString photos, scroll;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--items") == 0)
            items = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--photos") == 0)
            photos = QString::fromLocal8Bit(argv[i + 1]);
        if (std::strcmp(argv[i], "--scroll-through") == 0)
            scroll = QString::fromLocal8Bit(argv[i + 1]);
    }
    if (!photos.isEmpty()) {
        TimePhotos(photos);
        return 0;
    }
    if (!scroll.isEmpty()) {
        ScrollThrough(scroll);
        return 0;
    }

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
    TimeFolderChoice(dir.path(), items);
    return 0;
}
