#include "pane/thumbnail_pane.h"

#include <cmath>
#include <cstring>

#include <algorithm>
#include <functional>
#include <utility>

#include <QAccessible>
#include <QCursor>
#include <QEvent>
#include <QFontMetrics>
#include <QLoggingCategory>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include "decode/image_bitmap.h"
#include "display/display_bitmap.h"
#include "report/string_table.h"
#include "loader/image_item.h"
#include "pane/label_tip.h"
#include "pane/rename_edit.h"
#include "loader/thumb_loader.h"

Q_LOGGING_CATEGORY(lcPane, "lumvane.pane", QtWarningMsg)

namespace {
// A thumbnail row is the square, the label and this much more.
constexpr int kThumbnailRowExtra = 8;
}  // namespace

CThumbView::CThumbView(CThumbLoader* loader, CDisplayBitmap* bitmap, QWidget* parent)
    : QAbstractScrollArea(parent), m_loader(loader), m_bitmap(bitmap)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    // paintEvent covers every pixel, so Qt need not clear first, and
    // scrolling can move the pixels already drawn.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(true);
    viewport()->setCursor(Qt::ArrowCursor);

    m_icons.Init();
    m_iconSize = m_icons.SmallSize();
    m_labelTip = new CLabelTip(this, viewport());
    m_labelTip->setFont(font());
    m_renameEdit = new CRenameEdit(viewport());
    connect(m_renameEdit, &CRenameEdit::Started, this, [this] { emit AcceleratorsWanted(false); });
    connect(m_renameEdit, &CRenameEdit::Ended, this, [this] {
        if (m_renameEdit->hasFocus())
            setFocus(Qt::OtherFocusReason);
        emit AcceleratorsWanted(true);
    });
    connect(m_renameEdit, &CRenameEdit::Committed, this, &CThumbView::FinishRename);
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            [this] { setFocus(Qt::OtherFocusReason); });
    m_pollTimer.start(kPollMs, this);
    UpdateScrollBar();
}

CThumbView::~CThumbView()
{
    // The edit and the bar die later, with the base class; a focus change on
    // the way must not call back into this part of the object.
    m_renameEdit->disconnect(this);
    horizontalScrollBar()->disconnect(this);
}

void CThumbView::SetMode(bool thumbnails, int size)
{
    ImageItem* anchor = AnchorItem();
    m_thumbMode = thumbnails;
    if (thumbnails)
        m_thumbSize = std::max(size, 1);
    Rebuild();
    if (anchor)
        SelectItem(anchor, false);
}

void CThumbView::Rebuild()
{
    DropEntries();
    if (m_loader && m_loader->ItemCount() > 0) {
        // Room for the files later folder changes add, so that taking them
        // in does not move every entry (and hold two arrays of them).
        const auto count = static_cast<size_t>(m_loader->ItemCount());
        m_entries.reserve(count + count / 64);
        for (ImageItem* item = m_loader->FirstItem(); item; item = item->next) {
            PaneEntry entry;
            entry.item = item;
            entry.label = QString::fromStdString(item->name);
            m_entries.push_back(std::move(entry));
        }
    }
    MeasureEntries();
    FinishRebuild();
}

void CThumbView::Rebuild(std::vector<int> removedAt, std::vector<ImageItem*> added)
{
    ResetInteraction();
    const size_t count = m_loader ? static_cast<size_t>(m_loader->ItemCount()) : 0;
    // From the back, so that the places still ahead stay right.
    std::sort(removedAt.begin(), removedAt.end(), std::greater<>());
    for (int at : removedAt)
        if (at >= 0 && static_cast<size_t>(at) < m_entries.size())
            m_entries.erase(m_entries.begin() + at);
    // In list order, so that each goes where its index says.
    std::sort(added.begin(), added.end(),
              [](const ImageItem* a, const ImageItem* b) { return a->index < b->index; });
    const QFontMetrics fm(font());
    bool placed = true;
    for (ImageItem* item : added) {
        if (item->index < 0 || static_cast<size_t>(item->index) > m_entries.size()) {
            placed = false;
            break;
        }
        PaneEntry entry;
        entry.item = item;
        entry.label = QString::fromStdString(item->name);
        MeasureEntry(entry, fm);
        m_entries.insert(m_entries.begin() + item->index, std::move(entry));
    }
    if (!placed || m_entries.size() != count) {
        Rebuild();  // the places did not match the list: never expected
        return;
    }
    for (PaneEntry& entry : m_entries)
        entry.selected = false;
    FinishRebuild();
}

void CThumbView::FinishRebuild()
{
    m_screenShown = false;
    SetPollInterval(kFastPollMs);
    m_scrollPos = 0;
    Arrange();
    viewport()->update();
    if (QAccessible::isActive()) {
        // Assistive technology reads the list of children again.
        QAccessibleEvent event(this, QAccessible::ObjectReorder);
        QAccessible::updateAccessibility(&event);
    }
}

void CThumbView::Clear()
{
    DropEntries();
    FinishRebuild();
}

void CThumbView::ShowFolderError(int error)
{
    m_notice
        = error ? QString::asprintf(res::String(res::kStrCantOpenFolder), std::strerror(error)) : QString();
    viewport()->update();
}

void CThumbView::DropEntries()
{
    ResetInteraction();
    m_entries.clear();
    m_layout.Clear();
}

void CThumbView::ResetInteraction()
{
    m_renameEdit->Cancel();
    m_renameEntry = -1;
    m_labelTip->HideTip();
    CancelMouse();
    m_anchor = m_rangeEnd = -1;
    m_multi = false;
    ++m_generation;
}

// Label widths, cell widths and the row height in the pane's font. Done once
// per rebuild (and font change): painting and hit tests only read them.
void CThumbView::MeasureEntries()
{
    const QFontMetrics fm(font());
    const int fontHeight = fm.height();
    m_rowHeight
        = m_thumbMode ? m_thumbSize + fontHeight + kThumbnailRowExtra : std::max(m_iconSize, fontHeight);
    for (PaneEntry& e : m_entries)
        MeasureEntry(e, fm);
}

void CThumbView::MeasureEntry(PaneEntry& e, const QFontMetrics& fm) const
{
    e.labelWidth = fm.horizontalAdvance(e.label);
    e.cellWidth
        = m_thumbMode ? m_thumbSize + 2 * kCellMargin : m_iconSize + m_iconSize / 8 + e.labelWidth + 1;
    e.cutMeasured = false;
    e.cutText.clear();
}

int CThumbView::ClientWidth() const
{
    return viewport()->width();
}

int CThumbView::ClientHeight() const
{
    return viewport()->height();
}

void CThumbView::Arrange()
{
    m_layout.Arrange(
        EntryCount(), [this](int i) { return m_entries[static_cast<size_t>(i)].cellWidth; }, m_rowHeight,
        ClientHeight(), m_iconSize);
    const int client = ClientWidth();
    m_scrollPos
        = client >= m_layout.TotalWidth() ? 0 : std::clamp(m_scrollPos, 0, m_layout.TotalWidth() - client);
    UpdateScrollBar();
}

void CThumbView::UpdateScrollBar()
{
    // m_scrollPos is already where the bar goes, so the bar's own value
    // change moves no pixels (scrollContentsBy compares with it).
    QScrollBar* bar = horizontalScrollBar();
    bar->setRange(0, std::max(0, m_layout.TotalWidth() - ClientWidth()));
    bar->setPageStep(std::max(1, ClientWidth()));
    bar->setSingleStep(std::max(1, m_layout.Step()));
    bar->setValue(m_scrollPos);
}

void CThumbView::ScrollTo(int position)
{
    const int client = ClientWidth();
    const int total = m_layout.TotalWidth();
    if (total <= client)
        return;
    position = std::clamp(position, 0, total - client);
    if (position != m_scrollPos)
        horizontalScrollBar()->setValue(position);
    SetThumbnailStart();
}

void CThumbView::scrollContentsBy(int, int)
{
    // Every way of scrolling ends here through the bar's value.
    const int position = horizontalScrollBar()->value();
    if (position == m_scrollPos)
        return;
    const int delta = m_scrollPos - position;
    m_scrollPos = position;
    m_labelTip->HideTip();
    viewport()->scroll(delta, 0);
    SetThumbnailStart();
}

// The thumbnail worker goes on at the leftmost column the user sees.
void CThumbView::SetThumbnailStart()
{
    if (!m_loader || m_entries.empty())
        return;
    const int k = std::min(m_layout.FirstColumnEndingAfter(m_scrollPos), m_layout.ColumnCount() - 1);
    m_loader->SetThumbnailStart(m_entries[static_cast<size_t>(m_layout.ColumnAt(k).first)].item);
    SetPollInterval(kFastPollMs);
}

void CThumbView::ScrollIntoView(int entry)
{
    const CPaneLayout::Column& c = m_layout.ColumnAt(m_layout.ColumnOf(entry));
    const int gap = m_layout.Gap();
    const int left = c.left - gap;
    const int right = c.left + m_entries[static_cast<size_t>(entry)].cellWidth + gap;
    const int client = ClientWidth();
    if (right - left <= client && left >= m_scrollPos) {
        if (right > m_scrollPos + client)
            ScrollTo(right - client);
        return;
    }
    ScrollTo(left);
}

QRect CThumbView::EntryRect(int entry) const
{
    const CPaneLayout::Column& c = m_layout.ColumnAt(m_layout.ColumnOf(entry));
    return QRect(c.left - m_scrollPos, m_layout.RowOf(entry) * m_rowHeight,
                 m_entries[static_cast<size_t>(entry)].cellWidth, m_rowHeight);
}

void CThumbView::UpdateEntry(int entry)
{
    if (entry >= 0 && entry < EntryCount())
        viewport()->update(EntryRect(entry));
}

QRect CThumbView::CellRect(const ImageItem* item) const
{
    for (int i = 0; i < EntryCount(); ++i)
        if (m_entries[static_cast<size_t>(i)].item == item)
            return EntryRect(i);
    return QRect();
}

ImageItem* CThumbView::AnchorItem() const
{
    return m_anchor >= 0 ? m_entries[static_cast<size_t>(m_anchor)].item : nullptr;
}

std::vector<ImageItem*> CThumbView::SelectedItems() const
{
    std::vector<ImageItem*> items;
    for (const PaneEntry& e : m_entries)
        if (e.selected)
            items.push_back(e.item);
    return items;
}

void CThumbView::paintEvent(QPaintEvent* event)
{
    if (!m_painted) {
        m_painted = true;
        qCDebug(lcPane) << "first paint of the pane";
    }
    if (std::exchange(m_screenPainting, false))
        qCDebug(lcPane) << "every thumbnail of the screen shown";
    QPainter painter(viewport());
    const QRect area = event->rect();
    painter.fillRect(area, palette().color(QPalette::Base));
    if (m_entries.empty()) {
        if (!m_notice.isEmpty()) {
            painter.setPen(palette().color(QPalette::Text));
            painter.drawText(viewport()->rect().adjusted(m_iconSize, m_iconSize, -m_iconSize, -m_iconSize),
                             Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_notice);
        }
        return;
    }
    painter.setFont(font());
    const int count = EntryCount();
    const int rowFirst = std::max(0, area.top() / m_rowHeight);
    const int rowLast = std::min(m_layout.Rows() - 1, area.bottom() / m_rowHeight);
    for (int k = m_layout.FirstColumnEndingAfter(area.left() + m_scrollPos); k < m_layout.ColumnCount();
         ++k) {
        const CPaneLayout::Column& c = m_layout.ColumnAt(k);
        const int x = c.left - m_scrollPos;
        if (x > area.right())
            break;
        for (int row = rowFirst; row <= rowLast && c.first + row < count; ++row)
            DrawEntry(painter, m_entries[static_cast<size_t>(c.first + row)], x, row * m_rowHeight);
    }
}

void CThumbView::DrawEntry(QPainter& painter, PaneEntry& entry, int x, int y)
{
    const QPalette& pal = palette();
    QPalette::ColorRole text = QPalette::Text;
    if (entry.selected) {
        const bool focused = hasFocus();
        painter.fillRect(QRect(x, y, entry.cellWidth, m_rowHeight),
                         pal.color(focused ? QPalette::Highlight : QPalette::Button));
        text = focused ? QPalette::HighlightedText : QPalette::ButtonText;
    }
    painter.setPen(pal.color(text));
    if (m_thumbMode)
        DrawThumbnailCell(painter, entry, x, y);
    else
        DrawListCell(painter, entry, x, y);
}

void CThumbView::DrawThumbnailCell(QPainter& painter, PaneEntry& entry, int x, int y)
{
    const int cw = entry.cellWidth;
    const QPen textPen = painter.pen();
    painter.setPen(QPen(palette().color(QPalette::Dark), 0));
    painter.drawRect(QRect(x + 1, y + 1, cw - 3, m_rowHeight - 3));

    const QFontMetrics fm(font());
    const int baseline = LabelTop(y) + fm.ascent();
    painter.setPen(textPen);
    if (cw - 2 * kCellMargin < entry.labelWidth) {
        const int ellipsisWidth = fm.horizontalAdvance(m_ellipsis);
        painter.drawText(QPoint(x + kCellMargin, baseline), CutLabel(entry));
        painter.drawText(QPoint(x + cw - ellipsisWidth - kCellMargin, baseline), m_ellipsis);
    } else {
        painter.drawText(QPoint(x + kCellMargin + (cw - entry.labelWidth - 2 * kCellMargin) / 2, baseline),
                         entry.label);
    }

    CImageBitmap* thumb = m_loader ? m_loader->ThumbnailOf(entry.item) : nullptr;
    if (!thumb || thumb->IsNull())
        return;
    // On a high-density screen the thumbnail is made at the screen's own
    // pixels (its size times the ratio) and drawn one to one on them, in
    // the same logical square as at 100 %.
    const qreal ratio = viewport()->devicePixelRatioF();
    const auto device = [ratio](qreal logical) { return int(std::lround(logical * ratio)); };
    const int square = device(m_thumbSize);
    BlitParams p;
    p.sourceWidth = thumb->Width();
    p.sourceHeight = thumb->Height();
    p.destX = device(x + kCellMargin) + (device(cw - 2 * kCellMargin) - p.sourceWidth) / 2;
    p.destY = device(y + kCellMargin) + (square - p.sourceHeight) / 2;
    painter.save();
    if (ratio != 1)
        painter.scale(1 / ratio, 1 / ratio);
    // A thumbnail made for another size must not spill into its neighbours.
    if (p.sourceWidth > square || p.sourceHeight > square)
        painter.setClipRect(QRect(device(x + kCellMargin), device(y + kCellMargin), square, square),
                            Qt::IntersectClip);
    if (!m_bitmap || !m_bitmap->Blit(painter, *thumb, p)) {
        // No display bitmap for the screen yet: the thumbnail's pixels are
        // in the screen's 32-bit layout already.
        PixelLocker lock(*thumb);
        const QImage image(reinterpret_cast<const uchar*>(thumb->Pixels()), thumb->Width(), thumb->Height(),
                           thumb->Width() * 4, QImage::Format_RGB32);
        painter.drawImage(p.destX, p.destY, image);
    }
    painter.restore();
}

void CThumbView::DrawListCell(QPainter& painter, PaneEntry& entry, int x, int y)
{
    if (entry.iconIndex < 0) {
        const CShellFolder* folder = m_loader ? m_loader->BoundFolder() : nullptr;
        entry.iconIndex = folder ? m_icons.GetIconIndex(*folder, entry.item->itemId, false) : 0;
    }
    const std::vector<QPixmap>& icons = m_icons.SmallImages();
    if (static_cast<size_t>(entry.iconIndex) < icons.size())
        painter.drawPixmap(x, y, icons[static_cast<size_t>(entry.iconIndex)]);
    const QFontMetrics fm(font());
    painter.drawText(QPoint(x + m_iconSize + m_iconSize / 8, y + fm.ascent()), entry.label);
}

QString CThumbView::FitLabel(const QString& name, int cellWidth, const QFontMetrics& metrics, bool* cut)
{
    const bool fits = cellWidth - 2 * kCellMargin >= metrics.horizontalAdvance(name);
    if (cut)
        *cut = !fits;
    if (fits)
        return name;
    const int room = cellWidth - metrics.horizontalAdvance(QStringLiteral("...")) - 2 * kCellMargin;
    // The widest prefix that fits: prefix widths grow with their length. A
    // cut between the halves of a surrogate pair is no cut: half a pair has
    // no width of its own and would show as a broken glyph.
    qsizetype low = 0, high = name.size();
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        const bool splitsPair = mid < name.size() && name.at(mid - 1).isHighSurrogate();
        const qsizetype candidate = splitsPair ? mid + 1 : mid;
        if (metrics.horizontalAdvance(name.left(candidate)) <= room)
            low = candidate;
        else
            high = mid - 1;
    }
    return name.left(low);
}

// The cut label of an entry, measured the first time it is drawn.
const QString& CThumbView::CutLabel(PaneEntry& entry)
{
    if (!entry.cutMeasured) {
        entry.cutText = FitLabel(entry.label, entry.cellWidth, QFontMetrics(font()), nullptr);
        entry.cutMeasured = true;
    }
    return entry.cutText;
}

void CThumbView::SetPollInterval(int ms)
{
    if (ms == m_pollMs)
        return;
    m_pollMs = ms;
    m_pollTimer.start(ms, this);
}

void CThumbView::PollThumbnails()
{
    if (m_entries.empty() || !isVisible()) {
        m_labelTip->HideTip();
        return SetPollInterval(kPollMs);
    }
    if (!m_thumbMode || !m_loader)
        return SetPollInterval(kPollMs);
    const int viewEnd = m_scrollPos + ClientWidth();
    const int count = EntryCount();
    int missing = 0;
    for (int k = m_layout.FirstColumnEndingAfter(m_scrollPos); k < m_layout.ColumnCount(); ++k) {
        const CPaneLayout::Column& c = m_layout.ColumnAt(k);
        if (c.left >= viewEnd)
            break;
        for (int i = c.first; i < std::min(c.first + m_layout.Rows(), count); ++i) {
            PaneEntry& e = m_entries[static_cast<size_t>(i)];
            const bool ready = m_loader->ThumbnailOf(e.item) != nullptr;
            if (!e.thumbnailShown && ready) {
                UpdateEntry(i);
                e.thumbnailShown = true;
            } else if (e.thumbnailShown && !ready) {
                // Dropped to save memory: drawn again once it is made again.
                e.thumbnailShown = false;
            }
            missing += !ready && !e.item->thumbnailFailed;
        }
    }
    // Quick while thumbnails of the screen are still to come.
    const bool coming
        = missing > 0 && !m_loader->ThumbnailsPaused() && !m_loader->ThumbnailsSettledEvent().IsSet();
    SetPollInterval(coming ? kFastPollMs : kPollMs);
    if (missing == 0 && !m_screenShown) {
        // Told by the paint that draws them.
        m_screenShown = true;
        m_screenPainting = true;
        viewport()->update();
    }
}

void CThumbView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_pollTimer.timerId())
        PollThumbnails();
    else if (event->timerId() == m_dragTimer.timerId())
        DragSelectTick();
    else
        QAbstractScrollArea::timerEvent(event);
}

void CThumbView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    m_labelTip->HideTip();
    Arrange();
    // Rows per column change with the height: everything moves.
    viewport()->update();
}

void CThumbView::wheelEvent(QWheelEvent* event)
{
    int delta = event->angleDelta().y();
    if (delta == 0)
        delta = event->angleDelta().x();
    if (m_entries.empty() || delta == 0) {
        event->ignore();
        return;
    }
    // Away from the user (a positive delta) goes left.
    const long long move = static_cast<long long>(m_layout.Step()) * delta / kWheelNotch;
    ScrollTo(static_cast<int>(std::clamp<long long>(m_scrollPos - move, 0, m_layout.TotalWidth())));
    event->accept();
}

void CThumbView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    if (QAccessible::isActive()) {
        // The focus is on the shown item rather than on the list as a whole:
        // said after Qt has announced the list, once this event is done.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_anchor >= 0 && hasFocus()) {
                    QAccessibleEvent focus(this, QAccessible::Focus);
                    focus.setChild(m_anchor);
                    QAccessible::updateAccessibility(&focus);
                }
            },
            Qt::QueuedConnection);
    }
    if (m_anchor >= 0 && !m_multi && m_anchor == m_rangeEnd)
        UpdateEntry(m_anchor);
    else
        viewport()->update();
}

void CThumbView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    // A pop-up, a dialog or another window took over: the mouse is no
    // longer ours, as on a cancelled mode.
    CancelMouse();
    if (m_anchor >= 0 && !m_multi && m_anchor == m_rangeEnd)
        UpdateEntry(m_anchor);
    else
        viewport()->update();
}

void CThumbView::hideEvent(QHideEvent* event)
{
    m_labelTip->HideTip();
    CancelMouse();
    QAbstractScrollArea::hideEvent(event);
}

void CThumbView::leaveEvent(QEvent* event)
{
    // Where input reaches the tip itself, the pointer moving onto it is no
    // reason to hide it.
    if (!m_labelTip->isVisible() || !m_labelTip->geometry().contains(QCursor::pos()))
        m_labelTip->HideTip();
    QAbstractScrollArea::leaveEvent(event);
}

void CThumbView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_labelTip->setFont(font());
        m_renameEdit->Cancel();
        MeasureEntries();
        Arrange();
        viewport()->update();
    } else if (event->type() == QEvent::PaletteChange) {
        viewport()->update();
    }
}
