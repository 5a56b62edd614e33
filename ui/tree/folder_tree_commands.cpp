// The folder tree's commands: the context menu, New Folder, in-place
// Rename and Delete to the trash.

#include "files/file_trash.h"
#include "browse/folder_listing.h"
#include "tree/folder_tree.h"
#include "tree/folder_tree_item.h"
#include "res/command_table.h"
#include "res/menus.h"
#include "report/string_table.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
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
        *name = CFolderTree::NewFolderName(attempt, local);
        if (mkdir((dir + *name).c_str(), 0777) == 0)
            return true;
    }
    return false;
}

}  // namespace

std::string CFolderTree::NewFolderName(int attempt, const std::tm& now)
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

void CFolderTree::SetCommandItem(QTreeWidgetItem* item)
{
    m_commandItem = item ? QPersistentModelIndex(indexFromItem(item)) : QPersistentModelIndex();
}

QTreeWidgetItem* CFolderTree::CommandItem() const
{
    return m_commandItem.isValid() ? itemFromIndex(m_commandItem) : nullptr;
}

void CFolderTree::RunCommand(int id)
{
    switch (id) {
    case res::kCmdNewFolder: NewFolder(); break;
    case res::kCmdRenameFolder: StartRename(); break;
    case res::kCmdDeleteFolder: DeleteFolder(); break;
    default: break;
    }
}

std::unique_ptr<QMenu> CFolderTree::CreateContextMenu(QTreeWidgetItem* item)
{
    auto menu = std::make_unique<QMenu>(this);
    for (const res::PaneMenuEntry& entry : res::FolderTreeMenu()) {
        if (entry.command == res::kSeparator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromUtf8(entry.text));
        action->setData(entry.command);
        action->setEnabled(entry.command == res::kCmdNewFolder ? IsFileSystemFolder(item)
                                                               : IsRenamable(item));
    }
    return menu;
}

QAction* CFolderTree::ExecContextMenu(QMenu* menu, const QPoint& globalPos)
{
    return menu->exec(globalPos);
}

bool CFolderTree::ConfirmDelete(const std::string& path)
{
    const QString text
        = tr("Do you want to move the folder \"%1\" and everything in it to the trash?").arg(Utf8(path));
    return QMessageBox::question(window(), QString::fromUtf8(res::String(res::kStrAppTitle)), text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
        == QMessageBox::Yes;
}

void CFolderTree::ShowError(const QString& text)
{
    QMessageBox::critical(window(), QString::fromUtf8(res::String(res::kStrAppTitle)), text);
}

// ---- Mouse and keys ----

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

void CFolderTree::contextMenuEvent(QContextMenuEvent* event)
{
    QTreeWidgetItem* item = nullptr;
    QPoint at;
    if (event->reason() == QContextMenuEvent::Mouse) {
        // Anywhere on a row counts, also beside a short label.
        const int left = header()->sectionViewportPosition(0);
        const int x = std::clamp(event->pos().x(), left, left + std::max(header()->sectionSize(0), 1) - 1);
        item = itemAt(QPoint(x, event->pos().y()));
        at = event->globalPos();
    } else if ((item = currentItem())) {
        at = viewport()->mapToGlobal(visualItemRect(item).bottomLeft());
    }
    if (!item) {
        event->ignore();
        return;
    }
    event->accept();
    SetCommandItem(item);
    const std::unique_ptr<QMenu> menu = CreateContextMenu(item);
    if (QAction* chosen = ExecContextMenu(menu.get(), at))
        RunCommand(chosen->data().toInt());
}

void CFolderTree::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete && state() != EditingState) {
        QTreeWidgetItem* item = currentItem();
        SetCommandItem(item);
        // Posted, so the key's own handling ends before anything is trashed.
        if (IsRenamable(item))
            QMetaObject::invokeMethod(
                this, [this] { RunCommand(res::kCmdDeleteFolder); }, Qt::QueuedConnection);
    }
    QTreeWidget::keyPressEvent(event);
}

// ---- New Folder ----

void CFolderTree::NewFolder()
{
    QTreeWidgetItem* item = CommandItem();
    std::string dir;
    if (!IsFileSystemFolder(item) || !GetItemPidl(item).GetPath(&dir))
        return;
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    std::string name;
    if (!MakeNewFolder(dir, &name)) {
        ShowError(QString::fromUtf8(res::String(res::kStrCantCreateFolder)));
        return;
    }
    const CShellPidl relative = CShellPidl::MakeItem(kItemEntry, name);
    SetHasChildren(item, 1);
    expandItem(item);
    if (!item->isExpanded())
        return;
    QTreeWidgetItem* created = FindChild(item, relative);
    if (!created) {
        // The folder was expanded before: its listing is not read again.
        created = NewItem(DisplayUtf8(name), relative, true);
        SetHasChildren(created, 0);
        InsertSorted(item, created);
    }
    scrollToItem(created);
    editItem(created, 0);
}

// ---- Rename ----

void CFolderTree::StartRename()
{
    QTreeWidgetItem* item = CommandItem();
    if (!IsRenamable(item))
        return;
    scrollToItem(item);
    editItem(item, 0);
}

bool CFolderTree::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    if (trigger != NoEditTriggers && !IsRenamable(itemFromIndex(index)))
        return false;
    const bool wasEditing = state() == EditingState;
    const bool result = QTreeWidget::edit(index, trigger, event);
    if (!wasEditing && state() == EditingState) {
        m_editIndex = index;
        m_hasPending = false;
        // The open editor is the one shown; a closed one waits hidden for deletion.
        m_editor = nullptr;
        for (QLineEdit* editor : viewport()->findChildren<QLineEdit*>())
            if (!editor->isHidden())
                m_editor = editor;
        emit AcceleratorsWanted(false);
    }
    return result;
}

void CFolderTree::commitData(QWidget* editor)
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

void CFolderTree::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Tab would move the edit, and with it the selection, to the next folder.
    if (hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem)
        hint = QAbstractItemDelegate::SubmitModelCache;
    QTreeWidget::closeEditor(editor, hint);
    if (editor != m_editor)
        return;
    m_editor = nullptr;
    const QPersistentModelIndex index = m_editIndex;
    m_editIndex = QPersistentModelIndex();
    const bool pending = std::exchange(m_hasPending, false);
    emit AcceleratorsWanted(true);
    if (pending && index.isValid())
        FinishRename(itemFromIndex(index), m_pendingText);
}

void CFolderTree::CancelEditing(QTreeWidgetItem* under)
{
    QTreeWidgetItem* edited = m_editIndex.isValid() ? itemFromIndex(m_editIndex) : nullptr;
    if (m_editor && IsAtOrBelow(edited, under)) {
        m_hasPending = false;
        closeEditor(m_editor, QAbstractItemDelegate::RevertModelCache);
    }
}

void CFolderTree::FinishRename(QTreeWidgetItem* treeItem, const QString& text)
{
    CFolderItem* item = FolderItem(treeItem);
    // An unchanged label is no rename: a name shown with replacement
    // characters would otherwise be rewritten with them.
    if (!item || !IsRenamable(item) || text.isEmpty() || text == item->text(0))
        return;
    const QString oldLabel = item->text(0);
    // The item takes its new place before the rename is tried.
    item->setText(0, text);
    item->parent()->sortChildren(0, Qt::AscendingOrder);
    std::string error;
    if (RenameItem(item, text.toStdString(), &error)) {
        WatchExpandedFolders(true);  // the paths below it changed
        return;
    }
    // Refused: the label names the folder the item still points at.
    item->setText(0, oldLabel);
    item->parent()->sortChildren(0, Qt::AscendingOrder);
    if (!error.empty())
        ShowError(tr("Can't rename \"%1\": %2").arg(oldLabel, QString::fromStdString(error)));
}

// Renames through the receiver when the item is the shown folder (which
// tells the user itself when it refuses), else directly; `error` then says why.
bool CFolderTree::RenameItem(CFolderItem* item, const std::string& newName, std::string* error)
{
    const CShellPidl full = GetItemPidl(item);
    if (item == currentItem() && m_notify) {
        // The shown folder is renamed by whoever shows it.
        FolderNotify notify;
        notify.kind = 0;
        notify.folder = &full;
        notify.newName = &newName;
        emit FolderNotified(&notify);
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
    if (m_notify && IsAtOrBelow(currentItem(), item) && currentItem() != item)
        NotifyChosen(currentItem());
    return true;
}

// ---- Delete ----

void CFolderTree::DeleteFolder()
{
    QTreeWidgetItem* item = CommandItem();
    std::string path;
    if (!IsRenamable(item) || !GetItemPidl(item).GetPath(&path))
        return;
    if (!ConfirmDelete(path))
        return;
    // The folder is let go of before it moves.
    MoveSelectionOff(item);
    std::string error;
    if (!MoveToTrash(path, &error)) {
        ShowError(tr("Can't move \"%1\" to the trash: %2").arg(Utf8(path), QString::fromStdString(error)));
        return;
    }
    // The selection handler may have changed the tree meanwhile.
    if ((item = CommandItem()))
        RemoveItem(item);
}
