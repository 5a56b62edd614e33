#pragma once
// CFolderItem: one folder of CFolderTree and what the tree keeps about it.
// Owned by its parent item (the root by the tree); user-interface thread only.

#include "browse/shell_pidl.h"

#include <QTreeWidgetItem>

class CFolderItem final : public QTreeWidgetItem {
public:
    static constexpr int kType = QTreeWidgetItem::UserType + 1;

    CFolderItem(const QString& label, const CShellPidl& relative, bool fileSystem);

    // The icon is asked of the tree, which computes it when the row is painted.
    QVariant data(int column, int role) const override;
    // Labels in the order a reader expects: case only breaks ties.
    bool operator<(const QTreeWidgetItem& other) const override;

    bool fileSystem = false;  // the folder is a path in the file system
    CShellPidl relative;      // the folder inside its parent; nothing for the root
    int normalIcon = -1;      // icon cache slots, -1 until the row is first painted
    int openIcon = -1;
    // Tells this item from any other made before or after, so that the
    // tree's bookkeeping never mistakes a new item for a deleted one.
    const quint64 serial;
};
