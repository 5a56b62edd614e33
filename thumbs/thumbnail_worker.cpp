// The thumbnail worker: makes a thumbnail of every item, going on at the
// item the pane shows first and wrapping round the list.

#include "decode/image_bitmap.h"
#include "thumbs/thumb_loader.h"
#include "thumbs/thumbs_log.h"

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
        item->decoder.Thumbnail().Clear();
    }
    m_thumbSize = size;
    m_thumbsStarted = true;
    StartThumbnailWorker(false);
}

void CThumbLoader::PauseThumbnails()
{
    if (!m_thumbThread.joinable() || m_paused)
        return;
    m_paused = true;
    m_thumbRun.Reset();
}

void CThumbLoader::ResumeThumbnails()
{
    if (!m_thumbThread.joinable() || !m_paused)
        return;
    m_paused = false;
    m_thumbRun.Set();
}

CImageBitmap* CThumbLoader::ThumbnailOf(ImageItem* item)
{
    return item && item->thumbnailReady.IsSet() ? &item->decoder.Thumbnail() : nullptr;
}

void CThumbLoader::SetThumbnailStart(ImageItem* item)
{
    std::lock_guard lock(m_thumbLock);
    m_thumbStart = item;
}

void CThumbLoader::StartThumbnailWorker(bool paused)
{
    StopThumbnailWorker();
    {
        std::lock_guard lock(m_thumbLock);
        m_thumbStart = m_first;
    }
    m_thumbWorking = nullptr;
    m_paused = paused;
    if (paused)
        m_thumbRun.Reset();
    else
        m_thumbRun.Set();
    m_thumbSettled.Reset();
    m_thumbThread = std::thread([this] { ThumbnailLoop(); });
}

void CThumbLoader::StopThumbnailWorker()
{
    if (!m_thumbThread.joinable())
        return;
    // A paused worker is let go first; it then sees the stop event.
    m_thumbRun.Set();
    m_thumbStop.Set();
    m_thumbThread.join();
    m_thumbStop.Reset();
    if (m_thumbWorking) {
        m_thumbWorking->thumbnailReady.Reset();
        m_thumbWorking->decoder.Thumbnail().Clear();
        m_thumbWorking = nullptr;
    }
}

bool CThumbLoader::WaitWhilePaused()
{
    // Checked between items only, so a paused worker holds no lock.
    if (m_thumbRun.IsSet())
        return true;
    return CEvent::WaitAny(m_thumbStop, m_thumbRun) == 1;
}

void CThumbLoader::ThumbnailLoop()
{
    const int count = m_count;
    ImageItem* start;
    {
        std::lock_guard lock(m_thumbLock);
        start = m_thumbStart;
    }
    ImageItem* item = start;
    // Items in a row found with their thumbnail made or failed. When it
    // reaches the count, a whole round found nothing to do and the worker
    // ends instead of spinning on files that cannot be decoded.
    int settled = 0;
    while (!m_thumbStop.IsSet()) {
        if (!WaitWhilePaused())
            return;
        {
            std::lock_guard lock(m_thumbLock);
            if (m_thumbStart != start) {
                start = m_thumbStart;  // the pane has scrolled
                item = start;
                settled = 0;
            }
        }
        if (!item)
            item = m_first;
        if (!item || settled >= count) {
            m_thumbSettled.Set();
            return;
        }
        if (item->thumbnailReady.IsSet() || item->thumbnailFailed) {
            ++settled;
        } else {
            m_thumbWorking = item;
            const std::string path = ItemPath(item);
            if (IsPlainFile(path)
                && item->decoder.MakeThumbnail(path, m_thumbSize, m_exifThumbnails, &m_thumbStop,
                                               m_picture)) {
                item->thumbnailReady.Set();
            } else if (m_thumbStop.IsSet()) {
                return;  // cut short: the stopper drops the half-made thumbnail
            } else {
                qCDebug(lcThumbs) << "no thumbnail:" << path.c_str()
                                  << item->decoder.ThumbnailError().c_str();
                item->decoder.Thumbnail().Clear();
                item->thumbnailFailed = true;
            }
            m_thumbWorking = nullptr;
            settled = 1;
        }
        item = item->next;
    }
}
