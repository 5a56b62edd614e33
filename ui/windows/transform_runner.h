#pragma once
// CTransformRunner: turns photos losslessly, in place, for a window. The
// files are turned by TransformFiles (several at a time) on a thread of the
// runner's while the window waits with CProgressWait (input held for half a
// second, then a progress dialog with Cancel). A photo whose edge blocks
// can't move is asked about with AskEdgeAnswer, once for the rest of the
// run when the user says so, and the run ends with one message that lists
// the photos that were not turned and why (those the user chose to skip
// left out).
//
// Ownership: made for one Run by the window that starts it. Thread rules:
// Run, AskEdges and ReportOutcome run on the user-interface thread; a worker
// thread with a question waits on a blocking queued call of AskEdges (the
// batch asks one at a time).

#include <QObject>
#include <QPointer>

#include <atomic>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "transform/transform_batch.h"
#include "windows/edge_dialog.h"
#include "windows/progress_wait.h"

class QProgressDialog;
class QWidget;

class CTransformRunner : public QObject {
    Q_OBJECT

public:
    explicit CTransformRunner(QWidget* owner);
    ~CTransformRunner() override;

    // Turns the files (absolute paths, bytes) and returns, after any
    // message, the ones that were turned: each was replaced by a new file.
    std::vector<std::string> Run(const std::vector<std::string>& paths, TransformOp op,
                                 bool keepModificationTime);

    // The progress dialog while it is shown, else null.
    QProgressDialog* ProgressDialog() const { return m_wait.Dialog(); }

    // The one message for what was not turned; empty when nothing was left.
    static QString OutcomeMessage(const std::vector<TransformProblem>& problems);

signals:
    // The progress dialog came up.
    void ProgressShown();

protected:
    // The edge question about one photo.
    virtual EdgeChoice AskEdges(const std::string& path, bool several);
    // The photos that were not turned, told in a message box when there are any.
    virtual void ReportOutcome(const std::vector<TransformProblem>& problems);

private:
    // On a worker thread: the answer for one photo, asked when no answer
    // holds for all.
    EdgeAnswer AnswerEdges(const std::string& path);

    QPointer<QWidget> m_owner;
    CProgressWait m_wait;
    size_t m_total = 0;
    bool m_several = false;
    std::atomic<bool> m_cancelled {false};
    std::atomic<bool> m_finished {false};
    std::atomic<size_t> m_filesDone {0};
    // Written by the worker with the question, one at a time, and read
    // after the run.
    std::optional<EdgeAnswer> m_answerForAll;
    std::set<std::string> m_skipped;
};
