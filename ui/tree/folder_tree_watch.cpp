// The folder tree keeps its open folders current: every expanded folder of
// the file system is watched, and folders that other programs create or
// remove under it appear or leave, gathered in short batches so that a
// burst of changes redraws the tree a few times a second at most.

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include <QScrollBar>
#include <QThread>

#include "tree/folder_tree.h"
#include "tree/folder_tree_item.h"
#include "browse/shell_folder.h"

void CFolderTree::SetUpFolderWatch()
{
    m_folderWatch = new CFolderWatcher(kFolderBatchMs, this);
    connect(m_folderWatch, &CFolderWatcher::Changed, this, &CFolderTree::UpdateChangedFolders);
    // After the tree's own handlers, which list or drop the children. An
    // expansion adds its own folder alone, so that opening a folder many
    // levels deep costs each level once; a collapse drops whole branches.
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        CFolderItem* folder = FolderItem(item);
        if (!folder || !folder->fileSystem || !item->isExpanded() || item->childCount() == 0)
            return;
        std::vector<std::string> added;
        WatchFolder(folder, &added);
        for (const std::string& path : added)
            m_folderWatch->Add(path);
    });
    connect(this, &QTreeWidget::itemCollapsed, this, [this] { WatchExpandedFolders(); });
}

// The expanded folders of the file system that show their children, in
// tree order.
void CFolderTree::CollectExpanded(QTreeWidgetItem* item, std::vector<CFolderItem*>& out) const
{
    if (!item || !item->isExpanded() || item->childCount() == 0)
        return;
    if (CFolderItem* folder = FolderItem(item); folder && folder->fileSystem)
        out.push_back(folder);
    for (int i = 0; i < item->childCount(); ++i)
        CollectExpanded(item->child(i), out);
}

// Watches the folder's path unless it is watched already: the path is looked
// up once in the item's life. Two items of one folder share its watch.
void CFolderTree::WatchFolder(const CFolderItem* folder, std::vector<std::string>* added)
{
    if (m_watched.contains(folder->serial))
        return;
    ++m_watchLookups;
    // The watcher checks the folder itself; asking the file system here too
    // would walk the whole path once more.
    std::string path;
    if (!CShellFolder::PathOf(GetItemPidl(const_cast<CFolderItem*>(folder)), &path))
        path.clear();
    m_watched.insert(folder->serial, path);
    if (!path.empty() && ++m_watchUses[path] == 1)
        added->push_back(path);
}

void CFolderTree::WatchExpandedFolders(bool lookUpAgain)
{
    if (lookUpAgain && !m_watchUses.empty()) {
        for (const auto& [path, uses] : m_watchUses)
            m_folderWatch->Remove(path);
        m_watched.clear();
        m_watchUses.clear();
    }
    std::vector<CFolderItem*> expanded;
    for (int i = 0; i < topLevelItemCount(); ++i)
        CollectExpanded(topLevelItem(i), expanded);
    QSet<quint64> wanted;
    std::vector<std::string> added;
    for (const CFolderItem* folder : expanded) {
        wanted.insert(folder->serial);
        WatchFolder(folder, &added);
    }
    // Folders collapsed, or gone with their items.
    for (auto it = m_watched.begin(); it != m_watched.end();) {
        if (wanted.contains(it.key())) {
            ++it;
            continue;
        }
        if (!it.value().empty() && --m_watchUses[it.value()] == 0) {
            m_watchUses.erase(it.value());
            m_folderWatch->Remove(it.value());
        }
        it = m_watched.erase(it);
    }
    for (const std::string& path : added)
        m_folderWatch->Add(path);
}

void CFolderTree::UpdateChangedFolders(const FolderBatch& changed)
{
    // A label being edited keeps its row, a drop, drag, dialog or menu
    // running its own event loop may hold items, and rows moving under
    // something dragged over the tree would move its target: the batch
    // waits for them.
    if (m_editor || m_hoverTimer.isActive() || QThread::currentThread()->loopLevel() > 1) {
        m_folderWatch->Postpone(changed);
        return;
    }
    std::vector<CFolderItem*> expanded;
    for (int i = 0; i < topLevelItemCount(); ++i)
        CollectExpanded(topLevelItem(i), expanded);
    // Items go by persistent index: removing one may drop its siblings.
    std::vector<QPersistentModelIndex> toUpdate;
    for (CFolderItem* folder : expanded)
        if (changed.count(m_watched.value(folder->serial)))
            toUpdate.emplace_back(indexFromItem(folder));
    if (toUpdate.empty()) {
        WatchExpandedFolders();
        return;
    }
    // The selected row (else the top one) stays where it is on the screen,
    // so rows coming and going above it never move what the user aims at.
    const QPersistentModelIndex anchor(currentIndex().isValid() ? currentIndex() : indexAt(QPoint(1, 1)));
    const int before = anchor.isValid() ? visualRect(anchor).top() : 0;
    for (const QPersistentModelIndex& index : toUpdate)
        if (QTreeWidgetItem* item = index.isValid() ? itemFromIndex(index) : nullptr)
            UpdateChildren(item);
    if (anchor.isValid()) {
        executeDelayedItemsLayout();
        const int moved = visualRect(anchor).top() - before;
        const int step = verticalScrollMode() == ScrollPerItem ? std::max(sizeHintForRow(0), 1) : 1;
        if (moved != 0)
            verticalScrollBar()->setValue(verticalScrollBar()->value() + moved / step);
    }
    WatchExpandedFolders();
}

// Folders new under the item join it in their sorted place; children whose
// folder is certainly gone leave it (the selection moving up first).
void CFolderTree::UpdateChildren(QTreeWidgetItem* item)
{
    RefreshChildren(item);
    std::vector<QPersistentModelIndex> gone;
    for (int i = 0; i < item->childCount(); ++i) {
        QTreeWidgetItem* child = item->child(i);
        std::string path;
        struct stat st {};
        if (IsFileSystemFolder(child) && GetItemPidl(child).GetPath(&path) && ::stat(path.c_str(), &st) != 0
            && errno == ENOENT)
            gone.emplace_back(indexFromItem(child));
    }
    for (const QPersistentModelIndex& index : gone)
        if (QTreeWidgetItem* child = index.isValid() ? itemFromIndex(index) : nullptr)
            RemoveItem(child);
    // Its last subfolder gone, the folder loses its expand button.
    if (item->childCount() == 0)
        SetHasChildren(item, 0);
}
