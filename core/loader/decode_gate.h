#pragma once
// Shares the machine's cores between the display worker and the thumbnail
// threads. With no display decode under way every thumbnail thread may
// decode; while one runs, at most cores - 1 may start, so the image the user
// waits for always finds a core of its own. On a single core the thumbnails
// wait for the display decode to end. A display decode announced ahead
// (ExpectDisplay) counts as one under way until the display worker has made
// the image (a decode cut short by a newer request does not count), so that
// thumbnail decodes started just before it do not hold every core (and a
// coefficient buffer each) when it comes.
//
// Ownership: a member of CThumbLoader. Thread rules: every operation may be
// called from any thread. A thumbnail thread waits here only between items,
// holding no other lock; Close wakes it.

#include <chrono>
#include <condition_variable>
#include <mutex>

class CDecodeGate {
public:
    explicit CDecodeGate(int cores = 1);
    CDecodeGate(const CDecodeGate&) = delete;
    CDecodeGate& operator=(const CDecodeGate&) = delete;

    // The number of cores to share (at least 1).
    void SetCores(int cores);
    int Cores() const;

    // Waits until one more thumbnail decode may run and counts it. False
    // when the gate is closed, at once or while waiting.
    bool EnterThumbnail();
    // The same without waiting: false when the thumbnail would have to wait.
    bool TryEnterThumbnail();
    void LeaveThumbnail();

    // A display decode is about to be asked for: it counts as under way
    // until ExpectationMet or, should it never come, `within`.
    void ExpectDisplay(std::chrono::milliseconds within);
    void ExpectationMet();

    // The display worker brackets each decode with these.
    void DisplayBegins();
    void DisplayEnds();

    // Close refuses thumbnail decodes and wakes every waiter, until Open.
    void Close();
    void Open();

private:
    bool MayEnter() const;  // m_lock held

    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    int m_cores = 1;
    int m_thumbnails = 0;                                      // thumbnail decodes under way
    int m_displays = 0;                                        // display decodes under way (0 or 1)
    std::chrono::steady_clock::time_point m_expectedUntil {};  // an announced display counts until then
    bool m_closed = false;
};

// Brackets one display decode.
class DisplayDecodeScope {
public:
    explicit DisplayDecodeScope(CDecodeGate& gate) : m_gate(gate) { m_gate.DisplayBegins(); }
    ~DisplayDecodeScope() { m_gate.DisplayEnds(); }
    DisplayDecodeScope(const DisplayDecodeScope&) = delete;
    DisplayDecodeScope& operator=(const DisplayDecodeScope&) = delete;

private:
    CDecodeGate& m_gate;
};
