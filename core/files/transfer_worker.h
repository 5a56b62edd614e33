#pragma once
// CTransferWorker: runs one CFileTransfer on a thread of its own while the
// thread that made it (the owner, a window's thread) goes on with its own
// work. The engine's collisions cross to the owner: the worker thread waits
// while the owner answers them in Serve. Progress and Cancel go straight to
// the engine, which takes them from any thread.
//
// Ownership: made and destroyed by the owner. Destroyed before the transfer
// has ended, it cancels the transfer, answers a waiting question with
// Cancel and waits for the thread.
//
// Thread rules: every member function is called on the owner thread. The
// worker thread runs the `started` hook, the engine and `wake`, nothing
// else. `wake` tells the owner there is news (a question waits, or the
// transfer has ended); it only passes that on (posts an event, sets a flag),
// and the owner then calls Serve. m_lock guards the question in flight, its
// answer, and whether the owner is going away.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "files/file_transfer.h"

class CTransferWorker : private ITransferHandler {
public:
    using AskFunction = std::function<CollisionChoice(const TransferCollision&)>;

    // `sources` and `target` as for CFileTransfer.
    CTransferWorker(TransferKind kind, std::vector<std::string> sources, std::string target,
                    std::function<void()> wake);
    ~CTransferWorker() override;
    CTransferWorker(const CTransferWorker&) = delete;
    CTransferWorker& operator=(const CTransferWorker&) = delete;

    // Starts the thread, once; `started` runs on it before the transfer begins.
    void Start(std::function<void()> started = {});

    // Answers the question that waits, if any, through `ask` (which may run
    // an event loop: a question is taken once). True once the transfer has
    // ended.
    bool Serve(const AskFunction& ask);
    bool IsFinished() const { return m_finished; }
    // The outcome, once finished.
    TransferResult Result();

    void Cancel() { m_transfer.Cancel(); }
    TransferProgress Progress() const { return m_transfer.Progress(); }

private:
    // On the worker thread: hands the question to the owner and waits.
    CollisionChoice AskCollision(const TransferCollision& collision) override;

    const std::function<void()> m_wake;
    CFileTransfer m_transfer;
    TransferResult m_result;  // written by the worker before m_finished
    std::atomic<bool> m_finished {false};

    std::mutex m_lock;
    std::condition_variable m_answered;
    std::optional<TransferCollision> m_question;  // asked, not yet taken by Serve
    std::optional<CollisionChoice> m_answer;
    bool m_closing = false;

    std::thread m_thread;
};
