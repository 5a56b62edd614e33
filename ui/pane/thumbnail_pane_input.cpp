// CThumbView's selection, mouse, keys, context menu and renaming in place.

#include <algorithm>
#include <unordered_set>
#include <cstdlib>

#include <QAccessible>
#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>

#include "res/command_table.h"
#include "res/menus.h"
#include "loader/image_item.h"
#include "pane/label_tip.h"
#include "pane/rename_edit.h"
#include "pane/thumbnail_pane.h"

namespace {

struct KeyMove {
    int qtKey;
    CPaneLayout::Key key;
};

constexpr KeyMove kKeyMoves[] = {
    {Qt::Key_Home, CPaneLayout::Key::Home}, {Qt::Key_End, CPaneLayout::Key::End},
    {Qt::Key_Left, CPaneLayout::Key::Left}, {Qt::Key_Right, CPaneLayout::Key::Right},
    {Qt::Key_Up, CPaneLayout::Key::Up},     {Qt::Key_Down, CPaneLayout::Key::Down},
};

// A press becomes a drag once the mouse leaves the 3 x 3 square around it.
bool LeftPressSquare(QPoint press, QPoint now)
{
    return std::abs(now.x() - press.x()) > 1 || std::abs(now.y() - press.y()) > 1;
}

}  // namespace

int CThumbView::EntryAtPoint(QPoint point) const
{
    return m_layout.EntryAt(point.x() + m_scrollPos, point.y());
}

int CThumbView::DragEntryAtPoint(QPoint point) const
{
    return m_layout.DragEntryAt(point.x() + m_scrollPos, point.y());
}

void CThumbView::SelectItem(ImageItem* item, bool notify)
{
    if (!item)
        return;
    for (int i = 0; i < EntryCount(); ++i) {
        if (m_entries[static_cast<size_t>(i)].item == item) {
            SelectAlone(i, notify && m_notifyOn, true);
            return;
        }
    }
}

void CThumbView::RestoreSelection(ImageItem* anchor, const std::vector<ImageItem*>& items)
{
    const std::unordered_set<const ImageItem*> wanted(items.begin(), items.end());
    int anchorEntry = -1, count = 0;
    for (int i = 0; i < EntryCount(); ++i) {
        PaneEntry& e = m_entries[static_cast<size_t>(i)];
        if (anchor && e.item == anchor)
            anchorEntry = i;
        e.selected = (anchor && e.item == anchor) || wanted.count(e.item) > 0;
        count += e.selected ? 1 : 0;
    }
    m_anchor = m_rangeEnd = anchorEntry;
    // More than the anchor is selected: the next plain click starts afresh.
    m_multi = count > (anchorEntry >= 0 ? 1 : 0);
    viewport()->update();
}

// Selects one entry alone. The notification goes last: its receiver may
// rebuild the pane, after which nothing here may touch an entry.
void CThumbView::SelectAlone(int entry, bool notify, bool scroll)
{
    if (m_multi) {
        m_multi = false;
        for (PaneEntry& e : m_entries)
            e.selected = false;
        viewport()->update();
    } else if (m_anchor >= 0) {
        ExtendRange(m_anchor);
        m_entries[static_cast<size_t>(m_anchor)].selected = false;
        UpdateEntry(m_anchor);
    }
    m_entries[static_cast<size_t>(entry)].selected = true;
    m_anchor = m_rangeEnd = entry;
    UpdateEntry(entry);
    if (scroll)
        ScrollIntoView(entry);
    AnnounceEntry(entry);
    if (notify) {
        ThumbPaneNotify n;
        n.code = kNotifySelect;
        n.selected = m_entries[static_cast<size_t>(entry)].item;
        Notify(n);
    }
}

// Entries between the old range end and the new one take the state of being
// between the anchor and the new end; the others keep theirs.
void CThumbView::ExtendRange(int newEnd)
{
    if (newEnd < 0 || m_anchor < 0)
        return;
    const int oldEnd = m_rangeEnd < 0 ? m_anchor : m_rangeEnd;
    const int low = std::min(oldEnd, newEnd), high = std::max(oldEnd, newEnd);
    const int inLow = std::min(m_anchor, newEnd), inHigh = std::max(m_anchor, newEnd);
    bool changed = false;
    for (int i = low; i <= high; ++i) {
        const bool selected = i >= inLow && i <= inHigh;
        PaneEntry& e = m_entries[static_cast<size_t>(i)];
        if (e.selected != selected) {
            e.selected = selected;
            UpdateEntry(i);
            changed = true;
        }
    }
    m_rangeEnd = newEnd;
    if (changed && QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::SelectionWithin);
        QAccessible::updateAccessibility(&event);
    }
}

void CThumbView::ToggleEntry(int entry)
{
    PaneEntry& e = m_entries[static_cast<size_t>(entry)];
    e.selected = !e.selected;
    UpdateEntry(entry);
    ScrollIntoView(entry);
    m_multi = true;
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, e.selected ? QAccessible::SelectionAdd : QAccessible::SelectionRemove);
        event.setChild(entry);
        QAccessible::updateAccessibility(&event);
    }
}

void CThumbView::ChooseEntry(int entry)
{
    if (entry >= 0 && entry < EntryCount())
        SelectAlone(entry, true, true);
}

// Tells assistive technology that the entry is now the one selected, and the
// focused one while the pane has the focus. Before any notification: its
// receiver may rebuild the pane.
void CThumbView::AnnounceEntry(int entry)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent selection(this, QAccessible::Selection);
    selection.setChild(entry);
    QAccessible::updateAccessibility(&selection);
    if (hasFocus()) {
        QAccessibleEvent focus(this, QAccessible::Focus);
        focus.setChild(entry);
        QAccessible::updateAccessibility(&focus);
    }
}

void CThumbView::Notify(ThumbPaneNotify& notify)
{
    if (m_notifyOn)
        emit Notified(&notify);
}

void CThumbView::NotifyWithSelection(int code, int command)
{
    ThumbPaneNotify n;
    n.code = code;
    n.command = command;
    n.items = SelectedItems();
    if (!n.items.empty())
        Notify(n);
}

void CThumbView::CancelMouse()
{
    m_captured = false;
    m_dragSelecting = false;
    m_dragTimer.stop();
    m_pressed = false;
    m_pressPoint = QPoint(-1, -1);
}

void CThumbView::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        const int entry = EntryAtPoint(pos);
        if (entry >= 0)
            ShowMenu(entry, event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    if (m_entries.empty())
        return;
    const int entry = EntryAtPoint(pos);
    if (entry < 0) {
        m_captured = true;
        m_dragTimer.start(kDragScrollMs, this);
        return;
    }
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (mods & Qt::ShiftModifier) {
        if (m_anchor < 0) {
            SelectAlone(entry, true, true);
            return;
        }
        ExtendRange(entry);
        ScrollIntoView(entry);
    } else if (mods & Qt::ControlModifier) {
        if (entry != m_anchor)
            ToggleEntry(entry);
    } else if (m_entries[static_cast<size_t>(entry)].selected) {
        m_pressed = true;
        m_pressPoint = pos;
    } else {
        SelectAlone(entry, true, true);
    }
}

// The second press of a double click is a press like any other.
void CThumbView::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

void CThumbView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->buttons() == Qt::NoButton) {
        TrackLabelTip(pos);
        return;
    }
    if (!(event->buttons() & Qt::LeftButton) || m_entries.empty())
        return;
    if (m_dragSelecting) {
        m_lastMouse = pos;
        ExtendRange(DragEntryAtPoint(pos));
        return;
    }
    const int entry = EntryAtPoint(pos);
    if (entry >= 0 && m_captured) {
        m_dragSelecting = true;
        m_lastMouse = pos;
        SelectAlone(entry, true, false);
        return;
    }
    if (m_pressed && LeftPressSquare(m_pressPoint, pos)) {
        m_pressed = false;
        m_pressPoint = QPoint(-1, -1);
        NotifyWithSelection(kNotifyDrag);
    }
}

void CThumbView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const bool pressed = m_pressed;
    const QPoint press = m_pressPoint;
    CancelMouse();
    const QPoint pos = event->position().toPoint();
    if (!pressed || LeftPressSquare(press, pos))
        return;
    const int entry = EntryAtPoint(pos);
    if (entry < 0)
        return;
    // A second click on the shown item's label renames it; on its picture it
    // selects it again.
    if (entry == m_anchor && pos.y() >= LabelTop(m_layout.RowOf(entry) * m_rowHeight))
        StartRename(entry);
    else
        SelectAlone(entry, true, true);
}

void CThumbView::DragSelectTick()
{
    if (!m_dragSelecting)
        return;
    if (m_lastMouse.x() < kDragScrollEdge)
        ScrollTo(m_scrollPos - m_layout.Step());
    else if (m_lastMouse.x() >= ClientWidth() - kDragScrollEdge)
        ScrollTo(m_scrollPos + m_layout.Step());
    ExtendRange(DragEntryAtPoint(m_lastMouse));
}

// Shows the whole name while the mouse is over a cut label.
void CThumbView::TrackLabelTip(QPoint point)
{
    const int entry = m_thumbMode && !m_renameEdit->IsActive() ? EntryAtPoint(point) : -1;
    if (entry >= 0) {
        const PaneEntry& e = m_entries[static_cast<size_t>(entry)];
        const QRect cell = EntryRect(entry);
        const int labelTop = LabelTop(cell.top());
        if (e.cellWidth - 2 * kCellMargin < e.labelWidth && point.y() >= labelTop
            && point.x() < cell.left() + e.cellWidth) {
            const QPoint at = viewport()->mapToGlobal(QPoint(cell.left() + kCellMargin, labelTop));
            m_labelTip->ShowText(e.label, at.x(), at.y());
            return;
        }
    }
    m_labelTip->HideTip();
}

void CThumbView::contextMenuEvent(QContextMenuEvent* event)
{
    // The mouse's menu opens on the right button's press; the keyboard's
    // opens on the shown item.
    if (event->reason() == QContextMenuEvent::Keyboard && m_anchor >= 0) {
        ScrollIntoView(m_anchor);
        const QRect cell = EntryRect(m_anchor);
        ShowMenu(m_anchor, viewport()->mapToGlobal(cell.center()));
    }
    event->accept();
}

void CThumbView::ShowMenu(int entry, QPoint globalPos)
{
    m_labelTip->HideTip();
    // Without a parent: the pane may be destroyed while the menu's own event
    // loop runs, and a child would then be deleted twice.
    QMenu menu;
    for (const res::PaneMenuEntry& item : res::ThumbnailMenu()) {
        if (!item.nested.empty()) {
            QMenu* inner = menu.addMenu(QString::fromUtf8(item.text));
            for (const int id : item.nested)
                inner->addAction(QString::fromUtf8(res::FindCommand(id)->menuText))->setData(id);
        } else if (!item.text) {
            menu.addSeparator();
        } else {
            menu.addAction(QString::fromUtf8(item.text))->setData(item.command);
        }
    }
    const QPointer<CThumbView> self(this);
    const unsigned generation = m_generation;
    const QAction* chosen = menu.exec(globalPos);
    // In that loop the pane may also have been rebuilt.
    if (!self || !chosen || generation != m_generation)
        return;
    const int command = chosen->data().toInt();
    if (command == res::kCmdRenameImage) {
        SelectAlone(entry, true, false);
        if (generation == m_generation && m_anchor >= 0)
            StartRename(m_anchor);
        return;
    }
    RunCommand(command);
}

void CThumbView::RunCommand(int command)
{
    if (command == res::kCmdDeleteImage)
        NotifyWithSelection(kNotifyDelete);
    else if (res::IsLosslessTransform(command))
        NotifyWithSelection(kNotifyTransform, command);
    else if (command == res::kCmdRenameImage && m_anchor >= 0)
        StartRename(m_anchor);
}

void CThumbView::keyPressEvent(QKeyEvent* event)
{
    if (m_entries.empty()) {
        event->ignore();
        return;
    }
    if (event->key() == Qt::Key_Delete) {
        RunCommand(res::kCmdDeleteImage);
        return;
    }
    for (const KeyMove& move : kKeyMoves) {
        if (move.qtKey != event->key())
            continue;
        const int target = m_layout.KeyTarget(move.key, m_anchor);
        if (target >= 0 && target != m_anchor)
            SelectAlone(target, true, true);
        return;
    }
    event->ignore();
}

void CThumbView::StartRename(int entry)
{
    ScrollIntoView(entry);
    const PaneEntry& e = m_entries[static_cast<size_t>(entry)];
    const QRect cell = EntryRect(entry);
    // The edit's text starts about where the label's did.
    int left = cell.left() + (m_thumbMode ? 4 : m_iconSize + 1);
    int width = std::max(e.labelWidth + fontMetrics().height(), e.cellWidth);
    const int client = ClientWidth();
    if (width > client) {
        left = 0;
        width = client;
    } else if (left + width > client) {
        left = client - width;
    }
    m_labelTip->HideTip();
    m_renameEntry = entry;
    m_renameEdit->Start(e.label, width, left, LabelTop(cell.top()));
}

void CThumbView::FinishRename(const QString& text)
{
    const int entry = m_renameEntry;
    m_renameEntry = -1;
    if (entry < 0 || entry >= EntryCount())
        return;
    const PaneEntry& e = m_entries[static_cast<size_t>(entry)];
    // An empty or unchanged name renames nothing. The shown name of a file
    // whose bytes are not UTF-8 is only a rendering of them, so "renaming" it
    // to its own text would change the name on disk.
    if (text.isEmpty() || text == e.label)
        return;
    const std::string newName = text.toStdString();
    ThumbPaneNotify n;
    n.code = kNotifyRename;
    n.renameItem = e.item;
    n.newName = &newName;
    Notify(n);
}
