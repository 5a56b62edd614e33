#pragma once
// CFolderTree: the folders of the namespace from the Desktop down, shown as a
// tree beside the thumbnail pane. A folder's children are listed when it is
// first expanded and dropped when it is collapsed. While they are shown, the
// children of expanded file-system folders are kept current
// (folder_tree_watch.cpp): folders that other programs create or remove
// there appear or leave within a moment.
//
// Choosing a folder lists it before the selection moves, and the listing
// goes to the parent with FolderNotified (kind 1). A folder that cannot be
// listed cannot be expanded; it is still selected, so the keys move onto it
// and past it, and the parent is told why it is empty (the error).
// The context menu (149) carries New Folder, Rename and Delete; renames are
// edited in place, and the shown folder is renamed by the parent (kind 0).
// The commands are a class the tree owns (CFolderTreeCommands).
//
// Drag and drop (CFolderTreeDrop, owned by the tree): a folder dragged out
// travels as a text/uri-list, and leaves the tree when the receiver really
// moved it. Files and folders dropped on a file-system folder (from the
// tree, the thumbnail pane or another program) are moved there, or copied
// with Ctrl or Shift, after the user confirms. While something is dragged
// over it, the tree scrolls at its top and bottom rows and opens a folder
// the cursor rests on.
//
// Ownership: every item owns its data (relative list, icon slots); items
// below the Desktop root live only while their parent is expanded, so keep
// no QTreeWidgetItem pointer across anything that may collapse a folder.
// The icons (CFolderTreeIcons), the commands and the drag and drop belong
// to the tree.
//
// Thread rules: user-interface thread only. Notifications are emitted
// synchronously: receivers connect with Qt::DirectConnection and have acted
// when the emit returns.

#include "browse/folder_watcher.h"
#include "files/file_transfer.h"
#include "browse/shell_pidl.h"
#include "tree/folder_tree_commands.h"
#include "tree/folder_tree_drop.h"
#include "tree/folder_tree_icons.h"

#include <QBasicTimer>
#include <QHash>
#include <QIcon>
#include <QItemSelectionModel>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QSet>
#include <QTreeWidget>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CFolderListing;
class CFolderItem;
class CFolderSelectionModel;
class QMenu;
class QMimeData;

// The record of a folder notification; valid only during the signal.
struct FolderNotify {
    int kind = 1;                             // 1: a folder was chosen; 0: the shown folder is being renamed
    const CFolderListing* listing = nullptr;  // kind 1: the chosen folder, enumerated
    int error = 0;                            // kind 1: errno when it could not be listed (listing empty)
    const CShellPidl* folder = nullptr;       // kind 0: full list of the folder being renamed
    const std::string* newName = nullptr;     // kind 0: the typed name (UTF-8)
    // kind 0: the receiver fills it with the new one-item relative list when it renamed the folder
    CShellPidl newList;
};

class CFolderTree : public QTreeWidget {
    Q_OBJECT

public:
    using QTreeWidget::edit;

    explicit CFolderTree(QWidget* parent = nullptr);
    ~CFolderTree() override;

    // Initialises the icon cache and inserts the Desktop root; false when the
    // icons cannot be made.
    bool Create();

    // Expands the tree down the full list and selects its last item, through
    // the selection rules (the folder is listed; the parent is told unless
    // notify is false). False when a part of the list matches no folder or
    // the selection was refused.
    bool SelectPidl(const CShellPidl& full, bool notify);

    // The full list of an item: the empty list for the Desktop root, nothing
    // for no item.
    CShellPidl GetItemPidl(QTreeWidgetItem* item) const;
    // How many paths the watch of the expanded folders has looked up: one
    // for each folder expanded, however deep (tools and tests).
    int WatchLookups() const { return m_watchLookups; }
    // How many times every row has been laid out: a route opens with a
    // few, however deep (tools and tests).
    int RowLayouts() const { return m_rowLayouts; }
    void doItemsLayout() override;
    // A file-system folder below a file-system folder: not the Desktop, not
    // a volume, not a folder shown directly under the Desktop.
    bool IsRenamable(QTreeWidgetItem* item) const;
    // The item names a folder of the file system (New Folder is offered).
    bool IsFileSystemFolder(QTreeWidgetItem* item) const;
    // When the selection is `item` or lies below it, selects the item's parent.
    void MoveSelectionOff(QTreeWidgetItem* item);
    // Deletes the item; the only child of its parent goes by collapsing the
    // parent, which keeps its expand button.
    void RemoveItem(QTreeWidgetItem* item);
    // count > 0 shows the expand button until the item is expanded; 0 hides it.
    void SetHasChildren(QTreeWidgetItem* item, int count);
    // Off: the tree sends no notification.
    void SetNotifyEnabled(bool on) { m_notify = on; }
    bool IsNotifyEnabled() const { return m_notify; }

    // The item the folder commands act on, set by a right click or the
    // Delete key; null once that item is gone.
    void SetCommandItem(QTreeWidgetItem* item) { m_commands->SetCommandItem(item); }
    QTreeWidgetItem* CommandItem() const { return m_commands->CommandItem(); }
    // Runs New Folder (900), Rename (901) or Delete (902) on the command item.
    void RunCommand(int id) { m_commands->Run(id); }
    // Menu 149 for `item`: actions carry their command as data and are
    // enabled as the commands allow. Owned by the caller.
    std::unique_ptr<QMenu> CreateContextMenu(QTreeWidgetItem* item);

    // How long changes to watched folders gather before the tree follows.
    static constexpr int kFolderBatchMs = 250;
    // Lists the item's folder anew and inserts the subfolders it does not
    // show yet, sorted; nothing when the item was never expanded.
    void RefreshChildren(QTreeWidgetItem* item);
    // The folder drawn as the drop target, or null.
    QTreeWidgetItem* DropHighlight() const { return m_drop->DropHighlight(); }
    // String 24 made up: "Do you want to move 2 item(s) to /photos?".
    static QString ConfirmTransferText(bool copy, size_t count, const std::string& destination);

signals:
    // Connected with Qt::DirectConnection: the receiver has acted when emit returns.
    void FolderNotified(FolderNotify* notify);
    // false while a label is edited (so Space/Enter/Esc/Ctrl keys reach the editor), true after.
    void AcceleratorsWanted(bool on);

protected:
    // Asks whether the folder at `path` may go to the trash.
    virtual bool ConfirmDelete(const std::string& path);
    // Tells the user why a command failed, in a box owned by the window.
    virtual void ShowError(const QString& text);
    // Shows the context menu at a screen point; the chosen action or null.
    virtual QAction* ExecContextMenu(QMenu* menu, const QPoint& globalPos);
    // Asks whether the dropped items may be moved (copied) to `destination`.
    virtual bool ConfirmTransfer(bool copy, const std::vector<std::string>& sources,
                                 const std::string& destination);
    // Carries out a confirmed drop, with progress, questions and messages.
    virtual TransferResult RunTransfer(TransferKind kind, const std::vector<std::string>& sources,
                                       const std::string& target);
    // Runs the drag of a folder (owns `data`) and returns what the drop did.
    virtual Qt::DropAction RunDrag(QMimeData* data);

    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override { m_commands->ContextMenu(event); }
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override { m_drop->DragEnter(event); }
    void dragMoveEvent(QDragMoveEvent* event) override { m_drop->DragMove(event); }
    void dragLeaveEvent(QDragLeaveEvent* event) override { m_drop->DragLeave(event); }
    void dropEvent(QDropEvent* event) override { m_drop->Drop(event); }

protected slots:
    // The label changes only once the folder is renamed, after the editor
    // has closed, so the model is not written here.
    void commitData(QWidget* editor) override { m_commands->CommitData(editor); }
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    friend class CFolderItem;
    friend class CFolderSelectionModel;
    friend class CFolderTreeCommands;
    friend class CFolderTreeDrop;

    static CFolderItem* FolderItem(QTreeWidgetItem* item);
    static bool IsBelow(const QTreeWidgetItem* item, const QTreeWidgetItem* ancestor);
    static bool IsAtOrBelow(const QTreeWidgetItem* item, const QTreeWidgetItem* ancestor);
    CFolderItem* NewItem(const std::string& label, const CShellPidl& relative, bool fileSystem) const;

    // Expansion: children listed on the way down, dropped on the way up.
    void OnItemExpanded(QTreeWidgetItem* item);
    void OnItemCollapsed(QTreeWidgetItem* item);
    bool Populate(QTreeWidgetItem* item);
    bool ChildrenSorted(QTreeWidgetItem* item) const;
    void InsertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* child);
    QTreeWidgetItem* FindChild(QTreeWidgetItem* parent, const CShellPidl& relative) const;
    QTreeWidgetItem* FindOrRelist(QTreeWidgetItem* parent, const CShellPidl& relative);
    void DropChildren(QTreeWidgetItem* item);
    void ForgetSelection();

    // Selection: asked by the selection model before the current item moves.
    // A left press only remembers its row (DefersPress answers true); the
    // release chooses it unless a drag started in between.
    bool DefersPress(const QModelIndex& index, QItemSelectionModel::SelectionFlags command);
    bool SelectionChanging(const QModelIndex& index);
    bool NotifyChosen(QTreeWidgetItem* item);

    // The item's icon, made when its row is first painted (CFolderTreeIcons).
    QIcon ItemIcon(const CFolderItem& item) const { return m_icons->ItemIcon(item); }

    // Keeping the open folders current (folder_tree_watch.cpp).
    void SetUpFolderWatch();
    void CollectExpanded(QTreeWidgetItem* item, std::vector<CFolderItem*>& out) const;
    void WatchFolder(const CFolderItem* folder, std::vector<std::string>* added);
    // With `lookUpAgain` every path is looked up anew (a folder was renamed).
    void WatchExpandedFolders(bool lookUpAgain = false);
    void UpdateChangedFolders(const FolderBatch& changed);
    void UpdateChildren(QTreeWidgetItem* item);

    bool m_notify = true;
    bool m_inSelectionChange = false;
    // SelectPidl is opening the levels of a route: it scrolls once at the end.
    bool m_walkingRoute = false;
    const std::unique_ptr<CFolderTreeIcons> m_icons;
    // Where the left button went down: a drag carries the folder pressed.
    QPoint m_pressPos;
    bool m_inPress = false;
    QPersistentModelIndex m_pressedItem;  // chosen on release when no drag started
    const std::unique_ptr<CFolderTreeCommands> m_commands;
    const std::unique_ptr<CFolderTreeDrop> m_drop;
    // The folder watch waits while a label is edited or something is
    // dragged over the tree: the open editor and the hover timer.
    const QPointer<QWidget>& m_editor;
    const QBasicTimer& m_hoverTimer;
    // The expanded folders watched, by their path (bytes).
    CFolderWatcher* m_folderWatch = nullptr;
    QHash<quint64, std::string> m_watched;   // item serial: its path (empty: none)
    std::map<std::string, int> m_watchUses;  // path: the watched items that show it
    int m_watchLookups = 0;
    int m_rowLayouts = 0;
};
