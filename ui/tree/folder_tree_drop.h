#pragma once
// CFolderTreeDrop: the folder tree's drag and drop. A folder dragged out
// travels as a text/uri-list and leaves the tree when the receiver really
// moved it. Files and folders dropped on a file-system folder are moved
// there, or copied with Ctrl or Shift, after the user confirms. While
// something is dragged over the tree, it scrolls at its top and bottom rows
// and opens a folder the cursor rests on; the folder that would take the
// drop is drawn as the target.
//
// Ownership: owned by its tree, which outlives it; it keeps rows by
// persistent index only, since the dialogs of a drop run the event loop.
// The questions and the transfer itself are the tree's (ConfirmTransfer,
// RunTransfer, RunDrag), so that a test can answer them.
// Thread rules: user-interface thread only.

#include <QBasicTimer>
#include <QObject>
#include <QPersistentModelIndex>
#include <QPoint>

class CFolderTree;
class QDragEnterEvent;
class QDragLeaveEvent;
class QDragMoveEvent;
class QDropEvent;
class QTreeWidgetItem;

class CFolderTreeDrop : public QObject {
public:
    // The hover step runs every 150 ms while something is dragged over the
    // tree; a folder the cursor rests on opens at the sixth further step.
    static constexpr int kHoverTickMs = 150;
    static constexpr int kHoverOpenTicks = 6;

    explicit CFolderTreeDrop(CFolderTree* tree);

    // Drags the item's folder out; a virtual folder has no path and stays.
    void DragOut(QTreeWidgetItem* item);

    void DragEnter(QDragEnterEvent* event);
    void DragMove(QDragMoveEvent* event);
    void DragLeave(QDragLeaveEvent* event);
    void Drop(QDropEvent* event);

    // The folder drawn as the drop target, or null.
    QTreeWidgetItem* DropHighlight() const;
    bool IsHighlighted(const QModelIndex& index) const;
    // Runs while something is dragged over the tree.
    const QBasicTimer& HoverTimer() const { return m_hoverTimer; }

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    QTreeWidgetItem* DropTargetAt(const QPoint& pos) const;
    bool IsOnLabel(QTreeWidgetItem* item, const QPoint& pos) const;
    void Hover(const QPoint& pos);
    void EndHover();
    void HoverStep();
    void SetDropHighlight(QTreeWidgetItem* item);
    static Qt::DropAction ActionFor(Qt::KeyboardModifiers modifiers, Qt::DropActions possible);

    CFolderTree* m_tree;
    // The folder being dragged out, the folder under the cursor (at
    // m_hoverPos) now and at the last step, and the one drawn as the target.
    QPersistentModelIndex m_draggedItem;
    QPersistentModelIndex m_hoverItem;
    QPersistentModelIndex m_lastHoverItem;
    QPersistentModelIndex m_dropHighlight;
    QPoint m_hoverPos;
    int m_hoverTicks = 0;
    QBasicTimer m_hoverTimer;
};
