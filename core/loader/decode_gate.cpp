#include "loader/decode_gate.h"

#include <algorithm>

CDecodeGate::CDecodeGate(int cores) : m_cores(std::max(cores, 1)) {}

void CDecodeGate::SetCores(int cores)
{
    std::lock_guard lock(m_lock);
    m_cores = std::max(cores, 1);
    m_wake.notify_all();
}

int CDecodeGate::Cores() const
{
    std::lock_guard lock(m_lock);
    return m_cores;
}

bool CDecodeGate::MayEnter() const
{
    const bool expected = std::chrono::steady_clock::now() < m_expectedUntil;
    return m_thumbnails < m_cores - (m_displays > 0 || expected ? 1 : 0);
}

bool CDecodeGate::EnterThumbnail()
{
    std::unique_lock lock(m_lock);
    // The expectation lapses without a notification: the wait ends with it.
    while (!m_closed && !MayEnter()) {
        if (std::chrono::steady_clock::now() < m_expectedUntil)
            m_wake.wait_until(lock, m_expectedUntil);
        else
            m_wake.wait(lock);
    }
    if (m_closed)
        return false;
    ++m_thumbnails;
    return true;
}

bool CDecodeGate::TryEnterThumbnail()
{
    std::lock_guard lock(m_lock);
    if (m_closed || !MayEnter())
        return false;
    ++m_thumbnails;
    return true;
}

void CDecodeGate::LeaveThumbnail()
{
    std::lock_guard lock(m_lock);
    --m_thumbnails;
    m_wake.notify_all();
}

void CDecodeGate::ExpectDisplay(std::chrono::milliseconds within)
{
    std::lock_guard lock(m_lock);
    m_expectedUntil = std::chrono::steady_clock::now() + within;
}

void CDecodeGate::ExpectationMet()
{
    std::lock_guard lock(m_lock);
    m_expectedUntil = {};
    m_wake.notify_all();
}

void CDecodeGate::DisplayBegins()
{
    std::lock_guard lock(m_lock);
    ++m_displays;
}

void CDecodeGate::DisplayEnds()
{
    std::lock_guard lock(m_lock);
    --m_displays;
    m_wake.notify_all();
}

void CDecodeGate::Close()
{
    std::lock_guard lock(m_lock);
    m_closed = true;
    m_wake.notify_all();
}

void CDecodeGate::Open()
{
    std::lock_guard lock(m_lock);
    m_closed = false;
}
