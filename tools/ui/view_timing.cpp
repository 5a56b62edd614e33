// view_timing: how long the viewer takes to put images on the screen, with
// the real main window on the offscreen platform (no display needed).
//
//   QT_QPA_PLATFORM=offscreen view_timing [--steps N]
//
// 1. A 24-megapixel JPEG fitted to a 1920 x 1080 view, reached with End so
//    that it is not prefetched: from the key to the first painted rows and to
//    the paint of the last row. The same decode without the window (decoder
//    only: first and last source row handled) is given for comparison.
// 2. PageDown to a prefetched next image: from the key to the paint that
//    completes the image in the view (12-megapixel photos).
// Figures are wall-clock times on this machine; nothing is asserted.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTemporaryDir>

#include "common/app_settings.h"
#include "app/main_frame.h"
#include "decode/jpeg_decoder.h"
#include "view/image_view.h"
#include "res/command_table.h"
#include "loader/image_item.h"
#include "loader/thumb_loader.h"
#include "tools/jpeg_writer.h"

namespace {

constexpr int kViewWidth = 1920;
constexpr int kViewHeight = 1080;

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

bool WritePhoto(const QString& path, int width, int height, uint32_t seed)
{
    jpegwriter::EncodeOptions options;
    options.quality = 88;
    return jpegwriter::WriteFile(path.toStdString(),
                                 jpegwriter::Encode(jpegwriter::MakePhotoLike(width, height, seed), options));
}

// Records the paints of the view and when the shown image was first partly
// and then completely on the screen.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(CImageView* view) : m_view(view) { view->installEventFilter(this); }
    void Reset(CImageBitmap* target)
    {
        m_target = target;
        m_first = m_last = {};
    }
    bool Complete() const { return m_last != Clock::time_point {}; }
    Clock::time_point First() const { return m_first; }
    Clock::time_point Last() const { return m_last; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // The view's dirty rectangle is set at its refresh tick, before the
        // paint it asks for: it tells what this paint draws.
        if (watched == m_view && event->type() == QEvent::Paint && m_target && m_view->Image() == m_target) {
            const DirtyRect drawn = m_view->LastDirtyRect();
            const auto now = Clock::now();
            if (!drawn.IsEmpty() && m_first == Clock::time_point {})
                m_first = now;
            if (drawn == DirtyRect {0, 0, m_target->Width(), m_target->Height()} && !Complete())
                m_last = now;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    CImageView* m_view;
    CImageBitmap* m_target = nullptr;
    Clock::time_point m_first, m_last;
};

// Runs the event loop until `done` holds or the time runs out.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 60000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void PressKey(CImageView* view, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &press);
}

// Sizes the window so that the view is 1920 x 1080 without the control panel.
bool LayOut(CMainFrame& frame)
{
    if (frame.ControlPanelShown())
        frame.RunCommand(res::kCmdControlPanel);
    for (int i = 0; i < 3; ++i) {
        CImageView* view = frame.ImageView();
        const QSize extra = frame.size() - view->size();
        frame.resize(kViewWidth + extra.width(), kViewHeight + extra.height());
        WaitFor([] { return false; }, 100);
        if (view->size() == QSize(kViewWidth, kViewHeight))
            return true;
    }
    return false;
}

void DecoderOnly(const std::string& path)
{
    struct RowTimes : IDecodeProgress {
        Clock::time_point first, last;
        bool Progress(int totalRows, int row) override
        {
            if (row == 0)
                first = Clock::now();
            if (row == totalRows - 1)
                last = Clock::now();
            return true;
        }
    } progress;
    CJpegDecoder decoder;
    DecodeRequest request;
    request.path = path;
    request.targetWidth = kViewWidth;
    request.targetHeight = kViewHeight;
    request.highQuality = true;
    const auto start = Clock::now();
    if (!decoder.OpenForDisplay(request) || !decoder.Decode(nullptr, &progress)) {
        std::printf("decoder only: the decode failed\n");
        return;
    }
    std::printf("24 MP fitted to 1920x1080, decoder only: first row %.0f ms, last row %.0f ms (%dx%d)\n",
                Ms(start, progress.first), Ms(start, progress.last), decoder.DisplayImage().Width(),
                decoder.DisplayImage().Height());
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int steps = 4;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--steps") == 0 && i + 1 < argc)
            steps = std::max(1, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr, "usage: view_timing [--steps N]\n");
            return 2;
        }
    }
    QApplication app(argc, argv);
    QTemporaryDir dir;
    std::printf("writing %d 12 MP photos and one 24 MP photo...\n", steps + 1);
    for (int i = 0; i <= steps; ++i)
        WritePhoto(dir.filePath(QString("a%1.jpg").arg(i)), 4000, 3000, 10 + i);
    WritePhoto(dir.filePath("z-24mp.jpg"), 6000, 4000, 99);

    AppSettings settings = AppSettings::Defaults(kViewWidth, kViewHeight, dir.path().toStdString());
    settings.fullScreen = 0;
    settings.nameBar = 0;
    CMainFrame frame;
    if (!frame.Create(&settings)) {
        std::fprintf(stderr, "view_timing: the main window could not be created\n");
        return 1;
    }
    frame.ShowAtStart();
    if (!LayOut(frame))
        std::printf("note: the view is %dx%d, not 1920x1080\n", frame.ImageView()->width(),
                    frame.ImageView()->height());
    CImageView* view = frame.ImageView();
    CThumbLoader* loader = frame.Loader();
    PaintWatch watch(view);

    if (!WaitFor([&] { return frame.CurrentItem() != nullptr; })) {
        std::fprintf(stderr, "view_timing: no image was shown\n");
        return 1;
    }
    // 1. The 24-megapixel image, last in the list: End reaches it from the
    // second image, whose neighbours are the first and the third, so it is
    // not prefetched (the first image's previous neighbour would be it).
    WaitFor([&] { return frame.CurrentItem()->displayDone.IsSet(); });
    PressKey(view, Qt::Key_PageDown);
    WaitFor([&] { return frame.CurrentItem() == loader->FirstItem()->next; });
    WaitFor([&] { return frame.CurrentItem()->displayDone.IsSet(); });
    WaitFor([] { return false; }, 1000);
    const auto start = Clock::now();
    PressKey(view, Qt::Key_End);
    CImageBitmap* big = nullptr;
    WaitFor([&] {
        if (!big && frame.CurrentItem() && frame.CurrentItem()->name == "z-24mp.jpg") {
            big = loader->DisplayImageOf(frame.CurrentItem());
            if (big)
                watch.Reset(big);
        }
        return big && watch.Complete();
    });
    if (big && watch.Complete())
        std::printf("24 MP fitted to 1920x1080 on screen: first rows %.0f ms, last row %.0f ms (%dx%d)\n",
                    Ms(start, watch.First()), Ms(start, watch.Last()), big->Width(), big->Height());
    else
        std::printf("24 MP image: did not complete on screen\n");
    // 2. PageDown to the prefetched next image, from the first one on.
    PressKey(view, Qt::Key_Home);
    WaitFor([&] { return frame.CurrentItem() == loader->FirstItem(); });
    std::vector<double> times;
    for (int i = 0; i < steps; ++i) {
        ImageItem* next = frame.CurrentItem()->next;
        if (!next || next->name == "z-24mp.jpg")
            break;
        // Everything settled: the current image complete, the next one decoded.
        WaitFor([&] { return frame.CurrentItem()->displayDone.IsSet() && next->displayDone.IsSet(); });
        WaitFor([] { return false; }, 300);
        watch.Reset(loader->DisplayImageOf(next));
        const auto start = Clock::now();
        PressKey(view, Qt::Key_PageDown);
        if (!WaitFor([&] { return watch.Complete(); })) {
            std::printf("PageDown %d: the image did not complete\n", i + 1);
            continue;
        }
        times.push_back(Ms(start, watch.Last()));
        std::printf("PageDown %d to a prefetched 12 MP image: complete on screen after %.0f ms\n", i + 1,
                    times.back());
    }
    if (!times.empty()) {
        std::sort(times.begin(), times.end());
        std::printf("PageDown, prefetched: median %.0f ms over %zu steps\n", times[times.size() / 2],
                    times.size());
    }

    DecoderOnly(dir.filePath("z-24mp.jpg").toStdString());
    return 0;
}
