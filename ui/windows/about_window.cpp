#include "windows/about_window.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QUrl>

#include "common/window_placement.h"
#include "report/string_table.h"
#include "windows/about_items.h"

namespace {

enum Item : size_t {
    kPicture,
    kProduct,
    kAuthor,
    kLocation,
    kSiteLabel,
    kSiteLink,
    kMailLabel,
    kMailLink,
    kJpegLine1,
    kJpegLine2,
    kButton,
};

int ScreenDepth()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 32;
}

}  // namespace

std::array<QRect, 11> LayoutAboutItems(const std::array<QSize, 11>& s, QSize* clientSize)
{
    const auto w = [&](Item i) { return s[i].width(); };
    const auto h = [&](Item i) { return s[i].height(); };
    const int left = w(kPicture) + 20;
    const int y5 = h(kProduct) + h(kAuthor) + h(kLocation) + 40;
    const int y7 = y5 + h(kSiteLabel) + 10;
    const int y9 = y7 + h(kMailLabel) + 30;
    const std::array<QPoint, 11> at = {{
        {0, 0},
        {left, 0},
        {left, h(kProduct) + 20},
        {left, h(kProduct) + h(kAuthor) + 20},
        {left, y5},
        {left + w(kSiteLabel), y5},
        {left, y7},
        {left + w(kMailLabel), y7},
        {left, y9},
        {left, y9 + h(kJpegLine1)},
        {0, h(kPicture) + 20},
    }};
    std::array<QRect, 11> rects;
    int right = 0, bottom = 0;
    for (size_t i = 0; i < rects.size(); ++i) {
        rects[i] = QRect(at[i], s[i]);
        right = std::max(right, at[i].x() + s[i].width());
        bottom = std::max(bottom, at[i].y() + s[i].height());
    }
    *clientSize = QSize(right + 2 * CAboutWnd::kMargin, bottom + 2 * CAboutWnd::kMargin);
    for (QRect& r : rects)
        r.translate(CAboutWnd::kMargin, CAboutWnd::kMargin);
    rects[kButton].moveLeft((clientSize->width() - s[kButton].width()) / 2);
    return rects;
}

CAboutWnd::CAboutWnd(QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromUtf8(res::String(res::kStrAboutCaption)));
    setWindowIcon(QIcon(QStringLiteral(":/res/icon_128.png")));
    setMouseTracking(true);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };

    if (!m_displayBitmap.Create(ScreenDepth(), kStripSize, kStripSize, true))
        return;
    BuildItems();
    if (!static_cast<CAboutPicture*>(m_items[kPicture].get())->Loaded())
        return;
    std::array<QSize, 11> sizes;
    for (size_t i = 0; i < sizes.size(); ++i)
        sizes[i] = m_items[i]->Rect().size();
    QSize client;
    const auto rects = LayoutAboutItems(sizes, &client);
    for (size_t i = 0; i < rects.size(); ++i)
        m_items[i]->SetRect(rects[i]);
    setFixedSize(client);
    // On Wayland the compositor places the window, over its owner.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen && ProgramPlacesWindows()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - client.width()) / 2,
             area.y() + (area.height() - client.height()) / 2);
    }
    m_timer.start(kHoverTimerMs, this);
    m_created = true;
}

CAboutWnd::~CAboutWnd() = default;

QString CAboutWnd::DocumentationPath(const QString& programDir)
{
    // Installed: the program's bin folder and the documentation's folder
    // keep their places relative to each other whatever the prefix. Not
    // installed: the build puts a copy of the README next to the program.
    const QString candidates[]
        = {QStringLiteral(LUMVANE_DOC_FROM_BIN "/README.md"), QStringLiteral("README.md")};
    for (const QString& candidate : candidates) {
        const QString path = QDir::cleanPath(programDir + QLatin1Char('/') + candidate);
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
}

QString CAboutWnd::LinkTarget(const QString& documentation, const QString& section)
{
    if (documentation.isEmpty())
        return QString();
    QUrl url = QUrl::fromLocalFile(documentation);
    url.setFragment(section);
    return url.toString(QUrl::FullyEncoded);
}

void CAboutWnd::BuildItems()
{
    QFile picture(QStringLiteral(":/res/about_picture.dib"));
    picture.open(QIODevice::ReadOnly);
    const QString documentation = DocumentationPath(QCoreApplication::applicationDirPath());
    m_items.push_back(std::make_unique<CAboutPicture>(this, &m_displayBitmap, picture.readAll()));
    m_items.push_back(
        std::make_unique<CAboutText>(this, QStringLiteral("Lumvane v" LUMVANE_VERSION), 35, true));
    m_items.push_back(std::make_unique<CAboutText>(this, QStringLiteral("The Lumvane developers"), 0, true));
    m_items.push_back(
        std::make_unique<CAboutText>(this, QStringLiteral("A JPEG photo viewer for Linux"), 0, false));
    // The links name themselves, so the texts before them are empty; they
    // keep the lines' heights and places.
    m_items.push_back(std::make_unique<CAboutText>(this, QString(), 0, false));
    m_items.push_back(std::make_unique<CAboutLink>(
        this, QString::fromUtf8(res::String(res::kStrDocumentation)), LinkTarget(documentation, QString())));
    m_items.push_back(std::make_unique<CAboutText>(this, QString(), 0, false));
    m_items.push_back(
        std::make_unique<CAboutLink>(this, QString::fromUtf8(res::String(res::kStrReportProblem)),
                                     LinkTarget(documentation, QString::fromLatin1(kProblemSection))));
    m_items.push_back(std::make_unique<CAboutText>(
        this, QStringLiteral("This software is based in part on the"), 0, false));
    m_items.push_back(
        std::make_unique<CAboutText>(this, QStringLiteral("work of the Independent JPEG Group"), 0, false));
    m_items.push_back(std::make_unique<CAboutButton>(this, QStringLiteral("Close")));
}

CAboutItem* CAboutWnd::ItemAt(const QPoint& point) const
{
    for (const auto& item : m_items)
        if (item->Rect().contains(point))
            return item.get();
    return nullptr;
}

void CAboutWnd::OpenLink(const QString& target)
{
    if (openUrl && !target.isEmpty())
        openUrl(QUrl(target));
}

void CAboutWnd::SetHover(CAboutItem* item)
{
    if (item == m_hover)
        return;
    if (m_hover)
        m_hover->HoverOff();
    m_hover = item;
    if (m_hover)
        m_hover->HoverOn();
    else
        setCursor(Qt::ArrowCursor);
}

void CAboutWnd::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    for (const auto& item : m_items)
        if (item->Rect().intersects(event->rect()))
            item->Draw(painter);
}

void CAboutWnd::mouseMoveEvent(QMouseEvent* event)
{
    SetHover(ItemAt(event->position().toPoint()));
}

void CAboutWnd::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (CAboutItem* item = ItemAt(event->position().toPoint()))
        item->Click();
}

// The mouse may leave the window quickly without a move being reported
// inside it: the hover ends once the pointer is outside or over another
// window.
void CAboutWnd::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_timer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    if (!isVisible() || !m_hover)
        return;
    if (!PointerOver(this)) {
        m_hover->HoverOff();
        m_hover = nullptr;
    }
}
