// The folder tree keeps its open folders current: every expanded folder of
// the file system is watched, and folders that other programs create or
// remove under it appear or leave, gathered in short batches so that a
// burst of changes redraws the tree a few times a second at most.

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include <QFile>
#include <QFileSystemWatcher>
#include <QScrollBar>
#include <QThread>
#include <QTimer>

#include "browse/folder_tree.h"

void CFolderTree::SetUpFolderWatch()
{
    m_folderWatch = new QFileSystemWatcher(this);
    m_folderBatch = new QTimer(this);
    m_folderBatch->setSingleShot(true);
    m_folderBatch->setInterval(kFolderBatchMs);
    connect(m_folderWatch, &QFileSystemWatcher::directoryChanged, this, [this](const QString& path) {
        m_changedFolders.insert(path);
        if (!m_folderBatch->isActive())
            m_folderBatch->start();
    });
    connect(m_folderBatch, &QTimer::timeout, this, &CFolderTree::UpdateChangedFolders);
    // After the tree's own handlers, which list or drop the children.
    connect(this, &QTreeWidget::itemExpanded, this, &CFolderTree::WatchExpandedFolders);
    connect(this, &QTreeWidget::itemCollapsed, this, &CFolderTree::WatchExpandedFolders);
}

// The expanded folders of the file system that show their children, with
// their paths, in tree order.
void CFolderTree::CollectExpanded(QTreeWidgetItem* item,
                                  std::vector<std::pair<QTreeWidgetItem*, QString>>& out) const
{
    if (!item || !item->isExpanded() || item->childCount() == 0)
        return;
    std::string path;
    if (IsFileSystemFolder(item) && GetItemPidl(item).GetPath(&path))
        out.emplace_back(item, QFile::decodeName(QByteArray::fromStdString(path)));
    for (int i = 0; i < item->childCount(); ++i)
        CollectExpanded(item->child(i), out);
}

void CFolderTree::WatchExpandedFolders()
{
    std::vector<std::pair<QTreeWidgetItem*, QString>> expanded;
    for (int i = 0; i < topLevelItemCount(); ++i)
        CollectExpanded(topLevelItem(i), expanded);
    QStringList wanted;
    for (const auto& [item, path] : expanded)
        wanted << path;
    const QStringList watched = m_folderWatch->directories();
    for (const QString& path : watched)
        if (!wanted.contains(path))
            m_folderWatch->removePath(path);
    for (const QString& path : wanted)
        if (!watched.contains(path))
            m_folderWatch->addPath(path);
}

void CFolderTree::UpdateChangedFolders()
{
    const QSet<QString> changed = std::exchange(m_changedFolders, {});
    // A label being edited keeps its row, a drop, drag, dialog or menu
    // running its own event loop may hold items, and rows moving under
    // something dragged over the tree would move its target: the batch
    // waits for them.
    if (m_editor || m_hoverTimer.isActive() || QThread::currentThread()->loopLevel() > 1) {
        m_changedFolders = changed;
        m_folderBatch->start();
        return;
    }
    std::vector<std::pair<QTreeWidgetItem*, QString>> expanded;
    for (int i = 0; i < topLevelItemCount(); ++i)
        CollectExpanded(topLevelItem(i), expanded);
    // Items go by persistent index: removing one may drop its siblings.
    std::vector<QPersistentModelIndex> toUpdate;
    for (const auto& [item, path] : expanded)
        if (changed.contains(path))
            toUpdate.emplace_back(indexFromItem(item));
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
}
