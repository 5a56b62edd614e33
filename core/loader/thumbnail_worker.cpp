// The thumbnail worker: a pool of threads that make a thumbnail of every item,
// going on at the item the pane shows first and wrapping round the list. The
// threads share one walk through the list, so the items are taken in the
// order a single worker would take them and none is made twice.

#include <algorithm>
#include <cstdlib>

#include "decode/image_bitmap.h"
#include "loader/thumb_loader.h"
#include "loader/thumbs_log.h"

namespace {

// More threads than this only wait for a core.
constexpr int kMaxThumbnailThreads = 64;

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

void CThumbLoader::SetThumbnailThreads(int threads)
{
    m_thumbThreadCount = std::max(threads, 0);
}

int CThumbLoader::ThumbnailThreadCount() const
{
    int count = m_thumbThreadCount > 0 ? std::min(m_thumbThreadCount, kMaxThumbnailThreads) : HardwareCores();
    if (const int limit = EnvironmentLimit(); limit > 0)
        count = std::min(count, limit);
    return count;
}

void CThumbLoader::StartThumbnails(int size)
{
    StopThumbnailWorker();
    m_thumbsStarted = false;
    if (!m_first || size <= 0) {
        m_thumbSettled.Set();
        return;
    }
    for (ImageItem* item = m_first; item; item = item->next) {
        item->thumbnailReady.Reset();
        item->thumbnailFailed = false;
        item->thumbnailBytes = 0;
        item->decoder.ClearThumbnail();
    }
    {
        std::lock_guard lock(m_thumbLock);
        m_made.clear();
        m_thumbBytes = 0;
    }
    m_thumbSize = size;
    m_thumbsStarted = true;
    StartThumbnailWorker(false);
}

void CThumbLoader::PauseThumbnails()
{
    if (!ThumbnailWorkerRunning() || m_paused)
        return;
    m_paused = true;
    m_thumbRun.Reset();
}

void CThumbLoader::ResumeThumbnails()
{
    if (!ThumbnailWorkerRunning() || !m_paused)
        return;
    m_paused = false;
    m_thumbRun.Set();
}

CImageBitmap* CThumbLoader::ThumbnailOf(ImageItem* item)
{
    return item && item->thumbnailReady.IsSet() ? &item->decoder.Thumbnail() : nullptr;
}

void CThumbLoader::StartThumbnailWorker(bool paused)
{
    StopThumbnailWorker();
    const int threads = std::min(ThumbnailThreadCount(), std::max(m_count, 1));
    {
        std::lock_guard lock(m_thumbLock);
        m_thumbStart = m_first;
        // A start that differs from the walk's makes the first thread begin
        // the walk there.
        m_walkStart = nullptr;
        m_walkItem = m_first;
        m_walkSettled = 0;
        m_thumbRunning = threads;
        m_thumbWorking.assign(size_t(threads), nullptr);
        m_thumbEnded.assign(size_t(threads), 0);
    }
    m_gate.SetCores(HardwareCores());
    m_paused = paused;
    if (paused)
        m_thumbRun.Reset();
    else
        m_thumbRun.Set();
    m_thumbSettled.Reset();
    m_thumbThreads.reserve(size_t(threads));
    for (int i = 0; i < threads; ++i)
        m_thumbThreads.emplace_back([this, i] { ThumbnailLoop(size_t(i)); });
}

void CThumbLoader::StopThumbnailWorker()
{
    if (!ThumbnailWorkerRunning())
        return;
    // A paused thread is let go first, and one waiting for a core is woken;
    // both then see the stop event.
    m_thumbRun.Set();
    m_thumbStop.Set();
    m_gate.Close();
    for (std::thread& thread : m_thumbThreads)
        thread.join();
    m_thumbThreads.clear();
    m_thumbStop.Reset();
    m_gate.Open();
    // Thumbnails cut short are dropped, and made again on the next run.
    for (ImageItem*& item : m_thumbWorking) {
        if (!item)
            continue;
        item->thumbnailReady.Reset();
        item->decoder.Thumbnail().Clear();
        item = nullptr;
        m_thumbSettled.Reset();
    }
}

bool CThumbLoader::WaitWhilePaused()
{
    // Checked between items only, so a paused thread holds no lock.
    if (m_thumbRun.IsSet())
        return true;
    return CEvent::WaitAny(m_thumbStop, m_thumbRun) == 1;
}

bool CThumbLoader::IsClaimed(const ImageItem* item) const
{
    return std::find(m_thumbWorking.begin(), m_thumbWorking.end(), item) != m_thumbWorking.end();
}

ImageItem* CThumbLoader::ClaimNextItem(size_t slot)
{
    std::lock_guard lock(m_thumbLock);
    if (m_thumbStart != m_walkStart) {
        // The pane has scrolled: the walk goes on where it looks now.
        m_walkStart = m_thumbStart;
        m_walkItem = m_walkStart;
        m_walkSettled = 0;
    }
    // When every item in a row was found made, failed or taken by another
    // thread, a whole round had nothing to do: the thread ends instead of
    // spinning on files that cannot be decoded. It also ends at the first item
    // too far ahead to keep, or when the next thumbnail would not fit.
    int taken = 0;
    for (const ImageItem* working : m_thumbWorking)
        taken += working != nullptr;
    if (m_thumbBytes + ThumbnailEstimate() * (taken + 1) > m_thumbBudget)
        return nullptr;
    while (m_walkSettled < m_count) {
        ImageItem* item = m_walkItem ? m_walkItem : m_first;
        if (OutOfReach(item))
            return nullptr;
        m_walkItem = item->next;
        if (item->thumbnailReady.IsSet() || item->thumbnailFailed || IsClaimed(item)) {
            ++m_walkSettled;
            continue;
        }
        m_thumbWorking[slot] = item;
        m_walkSettled = 1;
        if (m_thumbTrace)
            m_thumbTrace(item);
        return item;
    }
    return nullptr;
}

void CThumbLoader::ReleaseItem(size_t slot)
{
    std::lock_guard lock(m_thumbLock);
    m_thumbWorking[slot] = nullptr;
}

void CThumbLoader::ThreadEnded(size_t slot, bool byItself)
{
    std::lock_guard lock(m_thumbLock);
    m_thumbEnded[slot] = byItself;
    // The last thread to end by itself tells that the run is over, as far as
    // the budget goes; a stop wins, since the stopper then drops what was cut
    // short.
    if (--m_thumbRunning == 0 && byItself && !m_thumbStop.IsSet())
        m_thumbSettled.Set();
}

// True when the item is settled (made or failed); false when the decode was
// cut short by a stop.
bool CThumbLoader::MakeThumbnailOf(ImageItem* item)
{
    const std::string path = ItemPath(item);
    std::string why;
    if (IsPlainFile(path)
        && (m_cache ? MakeThroughCache(item, path, &why)
                    : item->decoder.MakeThumbnail(path, m_thumbSize, m_exifThumbnails, &m_thumbStop,
                                                  m_picture, &why))) {
        Publish(item);
        return true;
    }
    if (m_thumbStop.IsSet())
        return false;
    qCDebug(lcThumbs) << "no thumbnail:" << path.c_str() << why.c_str();
    item->decoder.Thumbnail().Clear();
    item->thumbnailFailed = true;
    return true;
}

void CThumbLoader::ThumbnailLoop(size_t slot)
{
    for (;;) {
        if (m_thumbStop.IsSet() || !WaitWhilePaused() || !m_gate.EnterThumbnail())
            return ThreadEnded(slot, false);
        // A pause that came while this thread waited for a core holds it
        // before the next item.
        if (!m_thumbRun.IsSet()) {
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
