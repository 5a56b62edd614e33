#include "app/copy_image.h"

#include <algorithm>

#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QFontMetrics>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLoggingCategory>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QThread>
#include <QWindow>

#include "export/clipboard_image_data.h"
#include "common/wait_cursor.h"
#include "common/window_placement.h"
#include "decode/bitmap_export.h"

Q_LOGGING_CATEGORY(lcCopy, "lumvane.copy", QtWarningMsg)

namespace {

constexpr int kRowsPerUpdate = 16;
constexpr char kCopyingText[] = "Image is copying to the Clipboard...";

// The progress window: 150 x 35 dialog units, no caption, a border, a
// centred line of text above the bar, centred on the screen.
class CCopyProgressWindow : public QFrame {
public:
    explicit CCopyProgressWindow(QWidget* parent) : QFrame(parent, Qt::Dialog | Qt::FramelessWindowHint)
    {
        setFrameStyle(QFrame::Box | QFrame::Plain);
        const QFontMetrics metrics(font());
        // Dialog units: a quarter of the average character width, an eighth
        // of the character height.
        auto dx = [&](int units) { return units * metrics.averageCharWidth() / 4; };
        auto dy = [&](int units) { return units * metrics.height() / 8; };
        resize(std::max(dx(150), metrics.horizontalAdvance(kCopyingText) + dx(15)), dy(35));
        m_text = new QLabel(kCopyingText, this);
        m_text->setAlignment(Qt::AlignCenter);
        m_text->setGeometry(dx(5), dy(5), width() - dx(10), dy(10));
        m_bar = new QProgressBar(this);
        m_bar->setTextVisible(false);
        m_bar->setGeometry(dx(5), dy(20), width() - dx(10), dy(10));
        const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
        if (screen && ProgramPlacesWindows())
            move(screen->geometry().center() - rect().center());
    }
    QProgressBar* Bar() const { return m_bar; }

private:
    QLabel* m_text = nullptr;
    QProgressBar* m_bar = nullptr;
};

// The window is on the screen only once the display server has answered
// its show: on Wayland the compositor's configure must come back before the
// first frame can go out, which one pass of the event loop does not wait
// for. Events are let through until then, for a bounded time, so the window
// shows before the decode blocks the loop; input stays queued.
void ShowBeforeBlocking(QWidget* window)
{
    constexpr int kLongestWaitMs = 1000;
    const QDeadlineTimer deadline(kLongestWaitMs);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    while (!window->windowHandle()->isExposed() && !deadline.hasExpired()) {
        QThread::msleep(5);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    window->repaint();
    // The frame leaves for the display server when the loop next runs.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace

bool CCopyProgress::Progress(int totalRows, int row)
{
    if (row % kRowsPerUpdate == 0 && m_bar) {
        m_bar->setRange(0, totalRows - 1);
        m_bar->setValue(row);
        // The event loop is blocked by the decode: paint now.
        m_bar->repaint();
    }
    return true;
}

QMimeData* MakeCopyImageData(const QImage& image, const std::vector<uint8_t>& bmpFile)
{
    return new CClipboardImageData(
        image, QByteArray(reinterpret_cast<const char*>(bmpFile.data()), qsizetype(bmpFile.size())));
}

void CopyImageToClipboard(const std::string& path, QWidget* parent, const PictureOptions& picture)
{
    if (path.empty())
        return;
    const CWaitCursor wait;
    CCopyProgressWindow window(parent);
    window.show();
    ShowBeforeBlocking(&window);

    CJpegDecoder decoder;
    DecodeRequest request;
    request.path = path;  // own size, rotation 0, every flag clear
    request.picture = picture;
    CCopyProgress progress(window.Bar());
    if (!decoder.OpenForDisplay(request)) {
        // The picture on the clipboard must never be another one than the
        // user asked for: a file that can't be decoded empties it.
        qCDebug(lcCopy) << "can't open" << QByteArray::fromStdString(path);
        QApplication::clipboard()->clear();
        return;
    }
    if (!decoder.Decode(nullptr, &progress))
        qCDebug(lcCopy) << "decode stopped early; copying what was decoded";

    CImageBitmap& image = decoder.DisplayImage();
    std::vector<uint8_t> bmp;
    {
        PixelLocker lock(image);
        bmp = MakeBmpFile(image);
    }
    QApplication::clipboard()->setMimeData(MakeCopyImageData(CopyBitmap(image), bmp));
}
