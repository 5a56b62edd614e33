#include "tree/folder_selection_model.h"

#include "tree/folder_tree.h"

CFolderSelectionModel::CFolderSelectionModel(QAbstractItemModel* model, CFolderTree* tree)
    : QItemSelectionModel(model, tree), m_tree(tree)
{
}

void CFolderSelectionModel::setCurrentIndex(const QModelIndex& index,
                                            QItemSelectionModel::SelectionFlags command)
{
    if (index.isValid() && index != currentIndex() && m_tree->DefersPress(index, command))
        return;
    if (index.isValid() && index != currentIndex() && !m_tree->SelectionChanging(index))
        return;
    QItemSelectionModel::setCurrentIndex(index, command);
}

void CFolderSelectionModel::select(const QItemSelection&, QItemSelectionModel::SelectionFlags command)
{
    // A mouse press selects the row under it even when the current item
    // was refused; marking the current row instead keeps the old choice.
    const QModelIndex current = currentIndex();
    if (current.isValid())
        QItemSelectionModel::select(QItemSelection(current, current), ClearAndSelect | Rows);
    else if (command & Clear)
        QItemSelectionModel::select(QItemSelection(), Clear);
}
