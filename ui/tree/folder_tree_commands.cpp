#include "tree/folder_tree_commands.h"

#include "browse/shell_folder.h"
#include "files/file_trash.h"
#include "tree/folder_tree.h"
#include "tree/folder_tree_item.h"
#include "res/command_table.h"
#include "res/menus.h"
#include "report/string_table.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <algorithm>
#include <utility>
#include <sys/stat.h>

namespace {

QString Utf8(const std::string& bytes)
{
    return QString::fromStdString(DisplayUtf8(bytes));
}

// Makes the first free New Folder name in `dir` (ending in "/").
bool MakeNewFolder(const std::string& dir, std::string* name)
{
    const time_t now = time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    for (int attempt = 1; attempt <= 6; ++attempt) {
        *name = CFolderTreeCommands::NewFolderName(attempt, local);
        if (mkdir((dir + *name).c_str(), 0777) == 0)
            return true;
    }
    return false;
}

}  // namespace

CFolderTreeCommands::CFolderTreeCommands(CFolderTree* tree) : m_tree(tree) {}

std::string CFolderTreeCommands::NewFolderName(int attempt, const std::tm& now)
{
    const std::string base = res::String(res::kStrNewFolder);
    if (attempt <= 1)
        return base;
    if (attempt <= 5)
        return base + " " + std::to_string(attempt);
    char stamp[32] = "";
    strftime(stamp, sizeof stamp, " %j%H%M%S", &now);
    return base + stamp;
}

void CFolderTreeCommands::SetCommandItem(QTreeWidgetItem* item)
{
    m_commandItem = item ? QPersistentModelIndex(m_tree->indexFromItem(item)) : QPersistentModelIndex();
}

QTreeWidgetItem* CFolderTreeCommands::CommandItem() const
{
    return m_commandItem.isValid() ? m_tree->itemFromIndex(m_commandItem) : nullptr;
}

void CFolderTreeCommands::Run(int id)
{
    switch (id) {
    case res::kCmdNewFolder: NewFolder(); break;
    case res::kCmdRenameFolder: StartRename(); break;
    case res::kCmdDeleteFolder: DeleteFolder(); break;
    default: break;
    }
}

std::unique_ptr<QMenu> CFolderTreeCommands::CreateContextMenu(QTreeWidgetItem* item)
{
    auto menu = std::make_unique<QMenu>(m_tree);
    for (const res::PaneMenuEntry& entry : res::FolderTreeMenu()) {
        if (entry.command == res::kSeparator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromUtf8(entry.text));
        action->setData(entry.command);
        action->setEnabled(entry.command == res::kCmdNewFolder ? m_tree->IsFileSystemFolder(item)
                                                               : m_tree->IsRenamable(item));
    }
    return menu;
}

// ---- Menu and keys ----

void CFolderTreeCommands::ContextMenu(QContextMenuEvent* event)
{
    QTreeWidgetItem* item = nullptr;
    QPoint at;
    if (event->reason() == QContextMenuEvent::Mouse) {
        // Anywhere on a row counts, also beside a short label.
        const QHeaderView* header = m_tree->header();
        const int left = header->sectionViewportPosition(0);
        const int x = std::clamp(event->pos().x(), left, left + std::max(header->sectionSize(0), 1) - 1);
        item = m_tree->itemAt(QPoint(x, event->pos().y()));
        at = event->globalPos();
    } else if ((item = m_tree->currentItem())) {
        at = m_tree->viewport()->mapToGlobal(m_tree->visualItemRect(item).bottomLeft());
    }
    if (!item) {
        event->ignore();
        return;
    }
    event->accept();
    SetCommandItem(item);
    const std::unique_ptr<QMenu> menu = CreateContextMenu(item);
    if (QAction* chosen = m_tree->ExecContextMenu(menu.get(), at))
        m_tree->RunCommand(chosen->data().toInt());
}

void CFolderTreeCommands::DeleteKey()
{
    QTreeWidgetItem* item = m_tree->currentItem();
    SetCommandItem(item);
    // Posted, so the key's own handling ends before anything is trashed.
    if (m_tree->IsRenamable(item))
        QMetaObject::invokeMethod(
            m_tree, [tree = m_tree] { tree->RunCommand(res::kCmdDeleteFolder); }, Qt::QueuedConnection);
}

// ---- New Folder ----

void CFolderTreeCommands::NewFolder()
{
    QTreeWidgetItem* item = CommandItem();
    std::string dir;
    if (!m_tree->IsFileSystemFolder(item) || !m_tree->GetItemPidl(item).GetPath(&dir))
        return;
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    std::string name;
    if (!MakeNewFolder(dir, &name)) {
        m_tree->ShowError(QString::fromUtf8(res::String(res::kStrCantCreateFolder)));
        return;
    }
    const CShellPidl relative = CShellPidl::MakeItem(kItemEntry, name);
    m_tree->SetHasChildren(item, 1);
    m_tree->expandItem(item);
    if (!item->isExpanded())
        return;
    QTreeWidgetItem* created = m_tree->FindChild(item, relative);
    if (!created) {
        // The folder was expanded before: its listing is not read again.
        created = m_tree->NewItem(DisplayUtf8(name), relative, true);
        m_tree->SetHasChildren(created, 0);
        m_tree->InsertSorted(item, created);
    }
    m_tree->scrollToItem(created);
    m_tree->editItem(created, 0);
}

// ---- Rename ----

void CFolderTreeCommands::StartRename()
{
    QTreeWidgetItem* item = CommandItem();
    if (!m_tree->IsRenamable(item))
        return;
    m_tree->scrollToItem(item);
    m_tree->editItem(item, 0);
}

void CFolderTreeCommands::EditStarted(const QModelIndex& index)
{
    m_editIndex = index;
    m_hasPending = false;
    // The open editor is the one shown; a closed one waits hidden for deletion.
    m_editor = nullptr;
    for (QLineEdit* editor : m_tree->viewport()->findChildren<QLineEdit*>())
        if (!editor->isHidden())
            m_editor = editor;
    emit m_tree->AcceleratorsWanted(false);
}

void CFolderTreeCommands::CommitData(QWidget* editor)
{
    // The label changes only once the folder is renamed, after the editor
    // has closed (see closeEditor), so the model is not written here.
    if (editor != m_editor)
        return;
    if (const auto* line = qobject_cast<QLineEdit*>(editor)) {
        m_pendingText = line->text();
        m_hasPending = true;
    }
}

void CFolderTreeCommands::EditorClosed(QWidget* editor)
{
    if (editor != m_editor)
        return;
    m_editor = nullptr;
    const QPersistentModelIndex index = m_editIndex;
    m_editIndex = QPersistentModelIndex();
    const bool pending = std::exchange(m_hasPending, false);
    emit m_tree->AcceleratorsWanted(true);
    if (pending && index.isValid())
        FinishRename(m_tree->itemFromIndex(index), m_pendingText);
}

void CFolderTreeCommands::CancelEditing(QTreeWidgetItem* under)
{
    QTreeWidgetItem* edited = m_editIndex.isValid() ? m_tree->itemFromIndex(m_editIndex) : nullptr;
    if (m_editor && CFolderTree::IsAtOrBelow(edited, under)) {
        m_hasPending = false;
        m_tree->closeEditor(m_editor, QAbstractItemDelegate::RevertModelCache);
    }
}

void CFolderTreeCommands::FinishRename(QTreeWidgetItem* treeItem, const QString& text)
{
    CFolderItem* item = CFolderTree::FolderItem(treeItem);
    // An unchanged label is no rename: a name shown with replacement
    // characters would otherwise be rewritten with them.
    if (!item || !m_tree->IsRenamable(item) || text.isEmpty() || text == item->text(0))
        return;
    const QString oldLabel = item->text(0);
    // The item takes its new place before the rename is tried.
    item->setText(0, text);
    item->parent()->sortChildren(0, Qt::AscendingOrder);
    std::string error;
    if (RenameItem(item, text.toStdString(), &error)) {
        m_tree->WatchExpandedFolders(true);  // the paths below it changed
        return;
    }
    // Refused: the label names the folder the item still points at.
    item->setText(0, oldLabel);
    item->parent()->sortChildren(0, Qt::AscendingOrder);
    if (!error.empty())
        m_tree->ShowError(
            CFolderTree::tr("Can't rename \"%1\": %2").arg(oldLabel, QString::fromStdString(error)));
}

// Renames through the receiver when the item is the shown folder (which
// tells the user itself when it refuses), else directly; `error` then says why.
bool CFolderTreeCommands::RenameItem(CFolderItem* item, const std::string& newName, std::string* error)
{
    const CShellPidl full = m_tree->GetItemPidl(item);
    if (item == m_tree->currentItem() && m_tree->IsNotifyEnabled()) {
        // The shown folder is renamed by whoever shows it.
        FolderNotify notify;
        notify.kind = 0;
        notify.folder = &full;
        notify.newName = &newName;
        emit m_tree->FolderNotified(&notify);
        if (notify.newList.IsNull())
            return false;
        item->relative = notify.newList;
        return true;
    }
    CShellPidl target = full;
    if (!target.Rename(newName, &item->relative, error)) {
        if (error->empty())
            *error = "the name was refused";
        return false;
    }
    // The shown folder lies inside the renamed one: it is announced again
    // under its new path, or the thumbnails would read from a path now gone.
    QTreeWidgetItem* current = m_tree->currentItem();
    if (m_tree->IsNotifyEnabled() && CFolderTree::IsAtOrBelow(current, item) && current != item)
        m_tree->NotifyChosen(current);
    return true;
}

// ---- Delete ----

void CFolderTreeCommands::DeleteFolder()
{
    QTreeWidgetItem* item = CommandItem();
    std::string path;
    if (!m_tree->IsRenamable(item) || !m_tree->GetItemPidl(item).GetPath(&path))
        return;
    if (!m_tree->ConfirmDelete(path))
        return;
    // The folder is let go of before it moves.
    m_tree->MoveSelectionOff(item);
    std::string error;
    if (!MoveToTrash(path, &error)) {
        m_tree->ShowError(CFolderTree::tr("Can't move \"%1\" to the trash: %2")
                              .arg(Utf8(path), QString::fromStdString(error)));
        return;
    }
    // The selection handler may have changed the tree meanwhile.
    if ((item = CommandItem()))
        m_tree->RemoveItem(item);
}
