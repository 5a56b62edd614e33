#pragma once
// Finding the folder tree's items by label, for its widget tests.

#include <QStringList>
#include <QTreeWidgetItem>

namespace treetest {

// The child of `parent` with this label, or null.
inline QTreeWidgetItem* Child(QTreeWidgetItem* parent, const QString& label)
{
    for (int i = 0; parent && i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == label)
            return parent->child(i);
    return nullptr;
}

// The labels of the children of `parent`, in the tree's order.
inline QStringList Labels(QTreeWidgetItem* parent)
{
    QStringList labels;
    for (int i = 0; i < parent->childCount(); ++i)
        labels << parent->child(i)->text(0);
    return labels;
}

}  // namespace treetest
