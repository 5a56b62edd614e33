// The thumbnail pool's threads, their shared walk through the list, and the
// thumbnails held in memory: their bytes are counted as they are made, the
// threads keep within reach of the start item and within the budget, and a
// new start makes room by dropping the thumbnails farthest from it. In a
// folder of a hundred thousand photos the memory so stays bounded however far
// the pane scrolls, while a folder that fits is made whole as before.

#include "loader/thumbnail_pool.h"

#include <algorithm>
#include <cstdlib>

#include "decode/decode_memory.h"
#include "decode/image_bitmap.h"
#include "loader/image_list.h"
#include "loader/thumbs_log.h"

namespace {

// More threads than this only wait for a core.
constexpr int kMaxThumbnailThreads = 64;

// The budget is shared in thirds: the walk goes as far ahead of the start
// as one third holds, and a new start drops thumbnails down to two thirds,
// nearest ahead kept first, then nearest behind. Ahead and behind then fit
// together, and scrolling back a little finds its thumbnails still there.
constexpr int64_t kReachShare = 3;

int HardwareCores()
{
    return std::max(1, int(std::thread::hardware_concurrency()));
}

// A positive LUMVANE_THUMB_THREADS lowers the number of threads; anything
// else leaves it alone.
int EnvironmentLimit()
{
    const char* text = std::getenv("LUMVANE_THUMB_THREADS");
    if (!text || !*text)
        return 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return *end == 0 && value > 0 ? int(std::min(value, long(kMaxThumbnailThreads))) : 0;
}

}  // namespace

CThumbnailPool::CThumbnailPool(const CImageList& list, CDecodeGate& gate) : m_list(list), m_gate(gate)
{
    m_maker.SetSize(kBigThumbnailSize);
}

CThumbnailPool::~CThumbnailPool()
{
    Stop();
}

// --- Settings ---

void CThumbnailPool::SetThreads(int threads)
{
    m_threadCount = std::max(threads, 0);
}

int CThumbnailPool::ThreadCount() const
{
    int count = m_threadCount > 0 ? std::min(m_threadCount, kMaxThumbnailThreads) : HardwareCores();
    if (const int limit = EnvironmentLimit(); limit > 0)
        count = std::min(count, limit);
    return count;
}

void CThumbnailPool::SetCache(std::shared_ptr<const CThumbnailCache> cache)
{
    Stop();
    m_maker.SetCache(std::move(cache));
}

// --- Runs ---

void CThumbnailPool::StartRun(int size)
{
    Stop();
    m_started = false;
    if (!m_list.First() || size <= 0) {
        m_settled.Set();
        return;
    }
    for (ImageItem* item = m_list.First(); item; item = item->next) {
        item->thumbnailReady.Reset();
        item->thumbnailFailed = false;
        item->thumbnailBytes = 0;
        item->decoder.ClearThumbnail();
    }
    {
        std::lock_guard lock(m_lock);
        m_made.clear();
        m_bytes = 0;
    }
    m_maker.SetSize(size);
    m_started = true;
    Start(false);
}

void CThumbnailPool::Restart()
{
    if (m_started && m_list.First())
        Start(m_paused);
}

void CThumbnailPool::Clear()
{
    Stop();
    {
        std::lock_guard lock(m_lock);
        m_start = nullptr;
        m_made.clear();
        m_bytes = 0;
    }
    m_started = false;
}

void CThumbnailPool::Pause()
{
    if (!Running() || m_paused)
        return;
    m_paused = true;
    m_run.Reset();
    if (m_idle)
        m_idle();
}

void CThumbnailPool::Resume()
{
    if (!Running() || !m_paused)
        return;
    m_paused = false;
    m_run.Set();
}

void CThumbnailPool::Start(bool paused)
{
    Stop();
    const int threads = std::min(ThreadCount(), std::max(m_list.Count(), 1));
    {
        std::lock_guard lock(m_lock);
        m_start = m_list.First();
        // A start that differs from the walk's makes the first thread begin
        // the walk there.
        m_walkStart = nullptr;
        m_walkItem = m_list.First();
        m_walkSettled = 0;
        m_running = threads;
        m_working.assign(size_t(threads), nullptr);
        m_ended.assign(size_t(threads), 0);
    }
    m_gate.SetCores(HardwareCores());
    m_paused = paused;
    if (paused)
        m_run.Reset();
    else
        m_run.Set();
    m_settled.Reset();
    m_threads.reserve(size_t(threads));
    for (int i = 0; i < threads; ++i)
        m_threads.emplace_back([this, i] { ThreadLoop(size_t(i)); });
}

void CThumbnailPool::Stop()
{
    if (!Running())
        return;
    // A paused thread is let go first, and one waiting for a core is woken;
    // both then see the stop event.
    m_run.Set();
    m_stop.Set();
    m_gate.Close();
    for (std::thread& thread : m_threads)
        thread.join();
    m_threads.clear();
    m_stop.Reset();
    m_gate.Open();
    {
        // The threads that had ended by themselves are gone with the rest: a
        // new start item must not wake them.
        std::lock_guard lock(m_lock);
        std::fill(m_ended.begin(), m_ended.end(), 0);
    }
    // Thumbnails cut short are dropped, and made again on the next run.
    for (ImageItem*& item : m_working) {
        if (!item)
            continue;
        item->thumbnailReady.Reset();
        item->decoder.Thumbnail().Clear();
        item = nullptr;
        m_settled.Reset();
    }
    if (m_idle)
        m_idle();
}

// --- The threads ---

bool CThumbnailPool::WaitWhilePaused()
{
    // Checked between items only, so a paused thread holds no lock.
    if (m_run.IsSet())
        return true;
    return CEvent::WaitAny(m_stop, m_run) == 1;
}

bool CThumbnailPool::IsClaimed(const ImageItem* item) const
{
    return std::find(m_working.begin(), m_working.end(), item) != m_working.end();
}

ImageItem* CThumbnailPool::ClaimNextItem(size_t slot)
{
    std::lock_guard lock(m_lock);
    if (m_start != m_walkStart) {
        // The pane has scrolled: the walk goes on where it looks now.
        m_walkStart = m_start;
        m_walkItem = m_walkStart;
        m_walkSettled = 0;
    }
    // When every item in a row was found made, failed or taken by another
    // thread, a whole round had nothing to do: the thread ends instead of
    // spinning on files that cannot be decoded. It also ends at the first item
    // too far ahead to keep, or when the next thumbnail would not fit.
    int taken = 0;
    for (const ImageItem* working : m_working)
        taken += working != nullptr;
    if (m_bytes + Estimate() * (taken + 1) > m_budget)
        return nullptr;
    while (m_walkSettled < m_list.Count()) {
        ImageItem* item = m_walkItem ? m_walkItem : m_list.First();
        if (OutOfReach(item))
            return nullptr;
        m_walkItem = item->next;
        if (item->thumbnailReady.IsSet() || item->thumbnailFailed || IsClaimed(item)) {
            ++m_walkSettled;
            continue;
        }
        m_working[slot] = item;
        m_walkSettled = 1;
        if (m_trace)
            m_trace(item);
        return item;
    }
    return nullptr;
}

void CThumbnailPool::ReleaseItem(size_t slot)
{
    std::lock_guard lock(m_lock);
    m_working[slot] = nullptr;
}

void CThumbnailPool::ThreadEnded(size_t slot, bool byItself)
{
    {
        std::lock_guard lock(m_lock);
        m_ended[slot] = byItself;
        // The last thread to end by itself tells that the run is over, as far
        // as the budget goes; a stop wins, since the stopper then drops what
        // was cut short.
        if (--m_running != 0 || !byItself || m_stop.IsSet())
            return;
        // For timing the whole road from start to the last thumbnail.
        qCDebug(lcThumbs) << "thumbnails settled:" << m_made.size() << "held";
        m_settled.Set();
    }
    if (m_idle)
        m_idle();
}

// True when the item is settled (made or failed); false when the decode was
// cut short by a stop.
bool CThumbnailPool::MakeThumbnailOf(ImageItem* item)
{
    const std::string path = m_list.ItemPath(item);
    std::string why;
    // The decode waits for its working memory behind the other decodes; the
    // stop event ends the wait.
    const DecodeMemoryScope memory(CDecodeMemory::Shared(), DecodeMemoryScope::Claim::Wait);
    if (CImageList::IsPlainFile(path) && m_maker.Make(item->decoder, path, &m_stop, &why)) {
        Publish(item);
        return true;
    }
    if (m_stop.IsSet())
        return false;
    qCDebug(lcThumbs) << "no thumbnail:" << path.c_str() << why.c_str();
    item->decoder.Thumbnail().Clear();
    item->thumbnailFailed = true;
    return true;
}

void CThumbnailPool::ThreadLoop(size_t slot)
{
    for (;;) {
        if (m_stop.IsSet() || !WaitWhilePaused() || !m_gate.EnterThumbnail())
            return ThreadEnded(slot, false);
        // A pause that came while this thread waited for a core holds it
        // before the next item.
        if (!m_run.IsSet()) {
            m_gate.LeaveThumbnail();
            continue;
        }
        ImageItem* item = ClaimNextItem(slot);
        if (!item) {
            m_gate.LeaveThumbnail();
            return ThreadEnded(slot, true);
        }
        const bool settled = MakeThumbnailOf(item);
        m_gate.LeaveThumbnail();
        if (!settled)
            return ThreadEnded(slot, false);  // the item stays recorded for the stopper
        ReleaseItem(slot);
    }
}

// --- The budget ---

void CThumbnailPool::SetBudget(int64_t bytes)
{
    std::lock_guard lock(m_lock);
    m_budget = std::max<int64_t>(bytes, 1);
}

int64_t CThumbnailPool::Bytes()
{
    std::lock_guard lock(m_lock);
    return m_bytes;
}

int64_t CThumbnailPool::Reach() const
{
    return m_budget / kReachShare / std::max<int64_t>(Estimate(), 1);
}

bool CThumbnailPool::OutOfReach(const ImageItem* item) const
{
    const int count = m_list.Count();
    const int start = m_walkStart ? m_walkStart->index : 0;
    const int ahead = (item->index - start + count) % std::max(count, 1);
    return ahead > Reach();
}

void CThumbnailPool::Publish(ImageItem* item)
{
    const CImageBitmap& thumbnail = item->decoder.Thumbnail();
    std::lock_guard lock(m_lock);
    // Counted and listed under the same lock as the ready event is set, so
    // that a trim never sees a made thumbnail it could not drop.
    item->thumbnailBytes = int64_t(thumbnail.Width()) * thumbnail.Height() * 4;
    m_bytes += item->thumbnailBytes;
    m_made.push_back(item);
    item->thumbnailReady.Set();
}

void CThumbnailPool::Forget(ImageItem* item)
{
    std::lock_guard lock(m_lock);
    if (m_start == item)
        m_start = nullptr;
    const auto at = std::find(m_made.begin(), m_made.end(), item);
    if (at == m_made.end())
        return;
    m_bytes -= item->thumbnailBytes;
    item->thumbnailBytes = 0;
    m_made.erase(at);
}

void CThumbnailPool::Trim()
{
    const int64_t target = m_budget - m_budget / kReachShare;
    if (m_bytes <= target)
        return;
    const int64_t start = m_start ? m_start->index : 0, reach = Reach();
    // What the walk would make from the start comes first, then what lies
    // behind, nearest first; what lies beyond the reach comes last.
    const auto distance = [start, reach](const ImageItem* item) {
        const int64_t offset = item->index - start;
        return offset >= 0 ? offset : reach - offset;
    };
    // Nearest first, so the farthest are dropped from the back.
    std::sort(m_made.begin(), m_made.end(),
              [&](const ImageItem* a, const ImageItem* b) { return distance(a) < distance(b); });
    while (m_bytes > target && !m_made.empty()) {
        ImageItem* item = m_made.back();
        m_made.pop_back();
        // Under the thumbnail lock no thread can take the item meanwhile: it
        // is made again, whole, only after it is dropped.
        item->thumbnailReady.Reset();
        item->decoder.Thumbnail().Clear();
        m_bytes -= item->thumbnailBytes;
        item->thumbnailBytes = 0;
    }
}

void CThumbnailPool::SetStart(ImageItem* item)
{
    {
        std::lock_guard lock(m_lock);
        m_start = item;
        Trim();
    }
    WakeThreads();
}

void CThumbnailPool::WakeThreads()
{
    // Threads that ended by themselves (everything within reach made, or no
    // room) look again from the new start.
    std::vector<size_t> ended;
    {
        std::lock_guard lock(m_lock);
        for (size_t slot = 0; slot < m_ended.size(); ++slot)
            if (m_ended[slot])
                ended.push_back(slot);
        if (ended.empty())
            return;
        for (size_t slot : ended)
            m_ended[slot] = 0;
        m_running += int(ended.size());
        // The walk begins afresh at the start.
        m_walkStart = m_start;
        m_walkItem = m_start;
        m_walkSettled = 0;
    }
    m_settled.Reset();
    for (size_t slot : ended) {
        m_threads[slot].join();
        m_threads[slot] = std::thread([this, slot] { ThreadLoop(slot); });
    }
}
