#include "windows/transform_runner.h"

#include <sys/stat.h>

#include <QMessageBox>
#include <QProgressDialog>
#include <QStringList>
#include <QWidget>

#include <thread>
#include <utility>

#include "browse/shell_pidl.h"
#include "report/string_table.h"

namespace {

// The message names this many photos at most.
constexpr size_t kListedProblems = 20;

QString FileName(const std::string& path)
{
    return QString::fromStdString(DisplayUtf8(path.substr(path.rfind('/') + 1)));
}

// A turned file replaced the original by a rename, so it is another inode.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

FileIdentity IdentityOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? FileIdentity {st.st_dev, st.st_ino} : FileIdentity {};
}

}  // namespace

CTransformRunner::CTransformRunner(QWidget* owner) : m_owner(owner), m_wait(owner)
{
    connect(&m_wait, &CProgressWait::Shown, this, &CTransformRunner::ProgressShown);
}

CTransformRunner::~CTransformRunner() = default;

std::vector<std::string> CTransformRunner::Run(const std::vector<std::string>& paths, TransformOp op,
                                               bool keepModificationTime)
{
    m_total = paths.size();
    m_several = paths.size() > 1;
    m_cancelled = false;
    m_finished = false;
    m_filesDone = 0;
    m_answerForAll.reset();
    m_skipped.clear();
    FileTransformOptions options;
    options.op = op;
    options.keepModificationTime = keepModificationTime;
    options.cancelled = [this] { return m_cancelled.load(); };
    options.askEdges = [this](const std::string& path) { return AnswerEdges(path); };

    TransformBatchResult result;
    std::vector<std::string> turned;
    std::thread worker([&] {
        std::vector<FileIdentity> before;
        for (const std::string& path : paths)
            before.push_back(IdentityOf(path));
        result = TransformFiles(paths, options, 0, [this](const std::string&) { ++m_filesDone; });
        for (size_t i = 0; i < paths.size(); ++i)
            if (before[i] != FileIdentity {} && IdentityOf(paths[i]) != before[i])
                turned.push_back(paths[i]);
        m_finished = true;
        // A call still queued when the runner is gone is dropped with it.
        QMetaObject::invokeMethod(&m_wait, &CProgressWait::Wake, Qt::QueuedConnection);
    });
    m_wait.Run({[this] { return m_finished.load(); }, [this] { m_cancelled = true; },
                [this](QProgressDialog& dialog) {
                    const size_t done = m_filesDone;
                    dialog.setLabelText(QStringLiteral("Transforming %1 of %2 files").arg(done).arg(m_total));
                    dialog.setValue(int(done * CProgressWait::kSteps / std::max<size_t>(m_total, 1)));
                }});
    worker.join();

    std::vector<TransformProblem> problems;
    for (TransformProblem& problem : result.problems)
        if (!m_skipped.count(problem.path))
            problems.push_back(std::move(problem));
    ReportOutcome(problems);
    return turned;
}

EdgeAnswer CTransformRunner::AnswerEdges(const std::string& path)
{
    EdgeAnswer answer = EdgeAnswer::Refuse;
    if (m_answerForAll) {
        answer = *m_answerForAll;
    } else if (!m_cancelled) {
        EdgeChoice choice;
        QMetaObject::invokeMethod(
            this, [&] { choice = AskEdges(path, m_several); }, Qt::BlockingQueuedConnection);
        if (choice.forAll)
            m_answerForAll = choice.answer;
        answer = choice.answer;
    }
    // The user knows about these; a cancelled run asks no more.
    if (answer == EdgeAnswer::Refuse)
        m_skipped.insert(path);
    return answer;
}

EdgeChoice CTransformRunner::AskEdges(const std::string& path, bool several)
{
    QWidget* parent = ProgressDialog() ? static_cast<QWidget*>(ProgressDialog()) : m_owner.data();
    return AskEdgeAnswer(parent, path, several);
}

QString CTransformRunner::OutcomeMessage(const std::vector<TransformProblem>& problems)
{
    if (problems.empty())
        return {};
    QStringList lines;
    for (size_t i = 0; i < problems.size() && i < kListedProblems; ++i)
        lines << QStringLiteral("\"%1\": %2")
                     .arg(FileName(problems[i].path), QString::fromStdString(problems[i].reason));
    if (problems.size() > kListedProblems)
        lines << QStringLiteral("(and %1 more)").arg(problems.size() - kListedProblems);
    return QStringLiteral("These photos were not transformed and are as they were:\n%1")
        .arg(lines.join(QLatin1Char('\n')));
}

void CTransformRunner::ReportOutcome(const std::vector<TransformProblem>& problems)
{
    const QString text = OutcomeMessage(problems);
    if (!text.isEmpty())
        QMessageBox::warning(m_owner, QString::fromUtf8(res::String(res::kStrAppTitle)), text);
}
