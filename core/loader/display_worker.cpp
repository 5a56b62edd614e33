// The display worker: decodes the current image and then its next and
// previous neighbours, and the request logic that moves its window of three
// slots along the list.

#include "decode/image_bitmap.h"
#include "loader/thumb_loader.h"
#include "loader/thumbs_log.h"

ViewRequest CThumbLoader::Neighbour(const ViewRequest& request, bool forward) const
{
    // The walk wraps from the last item to the first and back, but a single
    // item is never its own neighbour.
    ViewRequest n = request;
    ImageItem* item = request.item;
    if (!item)
        return n;
    if (forward)
        n.item = item->next ? item->next : (item != m_first ? m_first : nullptr);
    else
        n.item = item->previous ? item->previous : (item != m_last ? m_last : nullptr);
    return n;
}

bool CThumbLoader::IsHeld(const ImageItem* item) const
{
    return item == m_current.item || item == m_next.item || item == m_previous.item;
}

void CThumbLoader::RequestView(const ViewRequest& request, bool exact)
{
    std::unique_lock lock(m_displayLock);
    if (!exact && request.item) {
        ImageItem* dropped = nullptr;
        bool moved = false;
        if (m_next.item && m_next.item->displayReady.IsSet() && request == m_next) {
            dropped = m_previous.item;
            m_previous = m_current;
            m_current = m_next;
            m_next = Neighbour(request, true);
            moved = true;
        } else if (m_previous.item && m_previous.item->displayReady.IsSet() && request == m_previous) {
            dropped = m_next.item;
            m_next = m_current;
            m_current = m_previous;
            m_previous = Neighbour(request, false);
            moved = true;
        }
        if (moved) {
            // With two items the dropped one is also the new current or
            // neighbour: its decoded image is still wanted and stays.
            if (dropped && !IsHeld(dropped)) {
                if (dropped == m_decoding) {
                    lock.unlock();
                    StopDisplayWorker();
                    lock.lock();
                }
                // The worker is stopped or busy with another item: it does not
                // touch an item that no slot holds.
                ClearDisplay(dropped);
            }
            lock.unlock();
            m_displayWork.Set();
            // Started again after a stop for the dropped item, or after set
            // options, which stops the worker and leaves the slots as they are.
            if (!m_displayThread.joinable())
                StartDisplayWorker();
            return;
        }
    }
    lock.unlock();
    StopDisplayWorker();
    lock.lock();
    for (ViewRequest* slot : {&m_current, &m_next, &m_previous})
        if (slot->item)
            ClearDisplay(slot->item);
    m_current = request;
    if (!exact) {
        m_next = Neighbour(request, true);
        m_previous = Neighbour(request, false);
    }
    lock.unlock();
    if (!m_folder)
        return;
    m_displayWork.Set();
    StartDisplayWorker();
}

CImageBitmap* CThumbLoader::DisplayImageOf(ImageItem* item)
{
    return item && item->displayReady.IsSet() ? &item->decoder.DisplayImage() : nullptr;
}

bool CThumbLoader::IsBeingDecoded(const ImageItem* item)
{
    std::lock_guard lock(m_displayLock);
    return item && m_decoding == item;
}

ViewRequest CThumbLoader::CurrentSlot()
{
    std::lock_guard lock(m_displayLock);
    return m_current;
}

ViewRequest CThumbLoader::NextSlot()
{
    std::lock_guard lock(m_displayLock);
    return m_next;
}

ViewRequest CThumbLoader::PreviousSlot()
{
    std::lock_guard lock(m_displayLock);
    return m_previous;
}

void CThumbLoader::StartDisplayWorker()
{
    StopDisplayWorker();
    {
        std::lock_guard lock(m_displayLock);
        m_decoding = nullptr;
    }
    m_displayThread = std::thread([this] { DisplayLoop(); });
}

void CThumbLoader::StopDisplayWorker()
{
    if (!m_displayThread.joinable())
        return;
    m_displayStop.Set();
    m_displayThread.join();
    m_displayStop.Reset();
    // A decode cut short leaves a half-made image: drop it so that it is
    // decoded again when asked for.
    std::lock_guard lock(m_displayLock);
    if (m_decoding)
        ClearDisplay(m_decoding);
    m_decoding = nullptr;
}

void CThumbLoader::DisplayLoop()
{
    ViewRequest* const slotList[] = {&m_current, &m_next, &m_previous};
    for (;;) {
        // The stop event comes first, so it wins when both are set.
        if (CEvent::WaitAny(m_displayStop, m_displayWork) == 0)
            return;
        for (ViewRequest* slot : slotList) {
            if (m_displayStop.IsSet())
                return;
            ViewRequest request;
            std::string path;
            {
                std::lock_guard lock(m_displayLock);
                m_decoding = nullptr;
                request = *slot;
                ImageItem* item = request.item;
                // Done without ready: the file could not be opened with these
                // settings; it is tried again only after a new request.
                if (!item || item->displayReady.IsSet() || item->displayDone.IsSet())
                    continue;
                path = ItemPath(item);
                m_decoding = item;
            }
            DecodeSlot(request, path);
        }
    }
}

void CThumbLoader::DecodeSlot(const ViewRequest& slot, const std::string& path)
{
    ImageItem* item = slot.item;
    DecodeRequest request;
    request.path = path;
    request.targetWidth = slot.targetWidth;
    request.targetHeight = slot.targetHeight;
    request.rotation = slot.rotation;
    request.flipHorizontally = slot.flipHorizontally;
    request.flipVertically = slot.flipVertically;
    request.highQuality = m_highQuality;
    request.interpolate = m_interpolate;
    request.picture = m_picture;

    // A failed earlier open may have left a bitmap behind; nobody shows it.
    item->decoder.DisplayImage().Clear();
    bool complete = false;
    std::string why;
    {
        // The thumbnail threads leave a core to this decode.
        const DisplayDecodeScope scope(m_gate);
        // The stop event also ends a long opening (a progressive file's scans).
        if (IsPlainFile(path) && item->decoder.OpenForDisplay(request, &m_displayStop, &why)) {
            // From here the view shows the image while its rows arrive.
            item->displayReady.Set();
            complete = item->decoder.Decode(&m_displayStop, nullptr, &why);
        }
    }
    if (!complete && !m_displayStop.IsSet())
        qCDebug(lcThumbs) << "display decode failed:" << path.c_str() << why.c_str();
    std::lock_guard lock(m_displayLock);
    // A decode cut short by a stop stays recorded, so that the stopper drops
    // the half-made image; anything else is finished with.
    if (complete || !m_displayStop.IsSet()) {
        item->displayDone.Set();
        m_decoding = nullptr;
    }
}
