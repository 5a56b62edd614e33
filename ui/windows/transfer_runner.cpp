#include "windows/transfer_runner.h"

#include <QEventLoop>
#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <thread>

#include "browse/shell_pidl.h"
#include "report/string_table.h"
#include "windows/collision_dialog.h"

namespace {

constexpr int kProgressSteps = 1000;

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

// The engine's questions, carried from the worker to the user-interface
// thread, which answers while the worker waits.
class CTransferRunner::Handler : public ITransferHandler {
public:
    explicit Handler(CTransferRunner* runner) : m_runner(runner) {}

    CollisionChoice AskCollision(const TransferCollision& collision) override
    {
        CollisionChoice choice;
        QMetaObject::invokeMethod(
            m_runner, [&] { choice = m_runner->AskCollision(collision); }, Qt::BlockingQueuedConnection);
        return choice;
    }

private:
    CTransferRunner* m_runner;
};

CTransferRunner::CTransferRunner(QWidget* owner) : m_owner(owner) {}

CTransferRunner::~CTransferRunner() = default;

TransferResult CTransferRunner::Run(TransferKind kind, const std::vector<std::string>& sources,
                                    const std::string& target)
{
    m_kind = kind;
    m_target = target;
    Handler handler(this);
    CFileTransfer transfer(kind, sources, target, &handler);
    TransferResult result;
    std::atomic<bool> finished {false};
    QEventLoop loop;
    std::thread worker([&] {
        WorkerStarted();
        result = transfer.Run();
        finished = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // A short transfer ends before anything shows; meanwhile input waits.
    QTimer::singleShot(kProgressDelayMs, &loop, &QEventLoop::quit);
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!finished) {
        ShowProgress(transfer);
        while (!finished)
            loop.exec();
        delete m_dialog;
        m_dialog = nullptr;
    }
    worker.join();
    ReportOutcome(kind, target, result);
    return result;
}

void CTransferRunner::ShowProgress(CFileTransfer& transfer)
{
    m_dialog = new QProgressDialog(m_owner);
    m_dialog->setWindowTitle(QString::fromUtf8(res::String(res::kStrAppTitle)));
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setMinimumDuration(0);
    m_dialog->setRange(0, kProgressSteps);
    connect(m_dialog, &QProgressDialog::canceled, this, [&transfer] { transfer.Cancel(); });
    auto* tick = new QTimer(m_dialog);
    connect(tick, &QTimer::timeout, this, [this, &transfer] { UpdateProgress(transfer.Progress()); });
    tick->start(kProgressTickMs);
    UpdateProgress(transfer.Progress());
    m_dialog->show();
    emit ProgressShown();
}

void CTransferRunner::UpdateProgress(const TransferProgress& p)
{
    if (!m_dialog || m_dialog->wasCanceled())
        return;
    const QLocale locale;
    const bool moving = m_kind == TransferKind::Move;
    m_dialog->setLabelText(QStringLiteral("%1 %2 of %3 files (%4 of %5) to \"%6\"")
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
    m_dialog->setValue(static_cast<int>(std::min(1.0, part) * kProgressSteps));
}

CollisionChoice CTransferRunner::AskCollision(const TransferCollision& collision)
{
    return CCollisionDialog::Ask(collision, m_kind,
                                 m_dialog ? static_cast<QWidget*>(m_dialog) : m_owner.data());
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
