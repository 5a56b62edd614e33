#pragma once
// CFolderTreeCommands: the folder tree's commands. The context menu (149)
// carries New Folder (900), Rename (901) and Delete (902); they act on the
// command item, set by a right click or the Delete key. New Folder makes
// the first free name and opens it for editing, Rename edits the label in
// place and renames the folder once the editor closes (the shown folder is
// renamed by the tree's receiver), and Delete moves the folder to the trash
// after the user confirms.
//
// Ownership: owned by its tree, which outlives it; it keeps the command
// item and the edited label by persistent index, since dialogs and menus
// run the event loop. The questions and messages are the tree's
// (ConfirmDelete, ShowError, ExecContextMenu), so that a test can answer
// them. Thread rules: user-interface thread only.

#include <QPersistentModelIndex>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <ctime>
#include <memory>
#include <string>

class CFolderItem;
class CFolderTree;
class QContextMenuEvent;
class QMenu;
class QTreeWidgetItem;

class CFolderTreeCommands {
public:
    explicit CFolderTreeCommands(CFolderTree* tree);

    // The name New Folder tries at attempt 1 ("New Folder"), 2 to 5
    // ("New Folder 2" ...), and after that the name carrying `now`'s day of
    // the year and time of day ("New Folder 032141507").
    static std::string NewFolderName(int attempt, const std::tm& now);

    void SetCommandItem(QTreeWidgetItem* item);
    QTreeWidgetItem* CommandItem() const;
    void Run(int id);
    // Menu 149 for `item`: actions carry their command as data and are
    // enabled as the commands allow.
    std::unique_ptr<QMenu> CreateContextMenu(QTreeWidgetItem* item);
    // Opens the menu for the row clicked or, from the keyboard, the current
    // row, and runs the command chosen.
    void ContextMenu(QContextMenuEvent* event);
    // The Delete key: deletes the current folder once the key is handled.
    void DeleteKey();

    // In-place editing of a label, told by the tree's editing overrides.
    void EditStarted(const QModelIndex& index);
    void CommitData(QWidget* editor);
    void EditorClosed(QWidget* editor);
    // Closes an editor open at or below `under`, without renaming.
    void CancelEditing(QTreeWidgetItem* under);
    // The open editor of a label, or null.
    const QPointer<QWidget>& Editor() const { return m_editor; }

private:
    void NewFolder();
    void StartRename();
    void DeleteFolder();
    void FinishRename(QTreeWidgetItem* item, const QString& text);
    bool RenameItem(CFolderItem* item, const std::string& newName, std::string* error);

    CFolderTree* m_tree;
    QPersistentModelIndex m_commandItem;
    // The label being edited: its item, its editor and the text committed.
    QPersistentModelIndex m_editIndex;
    QPointer<QWidget> m_editor;
    QString m_pendingText;
    bool m_hasPending = false;
};
