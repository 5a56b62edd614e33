#include "view/image_view.h"

#include <algorithm>

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>
#include <QWindow>

#include "common/window_placement.h"
#include "display/display_bitmap.h"
#include "display/pixel_convert.h"

Q_LOGGING_CATEGORY(lcView, "lumvane.view", QtWarningMsg)

namespace {

// `from` minus `cut` when the difference is a rectangle; `from` whole when it
// is not (a hole or an L shape) or when the two do not overlap.
DirtyRect SubtractRect(const DirtyRect& from, const DirtyRect& cut)
{
    if (from.IsEmpty() || cut.IsEmpty() || cut.right <= from.left || cut.left >= from.right
        || cut.bottom <= from.top || cut.top >= from.bottom)
        return from;
    const bool spansX = cut.left <= from.left && cut.right >= from.right;
    const bool spansY = cut.top <= from.top && cut.bottom >= from.bottom;
    if (spansX && spansY)
        return DirtyRect {};
    DirtyRect r = from;
    if (spansX) {
        if (cut.top <= from.top)
            r.top = cut.bottom;
        else if (cut.bottom >= from.bottom)
            r.bottom = cut.top;
        return r;
    }
    if (spansY) {
        if (cut.left <= from.left)
            r.left = cut.right;
        else if (cut.right >= from.right)
            r.right = cut.left;
        return r;
    }
    return from;
}

DirtyRect Ordered(const DirtyRect& r)
{
    return DirtyRect {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                      std::max(r.top, r.bottom)};
}

bool HasPixels(const CImageBitmap* image)
{
    return image && image->Width() > 0 && image->Height() > 0;
}

}  // namespace

CImageView::CImageView(CDisplayBitmap* displayBitmap, QWidget* parent)
    : QWidget(parent), m_display(displayBitmap)
{
    if (!m_display) {
        m_ownDisplay = std::make_unique<CDisplayBitmap>();
        m_display = m_ownDisplay.get();
    }
    // Every pixel is painted by paintEvent (image or black), so Qt need not
    // clear the background first; that also lets scroll() move the contents.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    SetImage(nullptr);
    m_refreshTimer.start(kRefreshMs, this);
}

CImageView::~CImageView() = default;

void CImageView::SetImage(CImageBitmap* image, const QString& name)
{
    m_image = image;
    if (name != m_shownName) {
        m_shownName = name;
        if (QAccessible::isActive()) {
            QAccessibleEvent event(this, QAccessible::NameChanged);
            QAccessible::updateAccessibility(&event);
        }
    }
    m_paintedAny = false;
    m_lastDirty = DirtyRect {};
    m_scrollX = m_scrollY = 0;
    m_reduce = false;
    m_factor = 1;
}

QSize CImageView::GetZoomedSize() const
{
    if (!m_image)
        return QSize(0, 0);
    return QSize(pixelconv::ZoomedExtent(m_image->Width(), m_factor, m_reduce),
                 pixelconv::ZoomedExtent(m_image->Height(), m_factor, m_reduce));
}

QSize CImageView::DeviceSize() const
{
    const qreal r = Ratio();
    return r == 1 ? size() : QSize(qRound(width() * r), qRound(height() * r));
}

QRect CImageView::ToDevice(const QRect& logical) const
{
    const qreal r = Ratio();
    if (r == 1)
        return logical;
    return QRectF(logical.x() * r, logical.y() * r, logical.width() * r, logical.height() * r)
        .toAlignedRect();
}

QRect CImageView::ToLogical(const QRect& device) const
{
    const qreal r = Ratio();
    if (r == 1)
        return device;
    return QRectF(device.x() / r, device.y() / r, device.width() / r, device.height() / r).toAlignedRect();
}

QRect CImageView::ImageArea() const
{
    const QSize z = GetZoomedSize();
    const QSize client = DeviceSize();
    const int cw = client.width(), ch = client.height();
    const int left = z.width() < cw ? (cw - z.width()) / 2 : 0;
    const int top = z.height() < ch ? (ch - z.height()) / 2 : 0;
    return QRect(left, top, std::min(z.width(), cw), std::min(z.height(), ch));
}

void CImageView::ScrollTo(int x, int y, bool repaintAll)
{
    const QSize z = GetZoomedSize();
    const QSize client = DeviceSize();
    x = client.width() < z.width() ? std::clamp(x, 0, z.width() - client.width()) : 0;
    y = client.height() < z.height() ? std::clamp(y, 0, z.height() - client.height()) : 0;
    // Contents move by whole logical pixels only; on a high-density screen
    // the image is painted again instead.
    if (repaintAll || Ratio() != 1) {
        m_scrollX = x;
        m_scrollY = y;
        update();
        return;
    }
    if (x == m_scrollX && y == m_scrollY)
        return;
    const int dx = m_scrollX - x, dy = m_scrollY - y;
    m_scrollX = x;
    m_scrollY = y;
    // Only the image area moves; the bands stay where they are.
    scroll(dx, dy, ImageArea());
}

void CImageView::SetZoom(bool reduce, int factor)
{
    if (!m_image)
        return;
    factor = std::clamp(factor, 1, reduce ? kMaxReduceFactor : kMaxEnlargeFactor);
    if (reduce == m_reduce && factor == m_factor)
        return;
    const QSize oldSize = GetZoomedSize();
    const QSize client = DeviceSize();
    const int cw = client.width(), ch = client.height();
    // The image point at the pane's centre, as a fraction of the old zoomed
    // extent; the middle when the image was narrower than the pane (or empty).
    const long long centreX = m_scrollX + cw / 2, centreY = m_scrollY + ch / 2;
    m_reduce = reduce;
    m_factor = factor;
    const QSize newSize = GetZoomedSize();
    const bool keepX = oldSize.width() >= cw && oldSize.width() > 0;
    const bool keepY = oldSize.height() >= ch && oldSize.height() > 0;
    const long long x = keepX ? newSize.width() * centreX / oldSize.width() : newSize.width() / 2;
    const long long y = keepY ? newSize.height() * centreY / oldSize.height() : newSize.height() / 2;
    ScrollTo(static_cast<int>(x - cw / 2), static_cast<int>(y - ch / 2), true);
}

void CImageView::SetGamma(double gamma)
{
    if (gamma == m_gamma)
        return;
    m_gamma = gamma;
    if (m_gamma >= 0)
        m_gammaTable = pixelconv::MakeGammaTable(m_gamma);
    if (m_image)
        update();
}

void CImageView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (!HasPixels(m_image)) {
        painter.fillRect(event->rect(), Qt::black);
        return;
    }
    // Painting in device pixels: with the ratio undone, an image pixel is
    // drawn on exactly one screen pixel, without scaling.
    const qreal ratio = Ratio();
    if (ratio != 1)
        painter.scale(1 / ratio, 1 / ratio);
    const QRect area = ImageArea();
    for (const QRect& r : event->region())
        PaintRect(painter, ToDevice(r), area);
}

// Paints one rectangle of the pane: the bands and the not yet decoded part of
// the image in black, the decoded part through the display bitmap.
void CImageView::PaintRect(QPainter& painter, const QRect& paintRect, const QRect& area)
{
    const QRect decoded = ImageToClient(m_lastDirty, area);
    const QRect part = paintRect & decoded;
    QRegion black(paintRect);
    black -= part;
    for (const QRect& r : black)
        painter.fillRect(r, Qt::black);
    if (part.isEmpty())
        return;
    const int f = m_factor;
    const int l = part.left() - area.left(), t = part.top() - area.top();
    const int r = l + part.width(), b = t + part.height();
    BlitParams p;
    p.factor = f;
    p.reduce = m_reduce;
    if (!m_reduce) {
        // Partly visible image pixels are drawn whole and clipped.
        p.sourceX = (l + m_scrollX) / f;
        p.sourceY = (t + m_scrollY) / f;
        p.sourceWidth = (r + m_scrollX + f - 1) / f - p.sourceX;
        p.sourceHeight = (b + m_scrollY + f - 1) / f - p.sourceY;
        p.destX = f * p.sourceX - m_scrollX + area.left();
        p.destY = f * p.sourceY - m_scrollY + area.top();
    } else {
        p.sourceX = (l + m_scrollX) * f;
        p.sourceY = (t + m_scrollY) * f;
        p.sourceWidth = (r - l) * f;
        p.sourceHeight = (b - t) * f;
        p.destX = part.left();
        p.destY = part.top();
    }
    p.ditherOffsetX = m_scrollX;
    p.ditherOffsetY = m_scrollY;
    p.gammaOn = m_gamma >= 0;
    if (p.gammaOn)
        p.gammaTable = m_gammaTable;
    painter.save();
    painter.setClipRect(part);
    if (!m_display->Blit(painter, *m_image, p))
        qCDebug(lcView) << "blit failed for" << part;
    else if (!m_paintedAny) {
        // For start-up timing (scripts/bench-start.sh); silent by default.
        m_paintedAny = true;
        qCDebug(lcView, "first rows of a %d x %d image painted", m_image->Width(), m_image->Height());
    }
    painter.restore();
}

// The client rectangle covering an image rectangle at the current zoom and
// scroll, limited to the image area.
QRect CImageView::ImageToClient(const DirtyRect& rect, const QRect& area) const
{
    DirtyRect c = Ordered(rect);
    if (c.IsEmpty())
        return QRect();
    const int f = m_factor;
    if (!m_reduce) {
        c = DirtyRect {c.left * f, c.top * f, c.right * f, c.bottom * f};
    } else {
        c = DirtyRect {c.left / f, c.top / f, (c.right + f - 1) / f, (c.bottom + f - 1) / f};
    }
    const int ox = area.left() - m_scrollX, oy = area.top() - m_scrollY;
    const QRect client(c.left + ox, c.top + oy, c.right - c.left, c.bottom - c.top);
    return client & area;
}

void CImageView::InvalidateImageRect(const DirtyRect& rect)
{
    const QRect r = ImageToClient(rect, ImageArea());
    if (!r.isEmpty())
        update(ToLogical(r));
}

void CImageView::RefreshDirty()
{
    if (!m_image)
        return;
    const DirtyRect now = m_image->GetDirtyRect();
    // A later pass of the decode writes rows again inside the decoded part.
    const DirtyRect remarked = m_image->TakeRemarked();
    if (now == m_lastDirty && remarked.IsEmpty())
        return;
    DirtyRect fresh = SubtractRect(now, m_lastDirty);
    fresh.Unite(remarked);
    m_lastDirty = now;
    InvalidateImageRect(fresh);
}

void CImageView::TickIdleCursor()
{
    if (m_dragging)
        return;
    if (PointerOver(this)) {
        if (m_idleTicks++ >= kIdleTicks && !m_cursorHidden) {
            setCursor(Qt::BlankCursor);
            m_cursorHidden = true;
        }
        return;
    }
    // Elsewhere the widget under the pointer decides the cursor; the view
    // only makes sure it does not stay hidden when the pointer comes back.
    if (m_idleTicks != 0 && m_cursorHidden) {
        unsetCursor();
        m_cursorHidden = false;
    }
    m_idleTicks = 0;
}

void CImageView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_refreshTimer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    if (!isVisible())
        return;
    TickIdleCursor();
    RefreshDirty();
}

void CImageView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_image)
        ScrollTo(m_scrollX, m_scrollY, true);
}

void CImageView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_screenHooked) {
        if (QWindow* w = window()->windowHandle()) {
            connect(w, &QWindow::screenChanged, this, [this](QScreen* s) { SetUpDisplayBitmap(s, true); });
            m_screenHooked = true;
        }
    }
    SetUpDisplayBitmap(screen(), false);
}

// Builds the display bitmap for the screen's depth, keeping its strip size
// and dithering; `force` rebuilds one that exists (the screen changed).
void CImageView::SetUpDisplayBitmap(QScreen* screen, bool force)
{
    if (!screen || (m_display->IsCreated() && !force))
        return;
    const bool had = m_display->IsCreated();
    const int sw = had ? m_display->StripWidth() : CDisplayBitmap::kDefaultStripSize;
    const int sh = had ? m_display->StripHeight() : CDisplayBitmap::kDefaultStripSize;
    const bool dither = had ? m_display->Dithering() : true;
    if (!m_display->Create(screen->depth(), sw, sh, dither))
        qCWarning(lcView) << "display bitmap cannot be built for depth" << screen->depth();
    update();
}

void CImageView::hideEvent(QHideEvent* event)
{
    EndDrag();
    QWidget::hideEvent(event);
}

void CImageView::focusOutEvent(QFocusEvent* event)
{
    // A window or pop-up taking over ends a drag, as the release would.
    EndDrag();
    QWidget::focusOutEvent(event);
}

void CImageView::EndDrag()
{
    if (!m_dragging)
        return;
    m_dragging = false;
    setCursor(Qt::OpenHandCursor);
}

void CImageView::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton || !m_image) {
        QWidget::mousePressEvent(event);
        return;
    }
    setCursor(Qt::ClosedHandCursor);
    m_cursorHidden = false;
    m_dragging = true;
    m_anchor = DevicePos(event->position());
}

void CImageView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = DevicePos(event->position());
    if (m_dragging) {
        ScrollTo(m_scrollX + m_anchor.x() - pos.x(), m_scrollY + m_anchor.y() - pos.y(), false);
        m_anchor = pos;
    }
    setCursor(m_dragging ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
    m_cursorHidden = false;
    m_idleTicks = 0;
}

void CImageView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    setCursor(Qt::OpenHandCursor);
    m_cursorHidden = false;
    m_dragging = false;
}

void CImageView::wheelEvent(QWheelEvent* event)
{
    if (!m_image) {
        event->ignore();
        return;
    }
    m_wheelAccumulator += event->angleDelta().y();
    while (m_wheelAccumulator >= kWheelNotch) {
        m_wheelAccumulator -= kWheelNotch;
        emit WheelNotch(true);
    }
    while (m_wheelAccumulator <= -kWheelNotch) {
        m_wheelAccumulator += kWheelNotch;
        emit WheelNotch(false);
    }
    event->accept();
}

void CImageView::keyPressEvent(QKeyEvent* event)
{
    // The stepping keys go on without an image, so a file that cannot be
    // decoded never stops a user stepping through the folder.
    const int key = event->key();
    const bool step
        = key == Qt::Key_PageUp || key == Qt::Key_PageDown || key == Qt::Key_Home || key == Qt::Key_End;
    if (!m_image && !step) {
        QWidget::keyPressEvent(event);
        return;
    }
    emit KeyPressed(event->key(), event->modifiers());
    event->accept();
}

void CImageView::contextMenuEvent(QContextMenuEvent* event)
{
    emit ContextMenuRequested(event->globalPos());
    event->accept();
}
