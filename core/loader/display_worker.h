#pragma once
// The display worker: one thread that decodes the image the view shows, then
// its next and previous neighbours, at the size the view asks for. Its three
// request slots move along the list as the user steps, so that a neighbour
// decoded ahead is shown at once.
//
// Ownership: a member of CThumbLoader; it owns its thread and stops it when
// destroyed. It reads the loader's list and shares the loader's decode gate.
// Thread rules: every public operation is called on the user-interface
// thread. The display lock guards the three request slots and the item being
// decoded; it is never held during a decode, and the worker waits for nothing
// while holding it. The worker reads the list without a lock (it changes only
// while the worker is stopped) and tells what it made by the items' display
// events; its wake only says when to look at them.

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_set>

#include "decode/sync_event.h"
#include "loader/decode_gate.h"
#include "loader/image_item.h"
#include "loader/view_request.h"

class CImageBitmap;
class CImageList;

class CDisplayWorker {
public:
    CDisplayWorker(const CImageList& list, CDecodeGate& gate);
    ~CDisplayWorker();
    CDisplayWorker(const CDisplayWorker&) = delete;
    CDisplayWorker& operator=(const CDisplayWorker&) = delete;

    // How images are decoded; set only while the worker is stopped.
    void SetOptions(bool highQuality, bool interpolate, const PictureOptions& picture);

    // (Re)starts the thread with work to look at; Stop ends it. A decode cut
    // short by a stop is dropped, to be decoded again when asked for.
    void Start();
    void Stop();
    // Stops the worker and empties the slots without touching the items
    // (they are about to be freed).
    void Clear();
    // Only while stopped: empties the slots and drops their images, so that
    // no stale decode is found ready later.
    void ClearSlots();
    // When one of `items` is held or being decoded: stops the worker, empties
    // the slots holding them and returns true (the caller starts it again).
    bool Release(const std::unordered_set<const ImageItem*>& items);

    // Puts the request in the current slot and `next` and `previous` (its
    // neighbours in the list) in the others; see CThumbLoader::RequestView.
    void Request(const ViewRequest& request, const ViewRequest& next, const ViewRequest& previous,
                 bool exact);
    // True while the worker works on the item, rows included.
    bool IsBeingDecoded(const ImageItem* item);
    // Copies of the slots, taken under the display lock.
    ViewRequest CurrentSlot();
    ViewRequest NextSlot();
    ViewRequest PreviousSlot();

    // Drops the item's display image and its events.
    static void ClearDisplay(ImageItem* item);

    // While held, the worker decodes the current slot alone and leaves the
    // neighbours for later: the thumbnails of a folder just opened come
    // first. Release may be called from any thread; it takes no lock.
    void HoldNeighbours() { m_neighboursHeld = true; }
    void ReleaseNeighbours();

    // Called on the worker's thread, without the display lock, when the image
    // of the current slot has something new to paint: its display image
    // exists, the first rows of its first pass are written, a pass is whole.
    // A few calls per decode, none for a neighbour decoded ahead. It must
    // return at once (post, never wait). Set only while the worker is stopped.
    using Wake = std::function<void()>;
    void SetWake(Wake wake) { m_wake = std::move(wake); }

private:
    void StartThread();
    void Loop();
    void DecodeSlot(const ViewRequest& slot, const std::string& path);
    bool IsHeld(const ImageItem* item) const;  // display lock held
    void WakeIfShown(const ImageItem* item);

    const CImageList& m_list;
    CDecodeGate& m_gate;
    // Set while stopped, read by the thread.
    bool m_highQuality = false;
    bool m_interpolate = false;
    PictureOptions m_picture;
    Wake m_wake;

    // Guarded by the display lock.
    ViewRequest m_current;
    ViewRequest m_next;
    ViewRequest m_previous;
    ImageItem* m_decoding = nullptr;
    std::mutex m_lock;
    std::atomic<bool> m_neighboursHeld {false};
    CEvent m_stop {CEvent::Reset::Manual};
    CEvent m_work {CEvent::Reset::Automatic};
    std::thread m_thread;
};
