#include "tree/folder_tree.h"

#include "common/wait_cursor.h"
#include "browse/folder_listing.h"
#include "report/string_table.h"
#include "tree/folder_selection_model.h"
#include "tree/folder_tree_item.h"
#include "windows/transfer_runner.h"

#include <QDrag>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QScopedValueRollback>
#include <algorithm>
#include <cstdio>

namespace {

// The items of a list from the first to the last, each as a one-item list.
std::vector<CShellPidl> ItemsOf(const CShellPidl& full)
{
    std::vector<CShellPidl> items;
    CShellPidl rest = full;
    CShellPidl last;
    while (rest.Split(nullptr, &last))
        items.push_back(last);
    std::reverse(items.begin(), items.end());
    return items;
}

}  // namespace

CFolderTree::CFolderTree(QWidget* parent)
    : QTreeWidget(parent), m_icons(std::make_unique<CFolderTreeIcons>()),
      m_commands(std::make_unique<CFolderTreeCommands>(this)),
      m_drop(std::make_unique<CFolderTreeDrop>(this)), m_editor(m_commands->Editor()),
      m_hoverTimer(m_drop->HoverTimer())
{
    setColumnCount(1);
    setHeaderHidden(true);
    // Long names scroll sideways instead of being cut.
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // A slow second click on the selected label renames; F2 belongs to the main window.
    setEditTriggers(QAbstractItemView::SelectedClicked);
    setUniformRowHeights(true);
    setRootIsDecorated(true);
    // The drags and drops are the tree's own (CFolderTreeDrop).
    setDragDropMode(QAbstractItemView::DragDrop);
    setDropIndicatorShown(false);
    viewport()->setAcceptDrops(true);
    QItemSelectionModel* old = selectionModel();
    setSelectionModel(new CFolderSelectionModel(model(), this));
    delete old;
    connect(this, &QTreeWidget::itemExpanded, this, &CFolderTree::OnItemExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &CFolderTree::OnItemCollapsed);
    SetUpFolderWatch();
}

CFolderTree::~CFolderTree() = default;

bool CFolderTree::Create()
{
    if (!m_icons->Init())
        return false;
    setIconSize(QSize(m_icons->SmallSize(), m_icons->SmallSize()));
    clear();
    CShellPidl desktop;
    desktop.SetEmpty();
    CFolderItem* root = NewItem(GetDisplayName(desktop, NameKind::Normal), CShellPidl(), false);
    root->normalIcon = root->openIcon = 1;
    addTopLevelItem(root);
    return true;
}

bool CFolderTree::IsBelow(const QTreeWidgetItem* item, const QTreeWidgetItem* ancestor)
{
    for (const QTreeWidgetItem* up = item ? item->parent() : nullptr; up; up = up->parent())
        if (up == ancestor)
            return true;
    return false;
}

bool CFolderTree::IsAtOrBelow(const QTreeWidgetItem* item, const QTreeWidgetItem* ancestor)
{
    return item && (item == ancestor || IsBelow(item, ancestor));
}

CFolderItem* CFolderTree::FolderItem(QTreeWidgetItem* item)
{
    return item && item->type() == CFolderItem::kType ? static_cast<CFolderItem*>(item) : nullptr;
}

CFolderItem* CFolderTree::NewItem(const std::string& label, const CShellPidl& relative, bool fileSystem) const
{
    auto* item = new CFolderItem(QString::fromStdString(label), relative, fileSystem);
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

CShellPidl CFolderTree::GetItemPidl(QTreeWidgetItem* item) const
{
    CShellPidl full;
    if (!item)
        return full;
    // The items' bytes are gathered once, so a deep folder costs its depth,
    // not its depth squared.
    std::vector<const CFolderItem*> chain;
    for (QTreeWidgetItem* up = item; up && up->parent(); up = up->parent())
        if (const CFolderItem* folder = FolderItem(up))
            chain.push_back(folder);
    std::vector<uint8_t> bytes;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        if ((*it)->relative.Size() > 2)
            bytes.insert(bytes.end(), (*it)->relative.Data(),
                         (*it)->relative.Data() + (*it)->relative.Size() - 2);
    bytes.insert(bytes.end(), {0, 0});
    full.FromBytes(bytes.data(), bytes.size());
    return full;
}

bool CFolderTree::IsFileSystemFolder(QTreeWidgetItem* item) const
{
    const CFolderItem* folder = FolderItem(item);
    return folder && folder->fileSystem;
}

bool CFolderTree::IsRenamable(QTreeWidgetItem* item) const
{
    return IsFileSystemFolder(item) && IsFileSystemFolder(item->parent());
}

void CFolderTree::SetHasChildren(QTreeWidgetItem* item, int count)
{
    if (item)
        item->setChildIndicatorPolicy(count > 0 ? QTreeWidgetItem::ShowIndicator
                                                : QTreeWidgetItem::DontShowIndicator);
}

// ---- Expansion ----

void CFolderTree::OnItemExpanded(QTreeWidgetItem* item)
{
    // Children present: a refused collapse put the item back.
    if (item->childCount() > 0)
        return;
    if (!Populate(item)) {
        collapseItem(item);
        return;
    }
    if (item->childCount() == 0) {
        // Nothing to show: the expand button goes, and an expanded item
        // always has children, so New Folder can expand it again.
        SetHasChildren(item, 0);
        collapseItem(item);
        return;
    }
    // Scrolling lays out every row now; on a route that would be once per
    // level, so the walk scrolls once at its end instead.
    if (!m_walkingRoute)
        scrollToItem(item);
}

void CFolderTree::OnItemCollapsed(QTreeWidgetItem* item)
{
    if (item->childCount() == 0)
        return;
    if (IsBelow(currentItem(), item)) {
        // The selection would be hidden: it moves to the collapsed folder,
        // and when that folder cannot be chosen the collapse is undone.
        setCurrentItem(item);
        if (IsBelow(currentItem(), item)) {
            expandItem(item);
            return;
        }
    }
    DropChildren(item);
}

bool CFolderTree::Populate(QTreeWidgetItem* item)
{
    CWaitCursor wait;
    CFolderListing listing;
    if (!listing.Enumerate(GetItemPidl(item)))
        return false;
    QList<QTreeWidgetItem*> children;
    for (const FolderEntry& entry : listing.Entries())
        if (entry.isFolder)
            children.append(NewItem(entry.name, entry.relative, entry.isFileSystem));
    if (ChildrenSorted(item))
        std::stable_sort(children.begin(), children.end(),
                         [](const QTreeWidgetItem* a, const QTreeWidgetItem* b) { return *a < *b; });
    item->addChildren(children);
    return true;
}

bool CFolderTree::ChildrenSorted(QTreeWidgetItem* item) const
{
    // The Desktop's and Computer's own order is kept (Computer and Home
    // first, the root volume before the others). A directory lists in the
    // file system's order, which means nothing to a user, so the children of
    // every file-system folder go by label, volumes and Home included.
    return item && (IsFileSystemFolder(item) || IsFileSystemFolder(item->parent()));
}

void CFolderTree::InsertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* child)
{
    int pos = 0;
    while (pos < parent->childCount() && !(*child < *parent->child(pos)))
        ++pos;
    parent->insertChild(pos, child);
}

QTreeWidgetItem* CFolderTree::FindChild(QTreeWidgetItem* parent, const CShellPidl& relative) const
{
    for (int i = 0; i < parent->childCount(); ++i) {
        const CFolderItem* child = FolderItem(parent->child(i));
        if (child && child->relative.Equals(relative))
            return parent->child(i);
    }
    return nullptr;
}

// A folder made since its parent was expanded is looked up in a fresh
// listing, so that asking for it by list still finds it.
QTreeWidgetItem* CFolderTree::FindOrRelist(QTreeWidgetItem* parent, const CShellPidl& relative)
{
    if (QTreeWidgetItem* found = FindChild(parent, relative))
        return found;
    if (!parent->isExpanded())
        return nullptr;
    CWaitCursor wait;
    CFolderListing listing;
    if (!listing.Enumerate(GetItemPidl(parent)))
        return nullptr;
    for (const FolderEntry& entry : listing.Entries()) {
        if (!entry.isFolder || !entry.relative.Equals(relative))
            continue;
        CFolderItem* child = NewItem(entry.name, entry.relative, entry.isFileSystem);
        if (ChildrenSorted(parent))
            InsertSorted(parent, child);
        else
            parent->addChild(child);
        return child;
    }
    return nullptr;
}

void CFolderTree::DropChildren(QTreeWidgetItem* item)
{
    if (IsBelow(currentItem(), item))
        ForgetSelection();
    m_commands->CancelEditing(item);
    const QList<QTreeWidgetItem*> children = item->takeChildren();
    qDeleteAll(children);
    SetHasChildren(item, 1);
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

// Clears the selection without the selection rules, for the rare case that
// an item holding it must go although its parent could not be chosen.
// Removing the current item would otherwise let the view move it to a
// sibling that was never listed or announced.
void CFolderTree::ForgetSelection()
{
    selectionModel()->clearCurrentIndex();
    selectionModel()->clearSelection();
}

void CFolderTree::MoveSelectionOff(QTreeWidgetItem* item)
{
    if (!item || !item->parent() || !IsAtOrBelow(currentItem(), item))
        return;
    setCurrentItem(item->parent());
    if (currentItem())
        scrollToItem(currentItem());
}

void CFolderTree::RemoveItem(QTreeWidgetItem* item)
{
    QTreeWidgetItem* parent = item ? item->parent() : nullptr;
    if (!parent)
        return;
    if (IsAtOrBelow(currentItem(), item)) {
        MoveSelectionOff(item);
        if (IsAtOrBelow(currentItem(), item))
            ForgetSelection();
    }
    if (parent->childCount() > 1) {
        m_commands->CancelEditing(item);
        delete item;
        return;
    }
    // The parent shows its true children again when it is next expanded.
    DropChildren(parent);
    collapseItem(parent);
}

// ---- Selection ----

void CFolderTree::mousePressEvent(QMouseEvent* event)
{
    // A right click opens the menu for the item under it; the selection stays.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    // A drag that starts here carries the folder pressed, whichever is
    // selected; the press itself chooses nothing (see DefersPress).
    m_pressPos = event->position().toPoint();
    m_pressedItem = QPersistentModelIndex();
    m_inPress = true;
    QTreeWidget::mousePressEvent(event);
    m_inPress = false;
}

void CFolderTree::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    const QPersistentModelIndex pressed = std::exchange(m_pressedItem, QPersistentModelIndex());
    QTreeWidget::mouseReleaseEvent(event);
    // No drag started: the click chooses the folder it was on.
    if (pressed.isValid() && indexAt(event->position().toPoint()) == pressed)
        setCurrentItem(itemFromIndex(pressed));
}

void CFolderTree::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeWidget::mouseDoubleClickEvent(event);
}

void CFolderTree::doItemsLayout()
{
    ++m_rowLayouts;
    QTreeWidget::doItemsLayout();
}

bool CFolderTree::DefersPress(const QModelIndex& index, QItemSelectionModel::SelectionFlags command)
{
    // The view's press (and, with nothing selected to drag, its moves) make
    // the row under the mouse current without selecting it; the folder is
    // chosen on release, or not at all when a drag starts.
    if (!(m_inPress || m_pressedItem.isValid()) || command != QItemSelectionModel::NoUpdate)
        return false;
    m_pressedItem = QPersistentModelIndex(index);
    return true;
}

bool CFolderTree::SelectionChanging(const QModelIndex& index)
{
    QTreeWidgetItem* item = itemFromIndex(index);
    // The Desktop is chosen without a listing: the thumbnails stay.
    if (!item || !item->parent())
        return true;
    // A receiver that acts on a notification may not move the selection
    // again before the first move has happened.
    if (m_inSelectionChange)
        return false;
    m_inSelectionChange = true;
    const bool allowed = NotifyChosen(item);
    m_inSelectionChange = false;
    return allowed;
}

bool CFolderTree::NotifyChosen(QTreeWidgetItem* item)
{
    CWaitCursor wait;
    CFolderListing listing;
    // A folder that cannot be listed is chosen all the same: refusing it
    // would stop the keys there for good. The parent shows why it is empty.
    int error = 0;
    const bool listed = listing.Enumerate(GetItemPidl(item), &error);
    if (m_notify) {
        FolderNotify notify;
        notify.kind = 1;
        notify.listing = &listing;
        notify.error = listed ? 0 : error;
        emit FolderNotified(&notify);
    }
    return true;
}

bool CFolderTree::SelectPidl(const CShellPidl& full, bool notify)
{
    QTreeWidgetItem* item = topLevelItem(0);
    if (!item || full.IsNull())
        return false;
    {
        // With a layout pending, an expansion only marks the item: the rows
        // are laid out once, when the route is open, not once per level.
        const QScopedValueRollback walking(m_walkingRoute, true);
        for (const CShellPidl& part : ItemsOf(full)) {
            scheduleDelayedItemsLayout();
            expandItem(item);
            item = FindOrRelist(item, part);
            if (!item)
                return false;
        }
        scheduleDelayedItemsLayout();
        expandItem(item);
    }
    scrollToItem(item);
    const bool saved = m_notify;
    m_notify = m_notify && notify;
    setCurrentItem(item);
    m_notify = saved;
    return currentItem() == item;
}

// ---- Icons ----

void CFolderTree::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const
{
    // Only rows being painted get their icons; painting is the one place
    // that knows a row is on screen, so the icon state changes here.
    CFolderItem* item = FolderItem(itemFromIndex(index));
    if (item && CFolderTreeIcons::Wants(*item))
        m_icons->Prepare(item, GetItemPidl(item->parent()));
    if (m_drop->IsHighlighted(index)) {
        // The drop target is drawn as if selected.
        QStyleOptionViewItem highlighted = option;
        highlighted.state |= QStyle::State_Selected;
        QTreeWidget::drawRow(painter, highlighted, index);
        return;
    }
    QTreeWidget::drawRow(painter, option, index);
}

// ---- Commands, editing and drag and drop, carried out by their parts ----

std::unique_ptr<QMenu> CFolderTree::CreateContextMenu(QTreeWidgetItem* item)
{
    return m_commands->CreateContextMenu(item);
}

void CFolderTree::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete && state() != EditingState)
        m_commands->DeleteKey();
    QTreeWidget::keyPressEvent(event);
}

bool CFolderTree::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    if (trigger != NoEditTriggers && !IsRenamable(itemFromIndex(index)))
        return false;
    const bool wasEditing = state() == EditingState;
    const bool result = QTreeWidget::edit(index, trigger, event);
    if (!wasEditing && state() == EditingState)
        m_commands->EditStarted(index);
    return result;
}

void CFolderTree::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Tab would move the edit, and with it the selection, to the next folder.
    if (hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem)
        hint = QAbstractItemDelegate::SubmitModelCache;
    QTreeWidget::closeEditor(editor, hint);
    m_commands->EditorClosed(editor);
}

void CFolderTree::startDrag(Qt::DropActions)
{
    // The press became a drag: the selection stays where it was.
    m_pressedItem = QPersistentModelIndex();
    m_drop->DragOut(itemAt(m_pressPos));
}

// ---- The questions and messages of the commands and the drops ----

QAction* CFolderTree::ExecContextMenu(QMenu* menu, const QPoint& globalPos)
{
    return menu->exec(globalPos);
}

bool CFolderTree::ConfirmDelete(const std::string& path)
{
    const QString text = tr("Do you want to move the folder \"%1\" and everything in it to the trash?")
                             .arg(QString::fromStdString(DisplayUtf8(path)));
    return QMessageBox::question(window(), QString::fromUtf8(res::String(res::kStrAppTitle)), text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
        == QMessageBox::Yes;
}

void CFolderTree::ShowError(const QString& text)
{
    QMessageBox::critical(window(), QString::fromUtf8(res::String(res::kStrAppTitle)), text);
}

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
