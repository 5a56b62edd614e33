#include "decode/sync_event.h"

#include <algorithm>

struct CEvent::Waiter {
    std::mutex mutex;
    std::condition_variable cond;
    bool signalled = false;
};

void CEvent::Set()
{
    std::lock_guard lock(m_mutex);
    m_set = true;
    m_cond.notify_all();
    // Lock order is event, then waiter; WaitAny never holds both the other way.
    for (Waiter* w : m_waiters) {
        std::lock_guard wl(w->mutex);
        w->signalled = true;
        w->cond.notify_one();
    }
}

void CEvent::Reset()
{
    std::lock_guard lock(m_mutex);
    m_set = false;
}

bool CEvent::TakeLocked()
{
    if (!m_set)
        return false;
    if (m_autoReset)
        m_set = false;
    return true;
}

bool CEvent::IsSet()
{
    std::lock_guard lock(m_mutex);
    return TakeLocked();
}

void CEvent::Wait()
{
    std::unique_lock lock(m_mutex);
    m_cond.wait(lock, [this] { return m_set; });
    TakeLocked();
}

bool CEvent::WaitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    if (!m_cond.wait_for(lock, timeout, [this] { return m_set; }))
        return false;
    return TakeLocked();
}

void CEvent::AddWaiter(Waiter* w)
{
    m_waiters.push_back(w);
}

void CEvent::RemoveWaiter(Waiter* w)
{
    std::lock_guard lock(m_mutex);
    m_waiters.erase(std::remove(m_waiters.begin(), m_waiters.end(), w), m_waiters.end());
}

int CEvent::WaitAny(CEvent& a, CEvent& b)
{
    Waiter w;
    for (;;) {
        {
            std::lock_guard lock(a.m_mutex);
            if (a.TakeLocked())
                return 0;
            a.AddWaiter(&w);
        }
        {
            std::unique_lock lock(b.m_mutex);
            if (b.TakeLocked()) {
                lock.unlock();
                a.RemoveWaiter(&w);
                return 1;
            }
            b.AddWaiter(&w);
        }
        {
            std::unique_lock wl(w.mutex);
            w.cond.wait(wl, [&] { return w.signalled; });
            w.signalled = false;
        }
        a.RemoveWaiter(&w);
        b.RemoveWaiter(&w);
    }
}
