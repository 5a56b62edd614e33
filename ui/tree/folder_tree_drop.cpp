#include "tree/folder_tree_drop.h"

#include "tree/folder_tree.h"
#include "browse/uri_list.h"

#include <QDragMoveEvent>
#include <QMimeData>
#include <QScrollBar>

#include <sys/stat.h>

#include <cerrno>

namespace {

const QString kUriList = QStringLiteral("text/uri-list");

// True only when the path certainly names nothing any more.
bool IsGone(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) != 0 && errno == ENOENT;
}

}  // namespace

CFolderTreeDrop::CFolderTreeDrop(CFolderTree* tree) : m_tree(tree) {}

// ---- Dragging a folder out ----

void CFolderTreeDrop::DragOut(QTreeWidgetItem* item)
{
    std::string path;
    // A virtual folder has no path and is not dragged.
    if (!item || !m_tree->GetItemPidl(item).GetPath(&path))
        return;
    auto* data = new QMimeData;
    data->setData(kUriList, EncodeUriList({path}));
    m_draggedItem = QPersistentModelIndex(m_tree->indexFromItem(item));
    m_tree->RunDrag(data);
    item = m_draggedItem.isValid() ? m_tree->itemFromIndex(m_draggedItem) : nullptr;
    m_draggedItem = QPersistentModelIndex();
    // Whatever the receiver reported, the folder leaves the tree only when
    // it is really gone; the tree itself never deletes it.
    if (item && IsGone(path)) {
        m_tree->MoveSelectionOff(item);
        m_tree->RemoveItem(item);
    }
}

// ---- Dragging over the tree ----

bool CFolderTreeDrop::IsOnLabel(QTreeWidgetItem* item, const QPoint& pos) const
{
    // The icon and the label, not the indentation or the row right of it.
    const QRect cell = m_tree->visualItemRect(item);
    const int margin = m_tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_tree) + 1;
    const int width
        = m_tree->iconSize().width() + m_tree->fontMetrics().horizontalAdvance(item->text(0)) + 4 * margin;
    return pos.x() >= cell.left() && pos.x() < cell.left() + width;
}

QTreeWidgetItem* CFolderTreeDrop::DropTargetAt(const QPoint& pos) const
{
    QTreeWidgetItem* item = m_tree->itemAt(pos);
    if (!item || !IsOnLabel(item, pos) || !m_tree->IsFileSystemFolder(item))
        return nullptr;
    if (m_draggedItem.isValid() && m_tree->indexFromItem(item) == QModelIndex(m_draggedItem))
        return nullptr;
    return item;
}

Qt::DropAction CFolderTreeDrop::ActionFor(Qt::KeyboardModifiers modifiers, Qt::DropActions possible)
{
    // Ctrl or Shift copies; otherwise a move, also between file systems.
    const Qt::DropAction wanted
        = modifiers & (Qt::ControlModifier | Qt::ShiftModifier) ? Qt::CopyAction : Qt::MoveAction;
    if (possible & wanted)
        return wanted;
    return possible & Qt::CopyAction ? Qt::CopyAction : Qt::IgnoreAction;
}

void CFolderTreeDrop::SetDropHighlight(QTreeWidgetItem* item)
{
    const QPersistentModelIndex index
        = item ? QPersistentModelIndex(m_tree->indexFromItem(item)) : QPersistentModelIndex();
    if (index == m_dropHighlight)
        return;
    m_dropHighlight = index;
    m_tree->viewport()->update();
}

QTreeWidgetItem* CFolderTreeDrop::DropHighlight() const
{
    return m_dropHighlight.isValid() ? m_tree->itemFromIndex(m_dropHighlight) : nullptr;
}

bool CFolderTreeDrop::IsHighlighted(const QModelIndex& index) const
{
    return m_dropHighlight.isValid() && index.siblingAtColumn(0) == QModelIndex(m_dropHighlight);
}

void CFolderTreeDrop::Hover(const QPoint& pos)
{
    m_hoverPos = pos;
    QTreeWidgetItem* item = m_tree->itemAt(pos);
    m_hoverItem = item ? QPersistentModelIndex(m_tree->indexFromItem(item)) : QPersistentModelIndex();
    SetDropHighlight(DropTargetAt(pos));
}

void CFolderTreeDrop::EndHover()
{
    m_hoverTimer.stop();
    m_hoverItem = m_lastHoverItem = QPersistentModelIndex();
    m_hoverTicks = 0;
    SetDropHighlight(nullptr);
}

void CFolderTreeDrop::DragEnter(QDragEnterEvent* event)
{
    // Every drag is let in; the move that always follows decides whether a
    // folder takes it.
    event->accept();
    m_hoverTicks = 0;
    m_hoverTimer.start(kHoverTickMs, this);
}

void CFolderTreeDrop::DragMove(QDragMoveEvent* event)
{
    Hover(event->position().toPoint());
    const Qt::DropAction action = ActionFor(event->modifiers(), event->possibleActions());
    if (!DropHighlight() || action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

void CFolderTreeDrop::DragLeave(QDragLeaveEvent* event)
{
    EndHover();
    event->accept();
}

void CFolderTreeDrop::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_hoverTimer.timerId())
        HoverStep();
    else
        QObject::timerEvent(event);
}

void CFolderTreeDrop::HoverStep()
{
    // The cursor rests, yet the rows move under it as the tree scrolls:
    // look again at what is under it now.
    Hover(m_hoverPos);
    QTreeWidgetItem* hover = m_hoverItem.isValid() ? m_tree->itemFromIndex(m_hoverItem) : nullptr;
    if (hover) {
        // Resting on the top row shows the row above it; on the bottom row,
        // the row below.
        // Only up and down: sideways the rows would slip from under the cursor.
        const int before = m_tree->verticalScrollBar()->value();
        const int sideways = m_tree->horizontalScrollBar()->value();
        if (QTreeWidgetItem* above = m_tree->itemAbove(hover))
            m_tree->scrollToItem(above);
        if (m_tree->verticalScrollBar()->value() == before)
            if (QTreeWidgetItem* below = m_tree->itemBelow(hover))
                m_tree->scrollToItem(below);
        m_tree->horizontalScrollBar()->setValue(sideways);
    }
    if (hover && DropHighlight()) {
        // Counting on past the sixth step opens the folder only once.
        if (m_hoverItem == m_lastHoverItem) {
            if (++m_hoverTicks == kHoverOpenTicks)
                m_tree->expandItem(hover);
        } else {
            m_hoverTicks = 0;
        }
    } else {
        m_hoverTicks = 0;
    }
    m_lastHoverItem = m_hoverItem;
}

// ---- Dropping ----

void CFolderTreeDrop::Drop(QDropEvent* event)
{
    Hover(event->position().toPoint());
    QTreeWidgetItem* target = DropHighlight();
    EndHover();
    const Qt::DropAction action = ActionFor(event->modifiers(), event->possibleActions());
    const QMimeData* data = event->mimeData();
    std::vector<std::string> sources;
    if (data && data->hasFormat(kUriList))
        sources = DecodeUriList(data->data(kUriList));
    std::string path;
    event->ignore();
    if (!target || sources.empty() || action == Qt::IgnoreAction
        || !m_tree->GetItemPidl(target).GetPath(&path))
        return;
    const bool copy = action == Qt::CopyAction;
    if (!m_tree->ConfirmTransfer(copy, sources, path))
        return;
    // The dialogs run the event loop: hold the target by its index.
    const QPersistentModelIndex kept(m_tree->indexFromItem(target));
    const TransferResult result
        = m_tree->RunTransfer(copy ? TransferKind::Copy : TransferKind::Move, sources, path);
    target = kept.isValid() ? m_tree->itemFromIndex(kept) : nullptr;
    if (target && result.outcome != TransferOutcome::Refused) {
        m_tree->RefreshChildren(target);
        m_tree->SetHasChildren(target, 1);
    }
    // Only a transfer done whole is reported: a source that deletes what it
    // hears was moved must not lose what stayed behind.
    if (result.outcome == TransferOutcome::Done) {
        event->setDropAction(action);
        event->accept();
    }
}
