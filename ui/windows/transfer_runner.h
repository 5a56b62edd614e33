#pragma once
// CTransferRunner: carries out one move or copy for a window. The transfer
// runs on a CTransferWorker while the window keeps painting; when it
// runs longer than about half a second a progress dialog with Cancel comes
// up. Collisions are asked with CCollisionDialog, and a transfer that was
// refused, failed or left items behind ends with one message that names the
// item and the reason.
//
// Until the progress dialog is up, the user's input waits in the queue (it
// is delivered afterwards), so that nothing can start a second operation or
// close the window while the first runs; the dialog is modal after that.
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

class CTransferWorker;

class QEventLoop;
class QProgressDialog;
class QWidget;

class CTransferRunner : public QObject {
    Q_OBJECT

public:
    static constexpr int kProgressDelayMs = 500;
    static constexpr int kProgressTickMs = 100;

    explicit CTransferRunner(QWidget* owner);
    ~CTransferRunner() override;

    // Runs the transfer and returns when it has ended, after any message.
    TransferResult Run(TransferKind kind, const std::vector<std::string>& sources, const std::string& target);

    // The progress dialog while it is shown, else null.
    QProgressDialog* ProgressDialog() const { return m_dialog; }

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
    void ShowProgress();
    void UpdateProgress(const TransferProgress& progress);

    QPointer<QWidget> m_owner;
    TransferKind m_kind = TransferKind::Copy;
    std::string m_target;
    QProgressDialog* m_dialog = nullptr;
    CTransferWorker* m_worker = nullptr;  // during Run
    QEventLoop* m_loop = nullptr;         // during Run
};
