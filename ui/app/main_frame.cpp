#include "app/main_frame.h"

#include <cmath>

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMenuBar>
#include <QPainter>
#include <QPaintEvent>
#include <QScreen>
#include <QTimer>

#include "app/control_panel.h"
#include "app/frame_windows.h"
#include "app/loader_dialogs.h"
#include "app/shown_folder_watch.h"
#include "common/split_bar.h"
#include "common/wait_cursor.h"
#include "common/window_placement.h"
#include "tree/folder_tree.h"
#include "view/image_view.h"
#include "report/string_table.h"
#include "res/toolbar_icons.h"
#include "loader/thumb_loader.h"
#include "cache/thumbnail_cache.h"
#include "pane/thumbnail_pane.h"

namespace {

// The main window's client area: holds the panes and paints the name bar
// below them; its size drives the layout.
class CClientArea : public QWidget {
public:
    explicit CClientArea(CMainFrame* frame) : QWidget(frame), m_frame(frame)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        m_frame->OnClientResized(width(), height());
    }
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        m_frame->PaintNameBar(painter, event->rect());
    }

private:
    CMainFrame* m_frame;
};

int ScreenDepth()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 32;
}

}  // namespace

CMainFrame::CMainFrame()
    : m_loaderDialogs(std::make_unique<CLoaderDialogs>(this)), m_loader(std::make_unique<CThumbLoader>()),
      m_folderWatch(std::make_unique<CShownFolderWatch>(this))
{
    setWindowTitle(QString::fromUtf8(res::String(res::kStrAppTitle)));
    setWindowIcon(res::AppIcon());
    // One queued call at a time, however fast the worker calls (a key held
    // down). The destructor stops the worker before the window goes, and Qt
    // drops a call still queued for a window destroyed.
    m_loader->SetDisplayWake([this] {
        if (!m_wakePending.exchange(true))
            QMetaObject::invokeMethod(this, &CMainFrame::OnDisplayWake, Qt::QueuedConnection);
    });
}

CMainFrame::~CMainFrame()
{
    qApp->removeEventFilter(this);
    // The view must let go of the image before the loader frees its decoder.
    if (m_view)
        m_view->SetImage(nullptr);
    m_currentItem = nullptr;
    m_imageTimer.stop();
    m_slideTimer.stop();
    m_loader.reset();
}

bool CMainFrame::Create(AppSettings* settings)
{
    m_settings = settings;
    m_windows = std::make_unique<CFrameWindows>(this, m_settings, m_loader.get());
    setGeometry(m_settings->windowRect.ToQRect());

    CreateActions();
    m_acceleratorsOn = true;
    qApp->installEventFilter(this);

    if (!SetUpDisplayBitmap())
        return false;

    m_client = new CClientArea(this);
    setCentralWidget(m_client);
    m_view = new CImageView(&m_displayBitmap);
    connect(m_view, &CImageView::KeyPressed, this, &CMainFrame::OnViewKey, Qt::DirectConnection);
    connect(m_view, &CImageView::WheelNotch, this, &CMainFrame::OnWheelNotch, Qt::DirectConnection);
    connect(m_view, &CImageView::ContextMenuRequested, this, &CMainFrame::OnContextMenu,
            Qt::DirectConnection);

    m_loader->SetHost(m_loaderDialogs.get());
    m_loader->SetOptions(m_settings->highQualitySubsampling, m_settings->zoomInterpolation,
                         m_settings->exifThumbnails);
    m_loader->SetPictureOptions(m_settings->Picture());
    ApplyThumbnailCache();
    m_view->SetGamma(kGammaOff);

    m_controlPanel = new CControlPanel(m_loader.get(), &m_displayBitmap, m_settings->panelSplitPos);
    m_controlPanel->hide();
    if (!m_controlPanel->Create([this](int id) { return Action(id); }))
        return false;
    ConnectPanes();
    ApplyThumbnailMode();

    m_mainSplitBar = new CSplitBar(m_controlPanel, m_view, false, m_settings->mainSplitPos, m_client);
    connect(m_mainSplitBar, &CSplitBar::LaidOut, this, &CMainFrame::OnSplitterLaidOut, Qt::DirectConnection);
    m_windows->CreatePropertiesWindow();

    BuildMenus();
    menuBar()->hide();

    m_nameBarHeight = QFontMetrics(QApplication::font()).height() + 1;
    m_currentItem = nullptr;
    m_fitSuspended = false;
    m_slideShowRunning = false;

    if (!OpenStartPath())
        return false;

    ApplyFullScreen();
    m_imageTimer.start(kImageTimerMs, this);
    UpdateSlideTimer();
    UpdateActions();
    return true;
}

void CMainFrame::ShowAtStart()
{
    show();
    activateWindow();
    m_view->setFocus();
    // Should the window be laid out before it showed, no layout comes to ask
    // for the first image: ask once the events of the show are through.
    QTimer::singleShot(0, this, [this] { ViewReady(); });
}

void CMainFrame::ViewReady()
{
    if (m_viewReady || !isVisible())
        return;
    m_viewReady = true;
    if (m_requestPending && m_currentItem) {
        m_requestPending = false;
        RequestCurrentImage();
    }
}

bool CMainFrame::SetUpDisplayBitmap()
{
    CDisplayBitmap fresh;
    if (!fresh.Create(ScreenDepth(), CDisplayBitmap::kDefaultStripSize, CDisplayBitmap::kDefaultStripSize,
                      m_settings->dithering))
        return false;
    // The view and the panes keep their pointer to this one instance.
    m_displayBitmap.Create(ScreenDepth(), CDisplayBitmap::kDefaultStripSize,
                           CDisplayBitmap::kDefaultStripSize, m_settings->dithering);
    update();
    if (m_view)
        m_view->update();
    return true;
}

void CMainFrame::ApplyLoaderOptions()
{
    // The loader stops its workers, which may clear the image the view shows.
    m_view->SetImage(nullptr);
    m_loader->SetOptions(m_settings->highQualitySubsampling, m_settings->zoomInterpolation,
                         m_settings->exifThumbnails);
    m_loader->SetPictureOptions(m_settings->Picture());
    ApplyThumbnailCache();
    StartThumbnails();
    m_controlPanel->ThumbnailPane()->Rebuild();
    ShowImage(m_currentItem, true);
}

void CMainFrame::ApplyThumbnailCache()
{
    const std::string root = CThumbnailCache::DefaultRoot();
    m_loader->SetThumbnailCache(m_settings->sharedThumbnailCache && !root.empty()
                                    ? std::make_shared<CThumbnailCache>(root)
                                    : nullptr);
}

// Opens the command-line file alone, or the start folder. A command-line
// path that names a folder opens that folder as the start folder. False when
// a path names something outside the file system, or the start folder is
// not a folder.
bool CMainFrame::OpenStartPath()
{
    std::string folder = m_settings->startFolder;
    bool nameBar = m_settings->nameBar;
    if (!m_settings->commandLineFile.empty()) {
        nameBar = false;
        CShellPidl file;
        uint32_t attributes = kAttrFileSystem | kAttrFolder;
        if (!file.ParseName(m_settings->commandLineFile, &attributes)) {
            m_nameBarVisible = false;
            m_folderPending = false;
            ShowControlPanel(true);
            return true;
        }
        if (!(attributes & kAttrFileSystem))
            return false;
        if (!(attributes & kAttrFolder)) {
            m_nameBarVisible = false;
            // Without a listed file there is nothing for CompleteFolder to keep.
            m_folderPending = m_loader->OpenSingleFile(file);
            ShowImage(m_loader->FirstItem(), false);
            return true;
        }
        folder = m_settings->commandLineFile;
        nameBar = m_settings->nameBar;
    }
    m_nameBarVisible = nameBar;
    m_folderPending = false;
    CShellPidl pidl;
    uint32_t attributes = kAttrFileSystem | kAttrFolder;
    if (pidl.ParseName(folder, &attributes)) {
        if ((attributes & (kAttrFileSystem | kAttrFolder)) != (kAttrFileSystem | kAttrFolder))
            return false;
        // The tree's notification opens the folder and shows its first image.
        m_controlPanel->FolderTree()->SelectPidl(pidl, true);
    }
    ShowControlPanel(true);
    return true;
}

void CMainFrame::ApplyFullScreen()
{
    if (m_settings->fullScreen) {
        if (!isFullScreen())
            m_settings->windowRect
                = SettingsRect::FromQRect(RectToRemember(geometry(), m_settings->windowRect.ToQRect()));
        // Without a window manager the state alone does not move the window.
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            setGeometry(screen->geometry());
        setWindowState(windowState() | Qt::WindowFullScreen);
    } else {
        setWindowState(windowState() & ~Qt::WindowFullScreen);
        setGeometry(m_settings->windowRect.ToQRect());
    }
}

void CMainFrame::OnClientResized(int cx, int cy)
{
    const int strip = m_nameBarVisible ? m_nameBarHeight : 0;
    LayoutPanes(QRect(0, 0, cx, cy - strip));
}

void CMainFrame::LayoutPanes(const QRect& rect)
{
    // With the panel hidden the bar's rectangle holds the view alone.
    m_mainSplitBar->Layout(rect);
}

void CMainFrame::OnSplitterLaidOut()
{
    // The first layout of the shown window gives the view its size.
    if (!m_viewReady && isVisible() && !m_view->size().isEmpty()) {
        ViewReady();
        return;
    }
    CheckViewSize();
}

void CMainFrame::CheckViewSize()
{
    // The fitted size depends on the view's size; ask again only when that
    // size really changed, since every request restarts the decode.
    const QSize size = m_view->DeviceSize();
    if (size == m_lastViewSize)
        return;
    m_lastViewSize = size;
    if (!m_fitSuspended && (m_settings->fitHorizontally || m_settings->fitVertically))
        ShowImage(m_currentItem, true);
}

QString CMainFrame::NameBarText() const
{
    if (!m_currentItem)
        return {};
    return QString::fromUtf8(NameWithoutExtension(m_currentItem->name));
}

void CMainFrame::PaintNameBar(QPainter& painter, const QRect& updateRect)
{
    const int cx = m_client->width();
    const int cy = m_client->height();
    if (!m_nameBarVisible || updateRect.bottom() < cy - m_nameBarHeight)
        return;
    const QRect bar(0, cy - m_nameBarHeight, cx, m_nameBarHeight);
    painter.fillRect(bar, Qt::black);
    if (!m_currentItem)
        return;
    painter.setFont(QApplication::font());
    painter.setPen(Qt::white);
    const QFontMetrics metrics(painter.font());
    painter.drawText(0, cy - m_nameBarHeight + 1 + metrics.ascent(), NameBarText());
}

void CMainFrame::InvalidateNameBar()
{
    if (m_nameBarVisible && m_client)
        m_client->update(0, m_client->height() - m_nameBarHeight, m_client->width(), m_nameBarHeight);
}

void CMainFrame::ShowImage(ImageItem* item, bool force)
{
    if (!item || (item == m_currentItem && !force))
        return;
    m_view->SetImage(nullptr);
    m_view->update();
    m_currentItem = item;
    // Before the view has its size a fitted request would decode the image
    // at its own size, only to drop it when the window is laid out: the
    // request waits for ViewReady.
    m_requestPending = !m_viewReady;
    if (!m_requestPending)
        RequestCurrentImage();
    if (ControlPanelShown())
        m_controlPanel->ThumbnailPane()->SelectItem(item, false);
    if (m_windows->PropertiesShown())
        m_windows->ShowPropertiesOf(item);
    m_slideTicks = 0;
    InvalidateNameBar();
}

void CMainFrame::RequestCurrentImage()
{
    const int w = m_view->ClientWidth();
    const int h = m_view->ClientHeight();
    m_lastViewSize = m_view->DeviceSize();

    ViewRequest request;
    request.item = m_currentItem;
    request.rotation = m_settings->rotation;
    // Flips apply to the full-size image too: the flip commands re-request it.
    request.flipHorizontally = m_settings->flipHorizontally;
    request.flipVertically = m_settings->flipVertically;
    if (!m_fitSuspended) {
        request.targetWidth = m_settings->fitHorizontally ? w : 0;
        request.targetHeight = m_settings->fitVertically ? h : 0;
    }
    m_loader->RequestView(request, m_fitSuspended);
}

void CMainFrame::LetGoOfCurrentItem()
{
    m_view->SetImage(nullptr);
    m_currentItem = nullptr;
}

void CMainFrame::ClearImage()
{
    m_currentItem = nullptr;
    m_fitSuspended = false;
    m_slideShowRunning = false;
    m_view->SetImage(nullptr);
    m_view->update();
    m_controlPanel->ThumbnailPane()->Clear();
    InvalidateNameBar();
    m_windows->ShowPropertiesOf(nullptr);
    UpdateSlideTimer();
    UpdateActions();
}

ILoaderHost* CMainFrame::LoaderHost() const
{
    return m_loaderDialogs.get();
}

QWidget* CMainFrame::PropertiesWindow() const
{
    return m_windows ? m_windows->PropertiesWindow() : nullptr;
}

QWidget* CMainFrame::AboutWindow() const
{
    return m_windows ? m_windows->AboutWindow() : nullptr;
}

bool CMainFrame::ControlPanelShown() const
{
    return m_controlPanel && !m_controlPanel->isHidden();
}

void CMainFrame::ShowControlPanel(bool show)
{
    if (show == ControlPanelShown())
        return;
    if (!show) {
        const bool focusInPanel = m_controlPanel->HasFocusInside();
        m_controlPanel->hide();
        menuBar()->hide();
        if (focusInPanel)
            m_view->setFocus();
        m_loader->PauseThumbnails();
        return;
    }
    if (m_folderPending) {
        CompleteFolder();
        if (m_settings->thumbnailMode != ThumbnailMode::List)
            StartThumbnailRun();
        // The folder tree selects the loader's folder, whose notification
        // opens it anew and shows its first image.
        const CShellPidl folder = m_loader->Folder();
        m_controlPanel->FolderTree()->SelectPidl(folder, true);
    }
    if (m_settings->thumbnailMode == ThumbnailMode::List)
        m_loader->PauseThumbnails();
    else
        m_loader->ResumeThumbnails();
    m_controlPanel->show();
    if (m_currentItem)
        m_controlPanel->ThumbnailPane()->SelectItem(m_currentItem, false);
    menuBar()->show();
    if (m_client)
        OnClientResized(m_client->width(), m_client->height());
}

void CMainFrame::CompleteFolder()
{
    if (!m_currentItem || !m_folderPending)
        return;
    const CWaitCursor wait;
    m_folderPending = false;
    m_currentItem = m_loader->CompleteFolder();
    m_folderWatch->WatchShownFolder();
}

int CMainFrame::ThumbnailPixels() const
{
    // Thumbnails are made at the pixels the pane shows them with, so they
    // stay sharp on a high-density screen.
    return int(std::lround(ThumbnailSizeOf(m_settings->thumbnailMode) * devicePixelRatioF()));
}

void CMainFrame::StartThumbnailRun()
{
    // Before the window's first layout, its first image is still to come:
    // the thumbnails leave it a core until it is made.
    if (!m_viewReady)
        m_loader->ExpectDisplay();
    m_loader->StartThumbnails(ThumbnailPixels());
}

void CMainFrame::StartThumbnails()
{
    if (m_settings->thumbnailMode != ThumbnailMode::List)
        StartThumbnailRun();
    if (!ControlPanelShown())
        m_loader->PauseThumbnails();
}

void CMainFrame::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_imageTimer.timerId()) {
        if (isVisible())
            OnImageTick();
        return;
    }
    if (event->timerId() == m_slideTimer.timerId()) {
        if (isVisible())
            OnSlideTick();
        return;
    }
    QMainWindow::timerEvent(event);
}

void CMainFrame::OnImageTick()
{
    if (!m_currentItem)
        return;
    CImageBitmap* image = m_loader->DisplayImageOf(m_currentItem);
    if (image && image != m_view->Image()) {
        m_view->SetImage(image, QString::fromStdString(m_currentItem->name));
        // Shows what is decoded already (all of it when the image was
        // prefetched) without waiting for the view's next refresh tick.
        m_view->RefreshDirty();
    }
}

void CMainFrame::OnDisplayWake()
{
    m_wakePending = false;
    // Hidden, the window hands nothing over, as on its timers.
    if (!isVisible() || !m_view)
        return;
    const CImageBitmap* shown = m_view->Image();
    OnImageTick();
    // An image handed over just now was refreshed there.
    if (shown && shown == m_view->Image())
        m_view->RefreshDirty();
}

void CMainFrame::changeEvent(QEvent* event)
{
    // Qt gives the focus back to the widget that had it; with none, the view.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !focusWidget() && m_view)
        m_view->setFocus();
    QMainWindow::changeEvent(event);
}
