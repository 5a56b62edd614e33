#include "common/split_bar.h"

#include <algorithm>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QSplitterHandle>

CSplitBar::CSplitBar(QWidget* first, QWidget* second, bool vertical, int size, QWidget* parent)
    : QSplitter(vertical ? Qt::Horizontal : Qt::Vertical, parent), m_size(std::max(size, 0))
{
    // A ghost of the bar follows the pointer; the panes move once, on release.
    setOpaqueResize(false);
    addWidget(first);
    addWidget(second);
    setStretchFactor(0, 0);
    setStretchFactor(1, 1);
    setChildrenCollapsible(true);
    connect(this, &QSplitter::splitterMoved, this, &CSplitBar::OnSplitterMoved);
    // The bar is drawn in the button-face colour by its own background: the
    // parent paints nothing under its panes.
    handle(1)->setBackgroundRole(QPalette::Button);
    handle(1)->setAutoFillBackground(true);
    handle(1)->installEventFilter(this);
}

void CSplitBar::SetSize(int size)
{
    m_size = std::max(size, 0);
    ApplySize();
    emit LaidOut();
}

void CSplitBar::Layout(const QRect& rect)
{
    if (rect != geometry()) {
        setGeometry(rect);  // a visible bar lays out and notifies in resizeEvent
        if (testAttribute(Qt::WA_WState_Visible))
            return;
    }
    ApplySize();
    emit LaidOut();
}

void CSplitBar::resizeEvent(QResizeEvent* event)
{
    // QSplitter would share the change between the panes by their stretch;
    // the first pane keeps its size instead, so the layout is ours alone.
    QFrame::resizeEvent(event);
    ApplySize();
    emit LaidOut();
}

// Gives the first pane its size and the second the rest of the extent.
void CSplitBar::ApplySize()
{
    QWidget* first = FirstPane();
    QWidget* second = SecondPane();
    if (!first || !second)
        return;
    const bool both = !first->isHidden() && !second->isHidden();
    const int extent = IsVertical() ? contentsRect().width() : contentsRect().height();
    const int room = std::max(extent - (both ? handleWidth() : 0), 0);
    const int firstSize = std::min(m_size, room);
    setSizes({firstSize, room - firstSize});
    // A pane with limits of its own may have refused the size; keep what it
    // took, unless the rectangle was simply too small.
    if (both && m_size <= room)
        m_size = sizes().value(0, m_size);
}

void CSplitBar::OnSplitterMoved(int pos, int index)
{
    Q_UNUSED(pos);
    if (index != 1)
        return;
    if (m_restoreOnMove) {
        m_restoreOnMove = false;
        ApplySize();
    } else {
        m_size = sizes().value(0, m_size);
    }
    emit LaidOut();
}

// Alt (or Escape) pressed during a drag ends it with the size unchanged: the
// ghost is erased, later moves are dropped, and the panes are put back after
// the release has moved the splitter. Keys go to the focus widget, so the
// whole application is watched while a drag runs.
bool CSplitBar::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched == handle(1)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
            // The handle keeps the offset of the grab point inside the bar;
            // a press at the bar's edge makes that offset 0, so the bar's
            // left (top) edge follows the pointer itself.
            const QPointF at = mouse->position();
            if ((IsVertical() ? at.x() : at.y()) != 0) {
                QMouseEvent atEdge(type, IsVertical() ? QPointF(0, at.y()) : QPointF(at.x(), 0),
                                   mouse->scenePosition(), mouse->globalPosition(), mouse->button(),
                                   mouse->buttons(), mouse->modifiers());
                QApplication::sendEvent(watched, &atEdge);
                return true;
            }
            m_dragging = true;
            m_dragCancelled = m_restoreOnMove = false;
            qApp->installEventFilter(this);
        } else if (m_dragCancelled && type == QEvent::MouseMove) {
            return true;
        } else if (m_dragging && type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton) {
            // Seen twice while the application is watched: act on the first.
            m_restoreOnMove = m_dragCancelled;
            EndDragWatch();
        }
    } else if (m_dragging && !m_dragCancelled && type == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Alt || key == Qt::Key_Escape) {
            m_dragCancelled = true;
            setRubberBand(-1);
            return true;
        }
    }
    return QSplitter::eventFilter(watched, event);
}

void CSplitBar::EndDragWatch()
{
    m_dragging = false;
    m_dragCancelled = false;
    qApp->removeEventFilter(this);
}
