#pragma once
// A manual-reset event in four bytes, for the events every list item
// carries: a folder of a million photos holds three million of them, and
// a mutex and condition variable each would cost more than the rest of
// the item.
//
// Thread rules: any thread may set, reset and test; a waiter sleeps in the
// kernel (futex) until the event is set. Setting publishes what was
// written before it to whoever sees the event set.

#include <atomic>
#include <chrono>
#include <cstdint>

class CItemEvent {
public:
    CItemEvent() = default;
    CItemEvent(const CItemEvent&) = delete;
    CItemEvent& operator=(const CItemEvent&) = delete;

    void Set();
    void Reset() { m_state.store(0, std::memory_order_release); }
    // Zero-time-out test.
    bool IsSet() const { return m_state.load(std::memory_order_acquire) != 0; }
    // Waits without time-out until the event is set.
    void Wait();
    // Waits at most `timeout`; true when the event was set.
    bool WaitFor(std::chrono::milliseconds timeout);

private:
    std::atomic<uint32_t> m_state {0};
};
