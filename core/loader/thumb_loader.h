#pragma once
// The list of JPEG files of the current folder and the two background workers
// that decode them: the display worker (the current image and its next and
// previous neighbours, at the size the view asks for) and the thumbnail worker
// (a small image of every item, beginning where the thumbnail pane looks).
//
// Ownership: one loader, owned by the main window; it owns its items, its
// bound folder and its threads, and stops the threads when destroyed. The
// thumbnail worker is a small pool, one thread per core, that hands out the
// items in the order a single worker would take them.
//
// Thread rules: every public operation is called on the user-interface thread.
// Results travel by the items' events (ImageItem), which the caller tests
// without waiting; nothing is posted. Work that changes the list or its files
// stops the workers first and starts them again after. The display lock
// guards the three request slots and the item being decoded; the thumbnail
// lock guards the thumbnail worker's start item and its walk through the list
// (which items are handed out and to which thread). Neither is held during a
// decode, and the workers never wait while holding one.

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "browse/shell_pidl.h"
#include "decode/sync_event.h"
#include "loader/decode_gate.h"
#include "loader/folder_changes.h"
#include "loader/image_item.h"
#include "loader/loader_host.h"
#include "loader/name_order.h"
#include "loader/sort_order.h"
#include "loader/view_request.h"

class CImageBitmap;
class CShellFolder;
class CThumbnailCache;

// Thumbnail sizes of "Small Thumbnails" and "Big Thumbnails".
inline constexpr int kSmallThumbnailSize = 80;
inline constexpr int kBigThumbnailSize = 120;
// The thumbnail pixels held at once unless set otherwise.
inline constexpr int64_t kDefaultThumbnailBudget = int64_t(128) << 20;

class CThumbLoader {
public:
    CThumbLoader();
    ~CThumbLoader();
    CThumbLoader(const CThumbLoader&) = delete;
    CThumbLoader& operator=(const CThumbLoader&) = delete;

    // The window side of file operations; without one, renames to other
    // extensions, trashing and dragging are refused. Not owned.
    void SetHost(ILoaderHost* host) { m_host = host; }

    // --- The list ---
    // Sets the folder, then lists its JPEG files and sorts them. False when
    // the folder can't be bound or listed.
    bool OpenFolder(const CShellPidl& folder);
    // Stops both workers, empties the list and binds the folder; false when it
    // can't be bound (the list stays empty). Otherwise empties the request
    // slots and starts the display worker.
    bool SetFolder(const CShellPidl& folder);
    // Binds the file's folder and lists the file alone (by its in-folder
    // name). False when the folder can't be bound or the name is empty.
    bool OpenSingleFile(const CShellPidl& file);
    // After OpenSingleFile: lists the rest of the folder behind the item,
    // sorts, and returns the item of the file opened first (the first item
    // when the folder can't be listed). May run while the display worker runs,
    // but before any thumbnail worker was started.
    ImageItem* CompleteFolder();
    // Orders the list by the sort order (at first by name without regard to
    // case; equal names keep order). A running thumbnail worker is stopped
    // meanwhile and goes on after.
    void Sort();
    // Sets the order and sorts the list by it.
    void SetSortOrder(const SortOrder& order);
    const SortOrder& Order() const { return m_sortOrder; }

    ImageItem* FirstItem() const { return m_first; }
    ImageItem* LastItem() const { return m_last; }
    int ItemCount() const { return m_count; }
    // The absolute list of the current folder (holds nothing before a folder).
    const CShellPidl& Folder() const { return m_folderId; }
    // The bound folder, or null; lives until the folder changes.
    const CShellFolder* BoundFolder() const { return m_folder.get(); }
    // The absolute path of an item's file (bytes); empty when unknown.
    std::string ItemPath(const ImageItem* item) const;

    // --- Options ---
    // Stops both workers and stores the flags; restarts nothing (the caller
    // starts thumbnails and requests the view again).
    void SetOptions(bool highQuality, bool interpolate, bool exifThumbnails);
    // The same for how photos are rendered (upright, true colours): stops
    // both workers, stores, restarts nothing.
    void SetPictureOptions(const PictureOptions& picture);
    const PictureOptions& Picture() const { return m_picture; }

    // --- Display ---
    // Puts the request in the current slot and its neighbours in the next and
    // previous slots. Without `exact`, a request equal to a ready neighbour
    // moves the window and keeps the decoded images; otherwise the slots are
    // cleared and decoded again (with `exact`, the neighbours keep their old
    // requests).
    void RequestView(const ViewRequest& request, bool exact);
    // The item's display image when its display-ready event is set, else null.
    CImageBitmap* DisplayImageOf(ImageItem* item);
    // True while the display worker works on the item, rows included.
    bool IsBeingDecoded(const ImageItem* item);
    // Copies of the slots, taken under the display lock.
    ViewRequest CurrentSlot();
    ViewRequest NextSlot();
    ViewRequest PreviousSlot();

    // --- Thumbnails ---
    // Stops the thumbnail worker; with items, clears every thumbnail and starts
    // the worker at the first item with this size (pixels).
    void StartThumbnails(int size);
    // Pause and resume take effect between items; pausing never leaves the
    // worker holding a lock. Nothing happens without a worker or in that state.
    void PauseThumbnails();
    void ResumeThumbnails();
    bool ThumbnailsPaused() const { return m_paused; }
    // The item's thumbnail when its thumbnail-ready event is set, else null.
    CImageBitmap* ThumbnailOf(ImageItem* item);
    // Where the thumbnail worker goes on (the first column the pane shows).
    // With the budget below nearly spent, the thumbnails farthest from there
    // are dropped first; the worker makes them again when they come near.
    void SetThumbnailStart(ImageItem* item);
    int ThumbnailSize() const { return m_thumbSize; }
    // Set when the thumbnail worker has ended by itself: every item has its
    // thumbnail or failed once in this run. Cleared when a worker starts.
    CEvent& ThumbnailsSettledEvent() { return m_thumbSettled; }
    // How many threads make thumbnails: one per core, or the number set here
    // (0 goes back to one per core), lowered by a positive environment
    // variable LUMVANE_THUMB_THREADS. Takes effect when thumbnails start next.
    // However many there are, at most one per core decodes at a time.
    void SetThumbnailThreads(int threads);
    int ThumbnailThreadCount() const;
    // The most bytes of thumbnail pixels held at once. The worker makes
    // thumbnails only as far ahead of the start item as a third of it holds,
    // and stops while the next one would pass it; SetThumbnailStart makes room.
    void SetThumbnailBudget(int64_t bytes);
    // The bytes of thumbnail pixels held now.
    int64_t ThumbnailBytes();
    // The shared thumbnail cache (null: none): thumbnails are looked up there
    // before decoding and stored there after. Stops the thumbnail worker; the
    // next start of thumbnails uses it.
    void SetThumbnailCache(std::shared_ptr<const CThumbnailCache> cache);
    // Called on a thumbnail thread, under the thumbnail lock, with each item
    // the moment it is handed out to be made. For tools and tests; set only
    // while no thumbnail worker runs.
    using ThumbnailTrace = std::function<void(const ImageItem*)>;
    void SetThumbnailTrace(ThumbnailTrace trace) { m_thumbTrace = std::move(trace); }

    // --- A folder that other programs change ---
    // Looks at the named files (bytes) alone and compares them with the
    // list: a file there and not listed is new, one listed and not there is
    // gone, and one listed whose size or modification time changed, or that
    // `rewritten` names, gets a new item. Lists nothing; changes nothing.
    void CheckNames(const std::set<std::string>& named, const std::set<std::string>& rewritten,
                    FolderChanges* changes) const;
    // Lists the folder again (on the calling thread) and compares it with the
    // list as CompareListing does. False when the folder cannot be listed.
    bool CheckFolder(const std::set<std::string>& rewritten, FolderChanges* changes);
    // Compares a whole listing of the folder (ListFiles, perhaps made on
    // another thread) with the list: anything may have changed, so every
    // file is compared by its size and modification time as well.
    void CompareListing(const std::vector<FileEntry>& files, const std::set<std::string>& rewritten,
                        FolderChanges* changes) const;
    // How many times the folder was listed whole (tools and tests).
    int Listings() const { return m_listings; }
    // Takes the changes in: the gone and rewritten items leave the list and
    // are destroyed (the caller drops its pointers to them before), the new
    // ones join it in their sorted place. The other items keep their
    // thumbnails and decoded images; the workers stop meanwhile and go on.
    void ApplyFolderChanges(FolderChanges& changes);

    // --- File operations (each stops the workers and starts them again) ---
    // Renames the item's file; asks the host first when the new name has no
    // JPEG extension. True when renamed (the list is then sorted again).
    bool RenameItem(ImageItem* item, const std::string& newName);
    // Moves the items' files (given in list order) to the trash after the
    // host confirms. Items whose files were trashed leave the list and are
    // destroyed; the others stay and the host is told why. The caller drops
    // its pointers to these items before. True when any item left the list.
    bool DeleteItems(const std::vector<ImageItem*>& items);
    // Lets the host drag the items' files out. Afterwards the items whose
    // files are gone leave the list, whatever the drop reported; true when
    // any did.
    bool DragItemsOut(const std::vector<ImageItem*>& items);
    // Renames the folder the list shows. On success `newRelative` (may be
    // null) gets its new one-item list and the loader follows the new name.
    bool RenameCurrentFolder(const CShellPidl& folder, const std::string& newName, CShellPidl* newRelative);

private:
    // Both workers stopped while one file operation changes the list or its
    // files, started again on every way out (loader_files.cpp).
    class WorkersStopped;

    void ClearList();
    void SortList();                                    // only while the thumbnail worker is stopped
    void Relink(const std::vector<ImageItem*>& items);  // the list becomes `items`, in that order
    void InsertItems(std::vector<std::unique_ptr<ImageItem>>& added);
    void AppendItem(std::unique_ptr<ImageItem> item);
    void Unlink(ImageItem* item);
    bool ListFolder();
    bool ListFiles(std::vector<FileEntry>* files);
    std::unique_ptr<ImageItem> NewItem(const FileEntry& file) const;
    void RemoveItems(const std::vector<ImageItem*>& items);
    void RemoveListed(std::vector<ImageItem*> items);
    void CollectPaths(const std::vector<ImageItem*>& items, std::vector<std::string>* paths,
                      std::vector<ImageItem*>* named) const;
    void ClearSlots();
    void RestartWorkers();
    static void ClearDisplay(ImageItem* item);
    // True when the path names a regular file (links followed). A pipe or a
    // device with a JPEG name would block the decoder's open for good, and
    // with it every stop of a worker.
    static bool IsPlainFile(const std::string& path);

    // Display worker (display_worker.cpp).
    void StartDisplayWorker();
    void StopDisplayWorker();
    void DisplayLoop();
    void DecodeSlot(const ViewRequest& slot, const std::string& path);
    ViewRequest Neighbour(const ViewRequest& request, bool forward) const;
    bool IsHeld(const ImageItem* item) const;  // display lock held

    // Thumbnail worker (thumbnail_worker.cpp).
    void StartThumbnailWorker(bool paused);
    void StopThumbnailWorker();
    bool ThumbnailWorkerRunning() const { return !m_thumbThreads.empty(); }
    void ThumbnailLoop(size_t slot);
    bool WaitWhilePaused();
    ImageItem* ClaimNextItem(size_t slot);
    int64_t Reach() const;                         // thumbnail lock held
    bool OutOfReach(const ImageItem* item) const;  // thumbnail lock held
    void Publish(ImageItem* item);
    void Forget(ImageItem* item);
    void TrimThumbnails();  // thumbnail lock held
    void WakeThumbnailThreads();
    int64_t ThumbnailEstimate() const { return int64_t(m_thumbSize) * m_thumbSize * 4; }
    bool IsClaimed(const ImageItem* item) const;  // thumbnail lock held
    bool MakeThumbnailOf(ImageItem* item);
    bool MakeThroughCache(ImageItem* item, const std::string& path,
                          std::string* error);  // cached_thumbnail.cpp
    void ReleaseItem(size_t slot);
    void ThreadEnded(size_t slot, bool byItself);

    // Options.
    bool m_highQuality = false;
    bool m_interpolate = false;
    bool m_exifThumbnails = false;
    PictureOptions m_picture;
    SortOrder m_sortOrder;

    // The list.
    ImageItem* m_first = nullptr;
    ImageItem* m_last = nullptr;
    int m_count = 0;

    // The folder; bound on the user-interface thread, read by the workers.
    std::unique_ptr<CShellFolder> m_folder;
    CShellPidl m_folderId;
    int m_listings = 0;

    // Display worker state, guarded by the display lock.
    ViewRequest m_current;
    ViewRequest m_next;
    ViewRequest m_previous;
    ImageItem* m_decoding = nullptr;
    std::mutex m_displayLock;
    CEvent m_displayStop {CEvent::Reset::Manual};
    CEvent m_displayWork {CEvent::Reset::Automatic};
    std::thread m_displayThread;

    // Thumbnail worker state.
    CEvent m_thumbStop {CEvent::Reset::Manual};
    CEvent m_thumbRun {CEvent::Reset::Manual, true};  // clear while paused
    CEvent m_thumbSettled {CEvent::Reset::Manual};
    std::vector<std::thread> m_thumbThreads;
    int m_thumbThreadCount = 0;  // 0: one per core
    bool m_paused = false;
    bool m_thumbsStarted = false;  // a thumbnail run was asked for since the list was made
    int m_thumbSize = kBigThumbnailSize;
    CDecodeGate m_gate;
    std::shared_ptr<const CThumbnailCache> m_cache;  // set while the thumbnail worker is stopped
    // Guarded by the thumbnail lock: where the pane looks, the walk that
    // hands out the items from there, and the thumbnails held.
    std::mutex m_thumbLock;
    ImageItem* m_thumbStart = nullptr;
    ImageItem* m_walkStart = nullptr;        // the start item the walk follows
    ImageItem* m_walkItem = nullptr;         // the next item to look at; null: the first
    int m_walkSettled = 0;                   // items in a row found made, failed or taken
    int m_thumbRunning = 0;                  // threads not yet ended
    std::vector<ImageItem*> m_thumbWorking;  // per thread; read by the stopper after the joins
    std::vector<char> m_thumbEnded;          // per thread: it has ended by itself
    std::vector<ImageItem*> m_made;          // the items whose thumbnails are held
    int64_t m_thumbBytes = 0;                // their pixels
    int64_t m_thumbBudget = kDefaultThumbnailBudget;
    ThumbnailTrace m_thumbTrace;

    ILoaderHost* m_host = nullptr;
};
