// The display worker's thread and the request logic that moves its window of
// three slots along the list.

#include "loader/display_worker.h"

#include "decode/decode_memory.h"
#include "decode/image_bitmap.h"
#include "loader/image_list.h"
#include "loader/thumbs_log.h"

namespace {

// Tells of the rows a decode pass writes at the moments a paint shows
// something new: the first rows of the first pass (a 64th, some 2 ms into
// a 24 MP photo, then an eighth) and the last row of each pass.
class CRowWake : public IDecodeProgress {
public:
    explicit CRowWake(std::function<void()> wake) : m_wake(std::move(wake)) {}
    bool Progress(int totalRows, int row) override
    {
        if (row == totalRows - 1) {
            m_firstPass = false;
            m_wake();
        } else if (m_firstPass && (row == totalRows / 64 || row == totalRows / 8)) {
            m_wake();
        }
        return true;
    }

private:
    std::function<void()> m_wake;
    bool m_firstPass = true;
};

}  // namespace

CDisplayWorker::CDisplayWorker(const CImageList& list, CDecodeGate& gate) : m_list(list), m_gate(gate) {}

CDisplayWorker::~CDisplayWorker()
{
    Stop();
}

void CDisplayWorker::SetOptions(bool highQuality, bool interpolate, const PictureOptions& picture)
{
    m_highQuality = highQuality;
    m_interpolate = interpolate;
    m_picture = picture;
}

void CDisplayWorker::ClearDisplay(ImageItem* item)
{
    item->displayReady.Reset();
    item->displayDone.Reset();
    item->decoder.DisplayImage().Clear();
}

void CDisplayWorker::WakeIfShown(const ImageItem* item)
{
    if (!m_wake)
        return;
    {
        // The item may have become the current one by a step to it, or
        // stopped being it.
        std::lock_guard lock(m_lock);
        if (item != m_current.item)
            return;
    }
    m_wake();
}

bool CDisplayWorker::IsHeld(const ImageItem* item) const
{
    return item == m_current.item || item == m_next.item || item == m_previous.item;
}

void CDisplayWorker::Request(const ViewRequest& request, const ViewRequest& next, const ViewRequest& previous,
                             bool exact)
{
    std::unique_lock lock(m_lock);
    if (!exact && request.item) {
        ImageItem* dropped = nullptr;
        bool moved = false;
        if (m_next.item && m_next.item->displayReady.IsSet() && request == m_next) {
            dropped = m_previous.item;
            m_previous = m_current;
            m_current = m_next;
            m_next = next;
            moved = true;
        } else if (m_previous.item && m_previous.item->displayReady.IsSet() && request == m_previous) {
            dropped = m_next.item;
            m_next = m_current;
            m_current = m_previous;
            m_previous = previous;
            moved = true;
        }
        if (moved) {
            // With two items the dropped one is also the new current or
            // neighbour: its decoded image is still wanted and stays.
            if (dropped && !IsHeld(dropped)) {
                if (dropped == m_decoding) {
                    lock.unlock();
                    Stop();
                    lock.lock();
                }
                // The worker is stopped or busy with another item: it does not
                // touch an item that no slot holds.
                ClearDisplay(dropped);
            }
            lock.unlock();
            m_work.Set();
            // Started again after a stop for the dropped item, or after set
            // options, which stops the worker and leaves the slots as they are.
            if (!m_thread.joinable())
                StartThread();
            return;
        }
    }
    lock.unlock();
    Stop();
    lock.lock();
    for (ViewRequest* slot : {&m_current, &m_next, &m_previous})
        if (slot->item)
            ClearDisplay(slot->item);
    m_current = request;
    if (!exact) {
        m_next = next;
        m_previous = previous;
    }
    lock.unlock();
    if (!m_list.BoundFolder())
        return;
    Start();
}

bool CDisplayWorker::IsBeingDecoded(const ImageItem* item)
{
    std::lock_guard lock(m_lock);
    return item && m_decoding == item;
}

ViewRequest CDisplayWorker::CurrentSlot()
{
    std::lock_guard lock(m_lock);
    return m_current;
}

ViewRequest CDisplayWorker::NextSlot()
{
    std::lock_guard lock(m_lock);
    return m_next;
}

ViewRequest CDisplayWorker::PreviousSlot()
{
    std::lock_guard lock(m_lock);
    return m_previous;
}

void CDisplayWorker::ReleaseNeighbours()
{
    if (m_neighboursHeld.exchange(false))
        m_work.Set();
}

void CDisplayWorker::Clear()
{
    Stop();
    m_neighboursHeld = false;
    std::lock_guard lock(m_lock);
    m_current = m_next = m_previous = ViewRequest {};
    m_decoding = nullptr;
}

void CDisplayWorker::ClearSlots()
{
    std::lock_guard lock(m_lock);
    for (ViewRequest* slot : {&m_current, &m_next, &m_previous}) {
        if (slot->item)
            ClearDisplay(slot->item);
        slot->item = nullptr;
    }
    m_decoding = nullptr;
}

bool CDisplayWorker::Release(const std::unordered_set<const ImageItem*>& items)
{
    // The worker touches only the items of its slots, so it goes on (the
    // image shown keeps decoding) unless one of them is going.
    {
        std::lock_guard lock(m_lock);
        bool touched = items.count(m_decoding) > 0;
        for (const ViewRequest* slot : {&m_current, &m_next, &m_previous})
            touched = touched || items.count(slot->item) > 0;
        if (!touched)
            return false;
    }
    Stop();
    std::lock_guard lock(m_lock);
    for (ViewRequest* slot : {&m_current, &m_next, &m_previous})
        if (items.count(slot->item))
            slot->item = nullptr;
    return true;
}

void CDisplayWorker::Start()
{
    m_work.Set();
    StartThread();
}

void CDisplayWorker::StartThread()
{
    Stop();
    {
        std::lock_guard lock(m_lock);
        m_decoding = nullptr;
    }
    m_thread = std::thread([this] { Loop(); });
}

void CDisplayWorker::Stop()
{
    if (!m_thread.joinable())
        return;
    m_stop.Set();
    m_thread.join();
    m_stop.Reset();
    // A decode cut short leaves a half-made image: drop it so that it is
    // decoded again when asked for.
    std::lock_guard lock(m_lock);
    if (m_decoding)
        ClearDisplay(m_decoding);
    m_decoding = nullptr;
}

void CDisplayWorker::Loop()
{
    ViewRequest* const slotList[] = {&m_current, &m_next, &m_previous};
    for (;;) {
        // The stop event comes first, so it wins when both are set.
        if (CEvent::WaitAny(m_stop, m_work) == 0)
            return;
        for (ViewRequest* slot : slotList) {
            if (m_stop.IsSet())
                return;
            // Held neighbours wait for the release, which wakes the loop.
            if (slot != &m_current && m_neighboursHeld)
                break;
            ViewRequest request;
            std::string path;
            bool wanted = false, asked = false;
            {
                std::lock_guard lock(m_lock);
                m_decoding = nullptr;
                request = *slot;
                ImageItem* item = request.item;
                // Done without ready: the file could not be opened with these
                // settings; it is tried again only after a new request.
                asked = item != nullptr;
                wanted = asked && !item->displayReady.IsSet() && !item->displayDone.IsSet();
                if (wanted) {
                    path = m_list.ItemPath(item);
                    m_decoding = item;
                }
            }
            if (!wanted) {
                // An image announced to the gate needs no decode after all.
                if (asked && slot == &m_current)
                    m_gate.ExpectationMet();
                continue;
            }
            // The image shown never waits for memory behind thumbnails; its
            // neighbours do.
            const DecodeMemoryScope memory(CDecodeMemory::Shared(),
                                           slot == &m_current ? DecodeMemoryScope::Claim::Borrow
                                                              : DecodeMemoryScope::Claim::Wait);
            DecodeSlot(request, path);
        }
    }
}

void CDisplayWorker::DecodeSlot(const ViewRequest& slot, const std::string& path)
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
    {
        // The image shown gets a coarse picture first; one decoded ahead
        // spends no time on it.
        std::lock_guard lock(m_lock);
        request.earlyPicture = item == m_current.item;
    }

    // A failed earlier open may have left a bitmap behind; nobody shows it.
    item->decoder.DisplayImage().Clear();
    bool complete = false;
    std::string why;
    CRowWake rows([this, item] { WakeIfShown(item); });
    {
        // The thumbnail threads leave a core to this decode.
        const DisplayDecodeScope scope(m_gate);
        // The stop event also ends a long opening (a progressive file's scans).
        if (CImageList::IsPlainFile(path) && item->decoder.OpenForDisplay(request, &m_stop, &why)) {
            // From here the view shows the image while its rows arrive.
            item->displayReady.Set();
            WakeIfShown(item);
            complete = item->decoder.Decode(&m_stop, &rows, &why);
        }
    }
    if (!complete && !m_stop.IsSet())
        qCDebug(lcThumbs) << "display decode failed:" << path.c_str() << why.c_str();
    std::lock_guard lock(m_lock);
    // A decode cut short by a stop stays recorded, so that the stopper drops
    // the half-made image; anything else is finished with.
    if (complete || !m_stop.IsSet()) {
        item->displayDone.Set();
        m_decoding = nullptr;
        m_gate.ExpectationMet();
    }
}
