#include "loader/item_event.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>
#include <ctime>

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t), "the futex word is the atomic itself");

namespace {
uint32_t* Word(std::atomic<uint32_t>* state)
{
    return reinterpret_cast<uint32_t*>(state);
}
}  // namespace

void CItemEvent::Set()
{
    m_state.store(1, std::memory_order_release);
    ::syscall(SYS_futex, Word(&m_state), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

void CItemEvent::Wait()
{
    // The kernel sleeps only while the word is still 0, so a Set between
    // the test and the sleep is never missed.
    while (!IsSet())
        ::syscall(SYS_futex, Word(&m_state), FUTEX_WAIT_PRIVATE, 0, nullptr, nullptr, 0);
}

bool CItemEvent::WaitFor(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!IsSet()) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            return false;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec wait {time_t(ns / 1000000000), long(ns % 1000000000)};
        ::syscall(SYS_futex, Word(&m_state), FUTEX_WAIT_PRIVATE, 0, &wait, nullptr, 0);
    }
    return true;
}
