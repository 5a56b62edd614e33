// The window side of a transfer: short ones end without a dialog, questions
// are asked on the user-interface thread, a long one shows its progress
// dialog while the window keeps running and can be cancelled, and each
// outcome gets the message it needs.

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <deque>
#include <functional>
#include <future>

#include "tests/core/browse/browse_test_util.h"
#include "windows/transfer_runner.h"

using browsetest::Exists;
using browsetest::MakeFile;
using browsetest::ReadAll;

namespace {

class TestRunner : public CTransferRunner {
public:
    using CTransferRunner::CTransferRunner;

    std::deque<CollisionChoice> answers;
    std::vector<TransferCollision> asked;
    bool askedOffTheUiThread = false;
    std::vector<TransferResult> reported;
    std::function<void()> onWorker;

protected:
    CollisionChoice AskCollision(const TransferCollision& collision) override
    {
        askedOffTheUiThread |= QThread::currentThread() != qApp->thread();
        asked.push_back(collision);
        if (answers.empty())
            return {};
        const CollisionChoice choice = answers.front();
        answers.pop_front();
        return choice;
    }
    void ReportOutcome(TransferKind, const std::string&, const TransferResult& result) override
    {
        reported.push_back(result);
    }
    void WorkerStarted() override
    {
        if (onWorker)
            onWorker();
    }
};

}  // namespace

class TestTransferRunner : public QObject {
    Q_OBJECT

private slots:
    void init();
    void shortTransferShowsNothing();
    void collisionsAreAskedOnTheUiThread();
    void longTransferShowsProgressAndCancels();
    void refusalIsReported();
    void outcomeMessages();

private:
    std::string Src(const std::string& name) const { return m_dir->path() + "/src/" + name; }
    std::string Dst(const std::string& name = {}) const
    {
        return m_dir->path() + "/dst" + (name.empty() ? "" : "/" + name);
    }
    std::unique_ptr<browsetest::TempDir> m_dir;
    QWidget m_window;
};

void TestTransferRunner::init()
{
    m_dir = std::make_unique<browsetest::TempDir>();
    QVERIFY(::mkdir((m_dir->path() + "/src").c_str(), 0755) == 0);
    QVERIFY(::mkdir(Dst().c_str(), 0755) == 0);
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        QVERIFY(MakeFile(Src(name), name));
}

void TestTransferRunner::shortTransferShowsNothing()
{
    TestRunner runner(&m_window);
    QSignalSpy shown(&runner, &CTransferRunner::ProgressShown);
    const TransferResult result = runner.Run(TransferKind::Move, {Src("a.jpg"), Src("b.jpg")}, Dst());
    QCOMPARE(int(result.outcome), int(TransferOutcome::Done));
    QCOMPARE(shown.count(), 0);
    QVERIFY(Exists(Dst("a.jpg")) && Exists(Dst("b.jpg")));
    QVERIFY(!Exists(Src("a.jpg")));
    QCOMPARE(runner.reported.size(), size_t(1));
}

void TestTransferRunner::collisionsAreAskedOnTheUiThread()
{
    QVERIFY(MakeFile(Dst("a.jpg"), "old"));
    QVERIFY(MakeFile(Dst("b.jpg"), "old"));
    TestRunner runner(&m_window);
    runner.answers = {{CollisionAnswer::KeepBoth, false}, {CollisionAnswer::Replace, false}};
    const TransferResult result = runner.Run(TransferKind::Copy, {Src("a.jpg"), Src("b.jpg")}, Dst());
    QCOMPARE(int(result.outcome), int(TransferOutcome::Done));
    QCOMPARE(runner.asked.size(), size_t(2));
    QVERIFY(!runner.askedOffTheUiThread);
    QCOMPARE(ReadAll(Dst("a.jpg")), std::string("old"));
    QCOMPARE(ReadAll(Dst("a (2).jpg")), std::string("a.jpg"));
    QCOMPARE(ReadAll(Dst("b.jpg")), std::string("b.jpg"));
}

void TestTransferRunner::longTransferShowsProgressAndCancels()
{
    // The worker waits at its start until the test lets it go, so the
    // transfer is "long" however fast the disk.
    std::promise<void> go;
    std::shared_future<void> gate = go.get_future().share();
    TestRunner runner(&m_window);
    runner.onWorker = [gate] { gate.wait(); };
    int ticks = 0;
    QTimer window;
    connect(&window, &QTimer::timeout, this, [&] { ++ticks; });
    window.start(20);
    bool wasModal = false;
    int ticksBeforeDialog = 0;
    connect(&runner, &CTransferRunner::ProgressShown, this, [&] {
        // The worker goes on however this ends, so that a failed check can't hang the test.
        struct Release {
            std::promise<void>& promise;
            ~Release() { promise.set_value(); }
        } release {go};
        QProgressDialog* dialog = runner.ProgressDialog();
        QVERIFY(dialog && dialog->isVisible());
        wasModal = dialog->windowModality() != Qt::NonModal;
        ticksBeforeDialog = ticks;
        QPushButton* cancel = dialog->findChild<QPushButton*>();
        QVERIFY(cancel);
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    QSignalSpy shown(&runner, &CTransferRunner::ProgressShown);
    const TransferResult result = runner.Run(TransferKind::Move, {Src("a.jpg"), Src("b.jpg")}, Dst());
    QCOMPARE(shown.count(), 1);
    QVERIFY(wasModal);
    QVERIFY(ticksBeforeDialog > 0);  // the window's timers ran meanwhile
    QCOMPARE(int(result.outcome), int(TransferOutcome::Cancelled));
    QVERIFY(Exists(Src("a.jpg")) && Exists(Src("b.jpg")));
    QVERIFY(!Exists(Dst("a.jpg")));
    QVERIFY(runner.ProgressDialog() == nullptr);
}

void TestTransferRunner::refusalIsReported()
{
    TestRunner runner(&m_window);
    const TransferResult result = runner.Run(TransferKind::Copy, {Src("a.jpg")}, Src("b.jpg"));
    QCOMPARE(int(result.outcome), int(TransferOutcome::Refused));
    QCOMPARE(runner.reported.size(), size_t(1));
    const QString text = CTransferRunner::OutcomeMessage(TransferKind::Copy, Src("b.jpg"), result);
    QVERIFY2(text.contains(QStringLiteral("It is not a folder")), qPrintable(text));
}

void TestTransferRunner::outcomeMessages()
{
    using Kind = TransferProblem::Kind;
    const struct {
        TransferKind kind;
        TransferOutcome outcome;
        std::vector<TransferProblem> problems;
        QString expected;  // empty: no message
    } cases[] = {
        {TransferKind::Move, TransferOutcome::Done, {}, {}},
        {TransferKind::Move, TransferOutcome::Cancelled, {}, {}},
        {TransferKind::Copy, TransferOutcome::Partly, {{Kind::Skipped, "/s/a.jpg", "taken"}}, {}},
        {TransferKind::Move,
         TransferOutcome::Failed,
         {{Kind::Failed, "/s/\xff.jpg", "No space left on device"}},
         QStringLiteral(
             "Can't move \"/s/\uFFFD.jpg\" to \"/t\": No space left on device\nWhat came before it "
             "is done; it and the rest stayed where they were.")},
        {TransferKind::Copy,
         TransferOutcome::Refused,
         {{Kind::Refused, "/s/f", "A folder can't go into itself"}, {Kind::Refused, "/s/g", "x"}},
         QStringLiteral(
             "Nothing was copied to \"/t\".\n\"/s/f\": A folder can't go into itself\n(and 1 more)")},
        {TransferKind::Move,
         TransferOutcome::Partly,
         {{Kind::Skipped, "/s/a", "taken"},
          {Kind::Unsupported, "/s/p", "A FIFO, device or socket is not copied"}},
         QStringLiteral("These items were not moved and stayed where they were:\n\"/s/p\": A FIFO, device or "
                        "socket is not copied")},
    };
    for (const auto& c : cases) {
        TransferResult result;
        result.outcome = c.outcome;
        result.problems = c.problems;
        QCOMPARE(CTransferRunner::OutcomeMessage(c.kind, "/t", result), c.expected);
    }
}

QTEST_MAIN(TestTransferRunner)
#include "tst_transferrunner.moc"
