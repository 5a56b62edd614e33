#include "decode/decode_memory.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include <malloc.h>
#include <unistd.h>

#include "decode/sync_event.h"

namespace {
thread_local const DecodeMemoryScope* t_scope = nullptr;
}  // namespace

// Lives on the waiting thread's stack. Its event is set, and the waiter
// leaves the queue, only under the budget's lock, which the waiter takes
// again before the event goes.
struct CDecodeMemory::Waiter {
    int64_t bytes = 0;
    bool granted = false;
    CEvent grant {CEvent::Reset::Manual};
};

CDecodeMemory::CDecodeMemory(int64_t budget) : m_budget(std::max<int64_t>(budget, 1)) {}

CDecodeMemory& CDecodeMemory::Shared()
{
    // Never destroyed: threads of other objects may still decode while the
    // statics go.
    static CDecodeMemory* const shared = new CDecodeMemory(DefaultBudget());
    return *shared;
}

int64_t CDecodeMemory::ParseSize(const char* text)
{
    if (!text || !*text)
        return 0;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || value <= 0)
        return 0;
    int shift = 0;
    switch (*end) {
    case 0: break;
    case 'k':
    case 'K': shift = 10; break;
    case 'm':
    case 'M': shift = 20; break;
    case 'g':
    case 'G': shift = 30; break;
    default: return 0;
    }
    if (shift != 0 && end[1] != 0)
        return 0;
    return value <= (INT64_MAX >> shift) ? int64_t(value) << shift : 0;
}

int64_t CDecodeMemory::DefaultBudget()
{
    if (const int64_t set = ParseSize(std::getenv("LUMVANE_DECODE_MEMORY")); set > 0)
        return set;
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return kDefaultBudget;
    return std::min(kDefaultBudget, int64_t(pages) * pageSize / 4);
}

int64_t CDecodeMemory::Reserved() const
{
    std::lock_guard lock(m_lock);
    return m_reserved;
}

int CDecodeMemory::Waiting() const
{
    std::lock_guard lock(m_lock);
    return int(m_queue.size());
}

bool CDecodeMemory::Fits(int64_t bytes) const
{
    return m_reserved == 0 || m_reserved + bytes <= m_budget;
}

void CDecodeMemory::GrantWaiters()
{
    // Strictly in order: a waiter that does not fit holds back those behind.
    while (!m_queue.empty() && Fits(m_queue.front()->bytes)) {
        Waiter* waiter = m_queue.front();
        m_queue.pop_front();
        m_reserved += waiter->bytes;
        waiter->granted = true;
        waiter->grant.Set();
    }
}

bool CDecodeMemory::Reserve(int64_t bytes, CEvent* cancel)
{
    Waiter self;
    self.bytes = std::max<int64_t>(bytes, 0);
    {
        std::lock_guard lock(m_lock);
        if (m_queue.empty() && Fits(self.bytes)) {
            m_reserved += self.bytes;
            return true;
        }
        m_queue.push_back(&self);
    }
    if (cancel)
        CEvent::WaitAny(*cancel, self.grant);
    else
        self.grant.Wait();
    std::lock_guard lock(m_lock);
    if (self.granted)
        return true;
    m_queue.erase(std::find(m_queue.begin(), m_queue.end(), &self));
    // A large waiter leaving the head may let smaller ones in.
    GrantWaiters();
    return false;
}

void CDecodeMemory::Borrow(int64_t bytes)
{
    std::lock_guard lock(m_lock);
    m_reserved += std::max<int64_t>(bytes, 0);
}

void CDecodeMemory::Release(int64_t bytes)
{
    std::lock_guard lock(m_lock);
    m_reserved -= std::max<int64_t>(bytes, 0);
    GrantWaiters();
}

bool CMemoryReservation::Take(int64_t bytes, CEvent* cancel)
{
    const DecodeMemoryScope* scope = DecodeMemoryScope::Current();
    if (!scope)
        return true;
    if (m_memory == &scope->Memory() && m_bytes >= bytes)
        return true;
    Reset();
    if (scope->GetClaim() == DecodeMemoryScope::Claim::Borrow)
        scope->Memory().Borrow(bytes);
    else if (!scope->Memory().Reserve(bytes, cancel))
        return false;
    m_memory = &scope->Memory();
    m_bytes = bytes;
    return true;
}

void CMemoryReservation::Reset()
{
    if (m_memory)
        m_memory->Release(m_bytes);
    m_memory = nullptr;
    m_bytes = 0;
}

DecodeMemoryScope::DecodeMemoryScope(CDecodeMemory& memory, Claim claim)
    : m_memory(memory), m_claim(claim), m_outer(t_scope)
{
    t_scope = this;
}

DecodeMemoryScope::~DecodeMemoryScope()
{
    t_scope = m_outer;
}

const DecodeMemoryScope* DecodeMemoryScope::Current()
{
    return t_scope;
}

void ShareOneHeap()
{
    mallopt(M_ARENA_MAX, 1);
}
