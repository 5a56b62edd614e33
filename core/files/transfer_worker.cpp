#include "files/transfer_worker.h"

#include <utility>

CTransferWorker::CTransferWorker(TransferKind kind, std::vector<std::string> sources, std::string target,
                                 std::function<void()> wake)
    : m_wake(std::move(wake)), m_transfer(kind, std::move(sources), std::move(target), this)
{
}

CTransferWorker::~CTransferWorker()
{
    if (!m_thread.joinable())
        return;
    m_transfer.Cancel();
    {
        const std::lock_guard lock(m_lock);
        m_closing = true;
    }
    m_answered.notify_all();
    m_thread.join();
}

void CTransferWorker::Start(std::function<void()> started)
{
    m_thread = std::thread([this, started = std::move(started)] {
        if (started)
            started();
        m_result = m_transfer.Run();
        m_finished = true;
        m_wake();
    });
}

bool CTransferWorker::Serve(const AskFunction& ask)
{
    std::optional<TransferCollision> question;
    {
        const std::lock_guard lock(m_lock);
        question.swap(m_question);
    }
    if (question) {
        const CollisionChoice choice = ask(*question);
        {
            const std::lock_guard lock(m_lock);
            m_answer = choice;
        }
        m_answered.notify_all();
    }
    return m_finished;
}

TransferResult CTransferWorker::Result()
{
    if (m_thread.joinable())
        m_thread.join();
    return m_result;
}

CollisionChoice CTransferWorker::AskCollision(const TransferCollision& collision)
{
    std::unique_lock lock(m_lock);
    if (m_closing)
        return {};
    m_question = collision;
    m_answer.reset();
    lock.unlock();
    m_wake();
    lock.lock();
    m_answered.wait(lock, [this] { return m_answer || m_closing; });
    return m_answer && !m_closing ? *m_answer : CollisionChoice {};
}
