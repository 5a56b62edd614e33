#pragma once
// CCollisionDialog: asks what to do when a moved or copied item meets one of
// the same name in the target folder: Replace (Merge for two folders), Skip,
// Keep both or Cancel, with "Apply to all" for the rest of the transfer. A
// file and a folder can't replace each other, so that answer is not offered
// for them. Closing the dialog cancels.
//
// User-interface thread only; shown modal by its owner.

#include <QDialog>

#include "files/file_transfer.h"

class QCheckBox;
class QPushButton;

class CCollisionDialog : public QDialog {
    Q_OBJECT

public:
    CCollisionDialog(const TransferCollision& collision, TransferKind kind, QWidget* parent = nullptr);

    // Shows the dialog and waits for the answer.
    static CollisionChoice Ask(const TransferCollision& collision, TransferKind kind, QWidget* parent);

    CollisionChoice Choice() const { return m_choice; }
    // The controls, for tests.
    QPushButton* Button(CollisionAnswer answer) const;
    QCheckBox* ApplyToAllBox() const { return m_applyToAll; }

private:
    void Answer(CollisionAnswer answer);

    CollisionChoice m_choice;
    QPushButton* m_buttons[4] = {};
    QCheckBox* m_applyToAll = nullptr;
};
