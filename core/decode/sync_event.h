#pragma once
// A small waitable event with manual or automatic reset, the synchronisation
// primitive shared by the decoder (cancel) and the loader's workers.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

class CEvent {
public:
    enum class Reset { Manual, Automatic };

    explicit CEvent(Reset reset = Reset::Manual, bool initiallySet = false)
        : m_autoReset(reset == Reset::Automatic), m_set(initiallySet)
    {
    }
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    void Set();
    void Reset();

    // Zero-time-out test. An automatic-reset event that is set is consumed.
    bool IsSet();

    // Waits without time-out until the event is set.
    void Wait();

    // Waits at most `timeout`; true when the event was set.
    bool WaitFor(std::chrono::milliseconds timeout);

    // Waits until either event is set; returns 0 for `a`, 1 for `b`.
    // When both are set, `a` wins.
    static int WaitAny(CEvent& a, CEvent& b);

private:
    struct Waiter;
    bool TakeLocked();  // m_mutex held
    void AddWaiter(Waiter* w);
    void RemoveWaiter(Waiter* w);

    std::mutex m_mutex;
    std::condition_variable m_cond;
    const bool m_autoReset;
    bool m_set;
    // WaitAny registers here so that Set() also wakes a waiter of two events.
    std::vector<Waiter*> m_waiters;
};
