// The thumbnails held in memory: their bytes are counted as they are made,
// the worker keeps within reach of the start item and within the budget, and
// a new start makes room by dropping the thumbnails farthest from it. In a
// folder of a hundred thousand photos the memory so stays bounded however far
// the pane scrolls, while a folder that fits is made whole as before.

#include <algorithm>

#include "decode/image_bitmap.h"
#include "loader/thumb_loader.h"

namespace {
// The budget is shared in thirds: the worker goes as far ahead of the start
// as one third holds, and a new start drops thumbnails down to two thirds,
// nearest ahead kept first, then nearest behind. Ahead and behind then fit
// together, and scrolling back a little finds its thumbnails still there.
constexpr int64_t kReachShare = 3;
}  // namespace

void CThumbLoader::SetThumbnailBudget(int64_t bytes)
{
    std::lock_guard lock(m_thumbLock);
    m_thumbBudget = std::max<int64_t>(bytes, 1);
}

int64_t CThumbLoader::ThumbnailBytes()
{
    std::lock_guard lock(m_thumbLock);
    return m_thumbBytes;
}

int64_t CThumbLoader::Reach() const
{
    return m_thumbBudget / kReachShare / std::max<int64_t>(ThumbnailEstimate(), 1);
}

bool CThumbLoader::OutOfReach(const ImageItem* item) const
{
    const int start = m_walkStart ? m_walkStart->index : 0;
    const int ahead = (item->index - start + m_count) % std::max(m_count, 1);
    return ahead > Reach();
}

void CThumbLoader::Publish(ImageItem* item)
{
    const CImageBitmap& thumbnail = item->decoder.Thumbnail();
    std::lock_guard lock(m_thumbLock);
    // Counted and listed under the same lock as the ready event is set, so
    // that a trim never sees a made thumbnail it could not drop.
    item->thumbnailBytes = int64_t(thumbnail.Width()) * thumbnail.Height() * 4;
    m_thumbBytes += item->thumbnailBytes;
    m_made.push_back(item);
    item->thumbnailReady.Set();
}

void CThumbLoader::Forget(ImageItem* item)
{
    std::lock_guard lock(m_thumbLock);
    const auto at = std::find(m_made.begin(), m_made.end(), item);
    if (at == m_made.end())
        return;
    m_thumbBytes -= item->thumbnailBytes;
    item->thumbnailBytes = 0;
    m_made.erase(at);
}

void CThumbLoader::TrimThumbnails()
{
    const int64_t target = m_thumbBudget - m_thumbBudget / kReachShare;
    if (m_thumbBytes <= target)
        return;
    const int64_t start = m_thumbStart ? m_thumbStart->index : 0, reach = Reach();
    // What the worker would make from the start comes first, then what lies
    // behind, nearest first; what lies beyond the reach comes last.
    const auto distance = [start, reach](const ImageItem* item) {
        const int64_t offset = item->index - start;
        return offset >= 0 ? offset : reach - offset;
    };
    // Nearest first, so the farthest are dropped from the back.
    std::sort(m_made.begin(), m_made.end(),
              [&](const ImageItem* a, const ImageItem* b) { return distance(a) < distance(b); });
    while (m_thumbBytes > target && !m_made.empty()) {
        ImageItem* item = m_made.back();
        m_made.pop_back();
        // Under the thumbnail lock no thread can take the item meanwhile: it
        // is made again, whole, only after it is dropped.
        item->thumbnailReady.Reset();
        item->decoder.Thumbnail().Clear();
        m_thumbBytes -= item->thumbnailBytes;
        item->thumbnailBytes = 0;
    }
}

void CThumbLoader::SetThumbnailStart(ImageItem* item)
{
    {
        std::lock_guard lock(m_thumbLock);
        m_thumbStart = item;
        TrimThumbnails();
    }
    WakeThumbnailThreads();
}

void CThumbLoader::WakeThumbnailThreads()
{
    // Threads that ended by themselves (everything within reach made, or no
    // room) look again from the new start.
    std::vector<size_t> ended;
    {
        std::lock_guard lock(m_thumbLock);
        for (size_t slot = 0; slot < m_thumbEnded.size(); ++slot)
            if (m_thumbEnded[slot])
                ended.push_back(slot);
        if (ended.empty())
            return;
        for (size_t slot : ended)
            m_thumbEnded[slot] = 0;
        m_thumbRunning += int(ended.size());
        // The walk begins afresh at the start.
        m_walkStart = m_thumbStart;
        m_walkItem = m_thumbStart;
        m_walkSettled = 0;
    }
    m_thumbSettled.Reset();
    for (size_t slot : ended) {
        m_thumbThreads[slot].join();
        m_thumbThreads[slot] = std::thread([this, slot] { ThumbnailLoop(slot); });
    }
}
