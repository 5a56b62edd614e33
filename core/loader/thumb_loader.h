#pragma once
// The list of JPEG files of the current folder and the two background workers
// that decode them: the display worker (the current image and its next and
// previous neighbours, at the size the view asks for; CDisplayWorker) and the
// thumbnail pool (a small image of every item, beginning where the thumbnail
// pane looks; CThumbnailPool). This is the face the windows and the tools use.
//
// Ownership: one loader, owned by the main window; it owns its list (items
// and bound folder), its two workers and the decode gate they share. The
// workers stop their threads when destroyed, before the list goes.
//
// Thread rules: every public operation is called on the user-interface thread.
// Results travel by the items' events (ImageItem), which the caller tests
// without waiting; the display wake only tells it when to look. The list has
// no lock: work that changes the list or its files stops the workers first
// and starts them again after.
// Each worker has a lock of its own (see there); neither is held during a
// decode, no worker takes the other's, and the workers never call back into
// the loader.

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
#include "loader/display_worker.h"
#include "loader/folder_changes.h"
#include "loader/image_item.h"
#include "loader/image_list.h"
#include "loader/loader_host.h"
#include "loader/name_order.h"
#include "loader/sort_order.h"
#include "loader/thumbnail_pool.h"
#include "loader/view_request.h"

class CImageBitmap;
class CShellFolder;
class CThumbnailCache;

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

    ImageItem* FirstItem() const { return m_list.First(); }
    ImageItem* LastItem() const { return m_list.Last(); }
    int ItemCount() const { return m_list.Count(); }
    // The absolute list of the current folder (holds nothing before a folder).
    const CShellPidl& Folder() const { return m_list.Folder(); }
    // The bound folder, or null; lives until the folder changes.
    const CShellFolder* BoundFolder() const { return m_list.BoundFolder(); }
    // The absolute path of an item's file (bytes); empty when unknown.
    std::string ItemPath(const ImageItem* item) const { return m_list.ItemPath(item); }

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
    bool IsBeingDecoded(const ImageItem* item) { return m_display.IsBeingDecoded(item); }
    // Called on the display worker's thread when the requested image has
    // something new to paint (see CDisplayWorker::SetWake); it must only
    // post. Set before the first request.
    void SetDisplayWake(CDisplayWorker::Wake wake) { m_display.SetWake(std::move(wake)); }
    // The window is about to ask for an image (it waits for its layout): the
    // thumbnail threads leave it a core meanwhile, for half a second at most.
    void ExpectDisplay() { m_gate.ExpectDisplay(std::chrono::milliseconds(500)); }
    // Copies of the slots, taken under the display lock.
    ViewRequest CurrentSlot() { return m_display.CurrentSlot(); }
    ViewRequest NextSlot() { return m_display.NextSlot(); }
    ViewRequest PreviousSlot() { return m_display.PreviousSlot(); }

    // --- Thumbnails ---
    // Stops the thumbnail worker; with items, clears every thumbnail and starts
    // the worker at the first item with this size (pixels). The display
    // worker then decodes the image asked for but holds its neighbours until
    // the thumbnails are made, paused or stopped, or the user steps to another image.
    void StartThumbnails(int size);
    // Pause and resume take effect between items; pausing never leaves the
    // worker holding a lock. Nothing happens without a worker or in that state.
    void PauseThumbnails() { m_thumbnails.Pause(); }
    // A pause lets the held neighbours go; the resumed run holds them again
    // unless the user has stepped since the run started (a window that starts
    // with its panel hidden pauses the run it has just started).
    void ResumeThumbnails();
    bool ThumbnailsPaused() const { return m_thumbnails.Paused(); }
    // The item's thumbnail when its thumbnail-ready event is set, else null.
    CImageBitmap* ThumbnailOf(ImageItem* item);
    // Where the thumbnail worker goes on (the first column the pane shows).
    // With the budget below nearly spent, the thumbnails farthest from there
    // are dropped first; the worker makes them again when they come near.
    void SetThumbnailStart(ImageItem* item) { m_thumbnails.SetStart(item); }
    int ThumbnailSize() const { return m_thumbnails.Size(); }
    // Set when the thumbnail worker has ended by itself: every item has its
    // thumbnail or failed once in this run. Cleared when a worker starts.
    CEvent& ThumbnailsSettledEvent() { return m_thumbnails.SettledEvent(); }
    // How many threads make thumbnails: one per core, or the number set here
    // (0 goes back to one per core), lowered by a positive environment
    // variable LUMVANE_THUMB_THREADS. Takes effect when thumbnails start next.
    // However many there are, at most one per core decodes at a time.
    void SetThumbnailThreads(int threads) { m_thumbnails.SetThreads(threads); }
    int ThumbnailThreadCount() const { return m_thumbnails.ThreadCount(); }
    // The most bytes of thumbnail pixels held at once. The worker makes
    // thumbnails only as far ahead of the start item as a third of it holds,
    // and stops while the next one would pass it; SetThumbnailStart makes room.
    void SetThumbnailBudget(int64_t bytes) { m_thumbnails.SetBudget(bytes); }
    // The bytes of thumbnail pixels held now.
    int64_t ThumbnailBytes() { return m_thumbnails.Bytes(); }
    // The shared thumbnail cache (null: none): thumbnails are looked up there
    // before decoding and stored there after. Stops the thumbnail worker; the
    // next start of thumbnails uses it.
    void SetThumbnailCache(std::shared_ptr<const CThumbnailCache> cache)
    {
        m_thumbnails.SetCache(std::move(cache));
    }
    // Called on a thumbnail thread, under the thumbnail lock, with each item
    // the moment it is handed out to be made. For tools and tests; set only
    // while no thumbnail worker runs.
    using ThumbnailTrace = CThumbnailPool::Trace;
    void SetThumbnailTrace(ThumbnailTrace trace) { m_thumbnails.SetTrace(std::move(trace)); }

    // --- A folder that other programs change ---
    // Looks at the named files (bytes) alone and compares them with the
    // list: a file there and not listed is new, one listed and not there is
    // gone, and one listed whose size or modification time changed, or that
    // `rewritten` names, gets a new item. Lists nothing; changes nothing.
    void CheckNames(const std::set<std::string>& named, const std::set<std::string>& rewritten,
                    FolderChanges* changes) const
    {
        m_list.CheckNames(named, rewritten, changes);
    }
    // Lists the folder again (on the calling thread) and compares it with the
    // list as CompareListing does. False when the folder cannot be listed.
    bool CheckFolder(const std::set<std::string>& rewritten, FolderChanges* changes);
    // Compares a whole listing of the folder (ListFiles, perhaps made on
    // another thread) with the list: anything may have changed, so every
    // file is compared by its size and modification time as well.
    void CompareListing(const std::vector<FileEntry>& files, const std::set<std::string>& rewritten,
                        FolderChanges* changes) const
    {
        m_list.CompareListing(files, rewritten, changes);
    }
    // How many times the folder was listed whole (tools and tests).
    int Listings() const { return m_list.Listings(); }
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
    // files, started again on every way out.
    class WorkersStopped;

    void ClearList();
    void SortList() { m_list.Sort(m_sortOrder); }            // only while the thumbnail pool is stopped
    void RemoveItems(const std::vector<ImageItem*>& items);  // only while both workers are stopped
    void StopWorkers();
    void RestartWorkers();
    void PassOptions();
    ViewRequest Neighbour(const ViewRequest& request, bool forward) const;

    // Options.
    bool m_highQuality = false;
    bool m_interpolate = false;
    bool m_exifThumbnails = false;
    bool m_neighboursWaitForRun = false;  // no step since StartThumbnails
    PictureOptions m_picture;
    SortOrder m_sortOrder;

    // Declared in this order so that the workers, which read the list and
    // share the gate, stop before either goes.
    CImageList m_list;
    CDecodeGate m_gate;
    CDisplayWorker m_display {m_list, m_gate};
    CThumbnailPool m_thumbnails {m_list, m_gate};

    ILoaderHost* m_host = nullptr;
};
