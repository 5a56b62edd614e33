// The folder tree's drag and drop: a folder dragged out, files and folders
// dropped on a folder, and the hover step that scrolls and opens folders
// while something is dragged over the tree.

#include "browse/folder_listing.h"
#include "tree/folder_tree.h"
#include "tree/folder_tree_item.h"
#include "browse/uri_list.h"
#include "report/string_table.h"
#include "windows/transfer_runner.h"

#include <QDrag>
#include <QDragMoveEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QScrollBar>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

namespace {

const QString kUriList = QStringLiteral("text/uri-list");

// True only when the path certainly names nothing any more.
bool IsGone(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) != 0 && errno == ENOENT;
}

}  // namespace

QString CFolderTree::ConfirmTransferText(bool copy, size_t count, const std::string& destination)
{
    const std::string where = DisplayUtf8(destination);
    const char* format = res::String(res::kStrConfirmDrop);
    const char* verb = res::String(copy ? res::kStrCopy : res::kStrMove);
    const int size = std::snprintf(nullptr, 0, format, verb, static_cast<int>(count), where.c_str());
    std::string text(static_cast<size_t>(std::max(size, 0)) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, verb, static_cast<int>(count), where.c_str());
    text.pop_back();
    return QString::fromStdString(text);
}

bool CFolderTree::ConfirmTransfer(bool copy, const std::vector<std::string>& sources,
                                  const std::string& destination)
{
    return QMessageBox::question(this, QString::fromUtf8(res::String(res::kStrAppTitle)),
                                 ConfirmTransferText(copy, sources.size(), destination),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
        == QMessageBox::Yes;
}

TransferResult CFolderTree::RunTransfer(TransferKind kind, const std::vector<std::string>& sources,
                                        const std::string& target)
{
    CTransferRunner runner(this);
    return runner.Run(kind, sources, target);
}

Qt::DropAction CFolderTree::RunDrag(QMimeData* data)
{
    // Qt deletes the drag when it is over.
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    return drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
}

// ---- Dragging a folder out ----

void CFolderTree::startDrag(Qt::DropActions)
{
    // The press became a drag: the selection stays where it was.
    m_pressedItem = QPersistentModelIndex();
    QTreeWidgetItem* item = itemAt(m_pressPos);
    std::string path;
    // A virtual folder has no path and is not dragged.
    if (!item || !GetItemPidl(item).GetPath(&path))
        return;
    auto* data = new QMimeData;
    data->setData(kUriList, EncodeUriList({path}));
    m_draggedItem = QPersistentModelIndex(indexFromItem(item));
    RunDrag(data);
    item = m_draggedItem.isValid() ? itemFromIndex(m_draggedItem) : nullptr;
    m_draggedItem = QPersistentModelIndex();
    // Whatever the receiver reported, the folder leaves the tree only when
    // it is really gone; the tree itself never deletes it.
    if (item && IsGone(path)) {
        MoveSelectionOff(item);
        RemoveItem(item);
    }
}

// ---- Dragging over the tree ----

bool CFolderTree::IsOnLabel(QTreeWidgetItem* item, const QPoint& pos) const
{
    // The icon and the label, not the indentation or the row right of it.
    const QRect cell = visualItemRect(item);
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int width = iconSize().width() + fontMetrics().horizontalAdvance(item->text(0)) + 4 * margin;
    return pos.x() >= cell.left() && pos.x() < cell.left() + width;
}

QTreeWidgetItem* CFolderTree::DropTargetAt(const QPoint& pos) const
{
    QTreeWidgetItem* item = itemAt(pos);
    if (!item || !IsOnLabel(item, pos) || !IsFileSystemFolder(item))
        return nullptr;
    if (m_draggedItem.isValid() && indexFromItem(item) == QModelIndex(m_draggedItem))
        return nullptr;
    return item;
}

Qt::DropAction CFolderTree::ActionFor(Qt::KeyboardModifiers modifiers, Qt::DropActions possible)
{
    // Ctrl or Shift copies; otherwise a move, also between file systems.
    const Qt::DropAction wanted
        = modifiers & (Qt::ControlModifier | Qt::ShiftModifier) ? Qt::CopyAction : Qt::MoveAction;
    if (possible & wanted)
        return wanted;
    return possible & Qt::CopyAction ? Qt::CopyAction : Qt::IgnoreAction;
}

void CFolderTree::SetDropHighlight(QTreeWidgetItem* item)
{
    const QPersistentModelIndex index
        = item ? QPersistentModelIndex(indexFromItem(item)) : QPersistentModelIndex();
    if (index == m_dropHighlight)
        return;
    m_dropHighlight = index;
    viewport()->update();
}

QTreeWidgetItem* CFolderTree::DropHighlight() const
{
    return m_dropHighlight.isValid() ? itemFromIndex(m_dropHighlight) : nullptr;
}

void CFolderTree::Hover(const QPoint& pos)
{
    m_hoverPos = pos;
    QTreeWidgetItem* item = itemAt(pos);
    m_hoverItem = item ? QPersistentModelIndex(indexFromItem(item)) : QPersistentModelIndex();
    SetDropHighlight(DropTargetAt(pos));
}

void CFolderTree::EndHover()
{
    m_hoverTimer.stop();
    m_hoverItem = m_lastHoverItem = QPersistentModelIndex();
    m_hoverTicks = 0;
    SetDropHighlight(nullptr);
}

void CFolderTree::dragEnterEvent(QDragEnterEvent* event)
{
    // Every drag is let in; the move that always follows decides whether a
    // folder takes it.
    event->accept();
    m_hoverTicks = 0;
    m_hoverTimer.start(kHoverTickMs, this);
}

void CFolderTree::dragMoveEvent(QDragMoveEvent* event)
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

void CFolderTree::dragLeaveEvent(QDragLeaveEvent* event)
{
    EndHover();
    event->accept();
}

void CFolderTree::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_hoverTimer.timerId())
        HoverStep();
    else
        QTreeWidget::timerEvent(event);
}

void CFolderTree::HoverStep()
{
    // The cursor rests, yet the rows move under it as the tree scrolls:
    // look again at what is under it now.
    Hover(m_hoverPos);
    QTreeWidgetItem* hover = m_hoverItem.isValid() ? itemFromIndex(m_hoverItem) : nullptr;
    if (hover) {
        // Resting on the top row shows the row above it; on the bottom row,
        // the row below.
        // Only up and down: sideways the rows would slip from under the cursor.
        const int before = verticalScrollBar()->value();
        const int sideways = horizontalScrollBar()->value();
        if (QTreeWidgetItem* above = itemAbove(hover))
            scrollToItem(above);
        if (verticalScrollBar()->value() == before)
            if (QTreeWidgetItem* below = itemBelow(hover))
                scrollToItem(below);
        horizontalScrollBar()->setValue(sideways);
    }
    if (hover && DropHighlight()) {
        // Counting on past the sixth step opens the folder only once.
        if (m_hoverItem == m_lastHoverItem) {
            if (++m_hoverTicks == kHoverOpenTicks)
                expandItem(hover);
        } else {
            m_hoverTicks = 0;
        }
    } else {
        m_hoverTicks = 0;
    }
    m_lastHoverItem = m_hoverItem;
}

// ---- Dropping ----

void CFolderTree::dropEvent(QDropEvent* event)
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
    if (!target || sources.empty() || action == Qt::IgnoreAction || !GetItemPidl(target).GetPath(&path))
        return;
    const bool copy = action == Qt::CopyAction;
    if (!ConfirmTransfer(copy, sources, path))
        return;
    // The dialogs run the event loop: hold the target by its index.
    const QPersistentModelIndex kept(indexFromItem(target));
    const TransferResult result = RunTransfer(copy ? TransferKind::Copy : TransferKind::Move, sources, path);
    target = kept.isValid() ? itemFromIndex(kept) : nullptr;
    if (target && result.outcome != TransferOutcome::Refused) {
        RefreshChildren(target);
        SetHasChildren(target, 1);
    }
    // Only a transfer done whole is reported: a source that deletes what it
    // hears was moved must not lose what stayed behind.
    if (result.outcome == TransferOutcome::Done) {
        event->setDropAction(action);
        event->accept();
    }
}

void CFolderTree::RefreshChildren(QTreeWidgetItem* item)
{
    if (!item || item->childCount() == 0)
        return;
    CFolderListing listing;
    if (!listing.Enumerate(GetItemPidl(item)))
        return;
    for (const FolderEntry& entry : listing.Entries()) {
        if (entry.isFolder && !FindChild(item, entry.relative))
            InsertSorted(item, NewItem(entry.name, entry.relative, entry.isFileSystem));
    }
}
