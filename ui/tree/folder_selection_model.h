#pragma once
// CFolderSelectionModel: the folder tree's selection model. It keeps the
// current item and the selection one and the same, and asks the tree before
// the current item moves, so that every way of choosing a folder (mouse,
// keys, type-ahead, code) can be refused.
//
// Ownership: a child of its tree, which it points at. Thread rules:
// user-interface thread only.

#include <QItemSelectionModel>

class CFolderTree;

class CFolderSelectionModel final : public QItemSelectionModel {
public:
    CFolderSelectionModel(QAbstractItemModel* model, CFolderTree* tree);

    void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override;
    using QItemSelectionModel::select;
    void select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) override;

private:
    CFolderTree* m_tree;
};
