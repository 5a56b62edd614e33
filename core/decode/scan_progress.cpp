#include "decode/scan_progress.h"

#include <algorithm>

#include "decode/coefficient_store.h"

namespace {
// The AC coefficients (zigzag order) the library's block smoothing estimates.
constexpr int kFirstSmoothed = 1;
constexpr int kLastSmoothed = 9;

bool AnyKnown(const std::array<int, DCTSIZE2>& bits, int from, int to)
{
    return std::any_of(bits.begin() + from, bits.begin() + to + 1, [](int b) { return b >= 0; });
}

bool AllExact(const std::array<int, DCTSIZE2>& bits, int from, int to)
{
    return std::all_of(bits.begin() + from, bits.begin() + to + 1, [](int b) { return b == 0; });
}
}  // namespace

bool CScanProgress::Plan(const jpeg_decompress_struct& info)
{
    m_followed = info.progressive_mode && !info.arith_code && info.num_components > 0;
    m_components.assign(size_t(std::max(info.num_components, 0)), Component {});
    for (int i = 0; i < info.num_components; ++i) {
        Component& c = m_components[size_t(i)];
        c.dcOnly = CCoefficientStore::ReadByDcAlone(info.comp_info[i]);
        c.done.fill(kUnknown);
        c.claimed.fill(kUnknown);
    }
    m_scans = 0;
    if (m_followed)
        Start(info);
    return m_followed;
}

void CScanProgress::ScanStarted(const jpeg_decompress_struct& info)
{
    if (!m_followed)
        return;
    FinishPending();
    Start(info);
}

void CScanProgress::FinishPending()
{
    for (int index : m_pending.components)
        for (int k = m_pending.ss; k <= m_pending.se; ++k)
            m_components[size_t(index)].done[size_t(k)] = m_pending.al;
    m_pending = {};
}

void CScanProgress::Start(const jpeg_decompress_struct& info)
{
    ++m_scans;
    m_pending.ss = std::clamp(info.Ss, 0, DCTSIZE2 - 1);
    m_pending.se = std::clamp(info.Se, m_pending.ss, DCTSIZE2 - 1);
    m_pending.al = info.Al;
    for (int i = 0; i < info.comps_in_scan; ++i) {
        const int index = info.cur_comp_info[i]->component_index;
        if (index < 0 || index >= int(m_components.size()))
            continue;
        Component& c = m_components[size_t(index)];
        // The library copies its state of the first AC coefficients at the
        // start of every scan of the component, and marks them exact before
        // the first scan of all.
        c.before = c.done;
        if (m_scans == 1)
            std::fill(c.before.begin() + kFirstSmoothed, c.before.begin() + kLastSmoothed + 1, 0);
        for (int k = m_pending.ss; k <= m_pending.se; ++k)
            c.claimed[size_t(k)] = m_pending.al;
        m_pending.components.push_back(index);
    }
}

bool CScanProgress::NeedsDone(const Component& c) const
{
    return c.dcOnly ? c.done[0] == 0 : AllExact(c.done, 0, DCTSIZE2 - 1);
}

bool CScanProgress::SmoothingMayTouch(const Component& c) const
{
    // Both states the library may judge by count: the current one, and the
    // one at the start of the component's latest scan. Each only grows more
    // exact as later scans come. A component read whole is touched by any
    // estimate; one read by its DC alone only by the DC adjustment, which
    // needs all of the first AC coefficients unknown.
    if (!c.dcOnly)
        return !AllExact(c.done, kFirstSmoothed, kLastSmoothed)
            || !AllExact(c.before, kFirstSmoothed, kLastSmoothed);
    return !AnyKnown(c.done, kFirstSmoothed, kLastSmoothed)
        || !AnyKnown(c.before, kFirstSmoothed, kLastSmoothed);
}

bool CScanProgress::Complete() const
{
    if (!m_followed || m_components.empty())
        return false;
    bool anyDcOnly = false;
    for (const Component& c : m_components) {
        if (!NeedsDone(c))
            return false;
        anyDcOnly |= c.dcOnly;
    }
    // Without a component read by its DC alone nothing is left to skip.
    if (!anyDcOnly)
        return false;
    // The library smooths only while some of the first AC coefficients are
    // not exact in its current state, which the scan under way already counts.
    const bool smoothingOff = std::all_of(m_components.begin(), m_components.end(), [](const Component& c) {
        return AllExact(c.claimed, kFirstSmoothed, kLastSmoothed);
    });
    if (smoothingOff)
        return true;
    return std::none_of(m_components.begin(), m_components.end(),
                        [this](const Component& c) { return SmoothingMayTouch(c); });
}

bool CScanProgress::CurrentScanUnread() const
{
    if (!m_followed || m_pending.ss == 0 || m_pending.components.empty())
        return false;
    return std::all_of(m_pending.components.begin(), m_pending.components.end(),
                       [this](int index) { return m_components[size_t(index)].dcOnly; });
}
