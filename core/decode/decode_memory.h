#pragma once
// The working memory of decodes under way, held to one budget shared by every
// thread that decodes in the process (the display worker and the thumbnail
// threads): a decode reserves what its header says it will need before the
// library allocates it, and gives it back when its decompressor closes. Ten
// thumbnail threads over progressive 50-megapixel photographs thus hold a
// budget's worth of coefficient buffers, not ten.
//
// A reservation that does not fit waits, first come first served: a large one
// at the head of the queue is never overtaken by small ones behind it. One
// that alone exceeds the budget runs when nothing else is reserved. A borrow
// (the decode of the image the user looks at) is granted at once, beyond the
// budget if need be, and counts against it until released, so the waiters
// hold back meanwhile.
//
// Ownership: Shared() is the process's budget, made on first use and never
// destroyed; tests make their own. Thread rules: every operation may be
// called from any thread. A waiter is woken by a grant or by its cancel event
// (the stop event of its worker), and holds no other lock while it waits.

#include <cstdint>
#include <deque>
#include <mutex>

class CEvent;

class CDecodeMemory {
public:
    // The budget unless LUMVANE_DECODE_MEMORY sets a smaller one.
    static constexpr int64_t kDefaultBudget = int64_t(256) << 20;

    explicit CDecodeMemory(int64_t budget);
    CDecodeMemory(const CDecodeMemory&) = delete;
    CDecodeMemory& operator=(const CDecodeMemory&) = delete;

    // The process's budget, sized by DefaultBudget.
    static CDecodeMemory& Shared();
    // LUMVANE_DECODE_MEMORY when it holds a size ("96M", "1G", bytes), else
    // kDefaultBudget or a quarter of the physical memory, whichever is smaller.
    static int64_t DefaultBudget();
    // The bytes of a LUMVANE_DECODE_MEMORY value with an optional K, M or G;
    // 0 when it is not a positive size.
    static int64_t ParseSize(const char* text);

    int64_t Budget() const { return m_budget; }
    int64_t Reserved() const;
    int Waiting() const;

    // Waits until `bytes` fit and reserves them; false (nothing reserved)
    // when `cancel` is set first. A null cancel waits for the grant alone.
    bool Reserve(int64_t bytes, CEvent* cancel);
    // Reserves at once, whatever is reserved already.
    void Borrow(int64_t bytes);
    // Gives back what Reserve or Borrow took and lets the waiters in that fit.
    void Release(int64_t bytes);

private:
    struct Waiter;
    bool Fits(int64_t bytes) const;  // m_lock held
    void GrantWaiters();             // m_lock held

    const int64_t m_budget;
    mutable std::mutex m_lock;
    int64_t m_reserved = 0;
    std::deque<Waiter*> m_queue;  // oldest first
};

// What one decode holds of a budget; given back when destroyed or reset.
// Thread rules: one object is used by one thread at a time.
class CMemoryReservation {
public:
    CMemoryReservation() = default;
    ~CMemoryReservation() { Reset(); }
    CMemoryReservation(const CMemoryReservation&) = delete;
    CMemoryReservation& operator=(const CMemoryReservation&) = delete;

    // Reserves `bytes` from the budget of this thread's DecodeMemoryScope, if
    // any, keeping what is held already when that is enough. False when the
    // wait was cancelled.
    bool Take(int64_t bytes, CEvent* cancel);
    void Reset();
    int64_t Bytes() const { return m_bytes; }

private:
    CDecodeMemory* m_memory = nullptr;
    int64_t m_bytes = 0;
};

// Makes the decodes this thread starts while the scope lives reserve their
// memory from `memory`: waiting for it, or borrowing it at once. Decodes on a
// thread without a scope reserve nothing (tools, tests, small decodes of
// embedded thumbnails). Scopes nest; the innermost counts.
// Thread rules: made and destroyed on the thread it governs.
class DecodeMemoryScope {
public:
    enum class Claim { Wait, Borrow };

    DecodeMemoryScope(CDecodeMemory& memory, Claim claim);
    ~DecodeMemoryScope();
    DecodeMemoryScope(const DecodeMemoryScope&) = delete;
    DecodeMemoryScope& operator=(const DecodeMemoryScope&) = delete;

    // The innermost scope of this thread, or null.
    static const DecodeMemoryScope* Current();
    CDecodeMemory& Memory() const { return m_memory; }
    Claim GetClaim() const { return m_claim; }

private:
    CDecodeMemory& m_memory;
    const Claim m_claim;
    const DecodeMemoryScope* const m_outer;
};

// Makes every thread of the process allocate from one heap. A decode's
// coefficient buffers take tens of megabytes; freed in a thread's own heap
// they stayed there while the next decode, on another thread, took as much
// again (a peak 24 MB higher in a third of the window's starts). Call first
// thing in main, before any thread starts.
void ShareOneHeap();
