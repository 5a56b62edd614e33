#include "tree/folder_tree.h"

#include "common/wait_cursor.h"
#include "browse/folder_listing.h"
#include "tree/folder_tree_item.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScopedValueRollback>
#include <algorithm>

// Keeps the current item and the selection one and the same, and asks the
// tree before the current item moves, so that every way of choosing a folder
// (mouse, keys, type-ahead, code) can be refused.
class CFolderSelectionModel final : public QItemSelectionModel {
public:
    CFolderSelectionModel(QAbstractItemModel* model, CFolderTree* tree)
        : QItemSelectionModel(model, tree), m_tree(tree)
    {
    }

    void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override
    {
        if (index.isValid() && index != currentIndex() && m_tree->DefersPress(index, command))
            return;
        if (index.isValid() && index != currentIndex() && !m_tree->SelectionChanging(index))
            return;
        QItemSelectionModel::setCurrentIndex(index, command);
    }

    using QItemSelectionModel::select;
    void select(const QItemSelection&, QItemSelectionModel::SelectionFlags command) override
    {
        // A mouse press selects the row under it even when the current item
        // was refused; marking the current row instead keeps the old choice.
        const QModelIndex current = currentIndex();
        if (current.isValid())
            QItemSelectionModel::select(QItemSelection(current, current), ClearAndSelect | Rows);
        else if (command & Clear)
            QItemSelectionModel::select(QItemSelection(), Clear);
    }

private:
    CFolderTree* m_tree;
};

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

CFolderTree::CFolderTree(QWidget* parent) : QTreeWidget(parent)
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
    // The drags and drops are the tree's own (folder_tree_drop.cpp).
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
    if (!m_icons.Init())
        return false;
    m_slotIcons.clear();
    setIconSize(QSize(m_icons.SmallSize(), m_icons.SmallSize()));
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
    CancelEditing(item);
    const QList<QTreeWidgetItem*> children = item->takeChildren();
    qDeleteAll(children);
    SetHasChildren(item, 1);
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
        CancelEditing(item);
        delete item;
        return;
    }
    // The parent shows its true children again when it is next expanded.
    DropChildren(parent);
    collapseItem(parent);
}

// ---- Selection ----

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
    if (CFolderItem* item = FolderItem(itemFromIndex(index)))
        const_cast<CFolderTree*>(this)->PrepareIcons(item);
    if (m_dropHighlight.isValid() && index.siblingAtColumn(0) == QModelIndex(m_dropHighlight)) {
        // The drop target is drawn as if selected.
        QStyleOptionViewItem highlighted = option;
        highlighted.state |= QStyle::State_Selected;
        QTreeWidget::drawRow(painter, highlighted, index);
        return;
    }
    QTreeWidget::drawRow(painter, option, index);
}

void CFolderTree::PrepareIcons(CFolderItem* item)
{
    QTreeWidgetItem* parent = item->parent();
    const bool wantOpen = item->childCount() > 0 && item->openIcon < 0;
    if (!parent || (item->normalIcon >= 0 && !wantOpen))
        return;
    // Siblings are painted one after another: they share one bound parent.
    const CShellPidl parentList = GetItemPidl(parent);
    if (!m_cachedFolder || !m_cachedList.Equals(parentList)) {
        m_cachedList = parentList;
        m_cachedFolder = parentList.BindFolder();
    }
    if (!m_cachedFolder)
        return;
    if (item->normalIcon < 0)
        item->normalIcon = m_icons.GetIconIndex(*m_cachedFolder, item->relative, false);
    if (wantOpen)
        item->openIcon = m_icons.GetIconIndex(*m_cachedFolder, item->relative, true);
}

QIcon CFolderTree::ItemIcon(const CFolderItem& item) const
{
    const int slot = item.childCount() > 0 && item.openIcon >= 0 ? item.openIcon : item.normalIcon;
    // Until a row is painted it measures with the generic icon of the same size.
    return SlotIcon(std::max(slot, 0));
}

const QIcon& CFolderTree::SlotIcon(int slot) const
{
    while (static_cast<int>(m_slotIcons.size()) < m_icons.Count())
        m_slotIcons.push_back(m_icons.Icon(static_cast<int>(m_slotIcons.size())));
    static const QIcon none;
    return slot < static_cast<int>(m_slotIcons.size()) ? m_slotIcons[static_cast<size_t>(slot)] : none;
}
