#include "tree/folder_tree_item.h"

#include "tree/folder_tree.h"

namespace {
quint64 s_serials = 0;  // user-interface thread only
}  // namespace

CFolderItem::CFolderItem(const QString& label, const CShellPidl& relative, bool fileSystem)
    : QTreeWidgetItem(QStringList(label), kType), fileSystem(fileSystem), relative(relative),
      serial(++s_serials)
{
    // The tree refuses the edit of folders that cannot be renamed, and the
    // drag of folders without a path.
    setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemIsDragEnabled);
}

QVariant CFolderItem::data(int column, int role) const
{
    if (column == 0 && role == Qt::DecorationRole)
        if (const auto* tree = qobject_cast<const CFolderTree*>(treeWidget()))
            return tree->ItemIcon(*this);
    return QTreeWidgetItem::data(column, role);
}

bool CFolderItem::operator<(const QTreeWidgetItem& other) const
{
    const QString a = text(0);
    const QString b = other.text(0);
    const int order = QString::compare(a, b, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}
