#pragma once
// The thumbnail pool: a small image of every item of the list, made by one
// thread per core, beginning where the thumbnail pane looks and wrapping
// round the list. The threads share one walk through the list, so the items
// are taken in the order a single worker would take them and none is made
// twice. The thumbnails held stay within a memory budget: the walk goes only
// as far ahead of the start item as a third of it holds, and a new start
// drops the thumbnails farthest from it.
//
// Ownership: a member of CThumbLoader; it owns its threads and stops them
// when destroyed. It reads the loader's list and shares the loader's decode
// gate. Thread rules: every public operation is called on the user-interface
// thread. The thumbnail lock guards the start item, the walk (which items are
// handed out and to which thread) and the thumbnails held with their bytes;
// it is never held during a decode, and a thread waits for nothing (a pause,
// a core) while holding it. The threads read the list without a lock (it
// changes only while they are stopped) and tell what they made by the items'
// thumbnail events alone.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "decode/sync_event.h"
#include "loader/decode_gate.h"
#include "loader/image_item.h"
#include "loader/thumbnail_maker.h"

class CImageBitmap;
class CImageList;
class CThumbnailCache;

// Thumbnail sizes of "Small Thumbnails" and "Big Thumbnails".
inline constexpr int kSmallThumbnailSize = 80;
inline constexpr int kBigThumbnailSize = 120;
// The thumbnail pixels held at once unless set otherwise.
inline constexpr int64_t kDefaultThumbnailBudget = int64_t(128) << 20;

class CThumbnailPool {
public:
    CThumbnailPool(const CImageList& list, CDecodeGate& gate);
    ~CThumbnailPool();
    CThumbnailPool(const CThumbnailPool&) = delete;
    CThumbnailPool& operator=(const CThumbnailPool&) = delete;

    // --- Runs (the public side is CThumbLoader's; see there) ---
    // Clears every thumbnail and starts a run at the first item.
    void StartRun(int size);
    // Starts the threads at the first item, keeping the thumbnails made.
    void Start(bool paused);
    void Stop();
    bool Running() const { return !m_threads.empty(); }
    // True when a run was asked for since the list was made.
    bool Started() const { return m_started; }
    // Starts again after a stop when a run was asked for and there are items.
    void Restart();
    // Stops and forgets the run and every thumbnail held (the items are about
    // to be freed).
    void Clear();
    void Pause();
    void Resume();
    bool Paused() const { return m_paused; }
    CEvent& SettledEvent() { return m_settled; }

    // --- Settings ---
    void SetOptions(bool exifThumbnails, const PictureOptions& picture)
    {
        m_maker.SetOptions(exifThumbnails, picture);
    }
    // Stops the threads; the next run uses the cache.
    void SetCache(std::shared_ptr<const CThumbnailCache> cache);
    int Size() const { return m_maker.Size(); }
    void SetThreads(int threads);
    int ThreadCount() const;
    using Trace = std::function<void(const ImageItem*)>;
    void SetTrace(Trace trace) { m_trace = std::move(trace); }
    // Called when the pool leaves the cores to other work: its run settled
    // (on a thumbnail thread), or it was paused or stopped (on the caller's).
    // Called without the thumbnail lock; it must not wait. Set only while
    // stopped.
    using Idle = std::function<void()>;
    void SetIdle(Idle idle) { m_idle = std::move(idle); }

    // --- The budget ---
    void SetStart(ImageItem* item);
    void SetBudget(int64_t bytes);
    int64_t Bytes();
    // Only while stopped: the item is about to leave the list; its thumbnail
    // is no longer counted, and it is no longer the start.
    void Forget(ImageItem* item);

private:
    void ThreadLoop(size_t slot);
    bool WaitWhilePaused();
    ImageItem* ClaimNextItem(size_t slot);
    int64_t Reach() const;                         // thumbnail lock held
    bool OutOfReach(const ImageItem* item) const;  // thumbnail lock held
    void Publish(ImageItem* item);
    void Trim();  // thumbnail lock held
    void WakeThreads();
    int64_t Estimate() const { return int64_t(Size()) * Size() * 4; }
    bool IsClaimed(const ImageItem* item) const;  // thumbnail lock held
    bool MakeThumbnailOf(ImageItem* item);
    void ReleaseItem(size_t slot);
    void ThreadEnded(size_t slot, bool byItself);

    const CImageList& m_list;
    CDecodeGate& m_gate;
    CThumbnailMaker m_maker;  // set while stopped
    Trace m_trace;            // set while stopped
    Idle m_idle;              // set while stopped
    CEvent m_stop {CEvent::Reset::Manual};
    CEvent m_run {CEvent::Reset::Manual, true};  // clear while paused
    CEvent m_settled {CEvent::Reset::Manual};
    std::vector<std::thread> m_threads;
    int m_threadCount = 0;  // 0: one per core
    bool m_paused = false;
    bool m_started = false;

    // Guarded by the thumbnail lock: where the pane looks, the walk that
    // hands out the items from there, and the thumbnails held.
    std::mutex m_lock;
    ImageItem* m_start = nullptr;
    ImageItem* m_walkStart = nullptr;   // the start item the walk follows
    ImageItem* m_walkItem = nullptr;    // the next item to look at; null: the first
    int m_walkSettled = 0;              // items in a row found made, failed or taken
    int m_running = 0;                  // threads not yet ended
    std::vector<ImageItem*> m_working;  // per thread; read by the stopper after the joins
    std::vector<char> m_ended;          // per thread: it has ended by itself
    std::vector<ImageItem*> m_made;     // the items whose thumbnails are held
    int64_t m_bytes = 0;                // their pixels
    int64_t m_budget = kDefaultThumbnailBudget;
};
