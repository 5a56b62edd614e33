#pragma once
// CTransferRunner: carries out one move or copy for a window. The transfer
// runs on a CTransferWorker while the window waits with CProgressWait (input
// held for half a second, then a progress dialog with Cancel). Collisions
// are asked with CCollisionDialog, and a transfer that was refused, failed
// or left items behind ends with one message that names the item and the
// reason.
//
// Ownership: made for one Run by the widget that starts the transfer, which
// owns the dialogs. Thread rules: Run, AskCollision and ReportOutcome run on
// the user-interface thread, where the worker's news arrives as queued
// calls; WorkerStarted runs on the worker.

#include <QObject>
#include <QPointer>

#include <string>
#include <vector>

#include "files/file_transfer.h"
#include "windows/progress_wait.h"

class CTransferWorker;

class QProgressDialog;
class QWidget;

class CTransferRunner : public QObject {
    Q_OBJECT

public:
    explicit CTransferRunner(QWidget* owner);
    ~CTransferRunner() override;

    // Runs the transfer and returns when it has ended, after any message.
    TransferResult Run(TransferKind kind, const std::vector<std::string>& sources, const std::string& target);

    // The progress dialog while it is shown, else null.
    QProgressDialog* ProgressDialog() const { return m_wait.Dialog(); }

    // The one message for an outcome; empty when there is nothing to say
    // (done, cancelled, or only items the user chose to skip).
    static QString OutcomeMessage(TransferKind kind, const std::string& target, const TransferResult& result);

signals:
    // The progress dialog came up.
    void ProgressShown();

protected:
    // A collision, asked of the user.
    virtual CollisionChoice AskCollision(const TransferCollision& collision);
    // The outcome, told to the user in a message box when there is something to say.
    virtual void ReportOutcome(TransferKind kind, const std::string& target, const TransferResult& result);
    // On the worker thread, before the transfer begins. Nothing here.
    virtual void WorkerStarted() {}

private:
    // Answers the worker's question, and ends the wait once it has finished.
    void ServeWorker();
    void UpdateProgress(QProgressDialog& dialog, const TransferProgress& progress);

    QPointer<QWidget> m_owner;
    TransferKind m_kind = TransferKind::Copy;
    std::string m_target;
    CProgressWait m_wait;
    CTransferWorker* m_worker = nullptr;  // during Run
};
