#include "windows/transfer_runner.h"

#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>
#include <QWidget>

#include "browse/shell_pidl.h"
#include "files/transfer_worker.h"
#include "report/string_table.h"
#include "windows/collision_dialog.h"

namespace {

QString Readable(const std::string& bytes)
{
    return QString::fromStdString(DisplayUtf8(bytes));
}

QString Verb(TransferKind kind)
{
    return kind == TransferKind::Move ? QStringLiteral("move") : QStringLiteral("copy");
}

QString Participle(TransferKind kind)
{
    return kind == TransferKind::Move ? QStringLiteral("moved") : QStringLiteral("copied");
}

}  // namespace

CTransferRunner::CTransferRunner(QWidget* owner) : m_owner(owner), m_wait(owner)
{
    connect(&m_wait, &CProgressWait::Shown, this, &CTransferRunner::ProgressShown);
}

CTransferRunner::~CTransferRunner() = default;

TransferResult CTransferRunner::Run(TransferKind kind, const std::vector<std::string>& sources,
                                    const std::string& target)
{
    m_kind = kind;
    m_target = target;
    // The worker's news comes through the event queue; a call still queued
    // when Run has returned finds no worker.
    CTransferWorker worker(kind, sources, target, [this] {
        QMetaObject::invokeMethod(this, &CTransferRunner::ServeWorker, Qt::QueuedConnection);
    });
    m_worker = &worker;
    worker.Start([this] { WorkerStarted(); });
    m_wait.Run({[&worker] { return worker.IsFinished(); }, [&worker] { worker.Cancel(); },
                [this, &worker](QProgressDialog& dialog) { UpdateProgress(dialog, worker.Progress()); }});
    m_worker = nullptr;
    const TransferResult result = worker.Result();
    ReportOutcome(kind, target, result);
    return result;
}

void CTransferRunner::ServeWorker()
{
    if (m_worker && m_worker->Serve([this](const TransferCollision& c) { return AskCollision(c); }))
        m_wait.Wake();
}

void CTransferRunner::UpdateProgress(QProgressDialog& dialog, const TransferProgress& p)
{
    const QLocale locale;
    const bool moving = m_kind == TransferKind::Move;
    dialog.setLabelText(QStringLiteral("%1 %2 of %3 files (%4 of %5) to \"%6\"")
                            .arg(moving ? QStringLiteral("Moving") : QStringLiteral("Copying"))
                            .arg(p.filesDone)
                            .arg(p.filesTotal)
                            .arg(locale.formattedDataSize(static_cast<qint64>(p.bytesDone)),
                                 locale.formattedDataSize(static_cast<qint64>(p.bytesTotal)),
                                 Readable(m_target)));
    // Bytes tell the way best; a move that only renames has none.
    const double part = p.bytesTotal ? double(p.bytesDone) / double(p.bytesTotal)
        : p.filesTotal               ? double(p.filesDone) / double(p.filesTotal)
                                     : 0.0;
    dialog.setValue(static_cast<int>(std::min(1.0, part) * CProgressWait::kSteps));
}

CollisionChoice CTransferRunner::AskCollision(const TransferCollision& collision)
{
    return CCollisionDialog::Ask(collision, m_kind,
                                 ProgressDialog() ? static_cast<QWidget*>(ProgressDialog()) : m_owner.data());
}

QString CTransferRunner::OutcomeMessage(TransferKind kind, const std::string& target,
                                        const TransferResult& result)
{
    switch (result.outcome) {
    case TransferOutcome::Done:
    case TransferOutcome::Cancelled: return {};
    case TransferOutcome::Refused: {
        const TransferProblem& first = result.problems.front();
        QString text = QStringLiteral("Nothing was %1 to \"%2\".\n\"%3\": %4")
                           .arg(Participle(kind), Readable(target), Readable(first.path),
                                QString::fromStdString(first.reason));
        if (result.problems.size() > 1)
            text += QStringLiteral("\n(and %1 more)").arg(result.problems.size() - 1);
        return text;
    }
    case TransferOutcome::Failed: {
        const TransferProblem& last = result.problems.back();
        return QStringLiteral("Can't %1 \"%2\" to \"%3\": %4\nWhat came before it is done; it and the rest "
                              "stayed where they were.")
            .arg(Verb(kind), Readable(last.path), Readable(target), QString::fromStdString(last.reason));
    }
    case TransferOutcome::Partly: break;
    }
    QStringList left;
    for (const TransferProblem& problem : result.problems)
        if (problem.kind == TransferProblem::Kind::Unsupported)
            left << QStringLiteral("\"%1\": %2")
                        .arg(Readable(problem.path), QString::fromStdString(problem.reason));
    if (left.isEmpty())
        return {};
    return QStringLiteral("These items were not %1 and stayed where they were:\n%2")
        .arg(Participle(kind), left.join(QLatin1Char('\n')));
}

void CTransferRunner::ReportOutcome(TransferKind kind, const std::string& target,
                                    const TransferResult& result)
{
    const QString text = OutcomeMessage(kind, target, result);
    if (text.isEmpty())
        return;
    const QString title = QString::fromUtf8(res::String(res::kStrAppTitle));
    if (result.outcome == TransferOutcome::Failed)
        QMessageBox::critical(m_owner, title, text);
    else
        QMessageBox::warning(m_owner, title, text);
}
