#include "app/shown_folder_watch.h"

#include <utility>

#include <QApplication>
#include <QThread>
#include <QTimer>

#include "app/control_panel.h"
#include "app/frame_windows.h"
#include "app/main_frame.h"
#include "browse/folder_watcher.h"
#include "browse/shell_folder.h"
#include "loader/folder_relisting.h"
#include "pane/rename_edit.h"
#include "loader/thumb_loader.h"
#include "pane/thumbnail_pane.h"

namespace {
// How often the window looks whether a listing of the whole folder is done.
constexpr int kRelistPollMs = 50;
}  // namespace

CShownFolderWatch::CShownFolderWatch(CMainFrame* frame) : m_frame(frame) {}

CShownFolderWatch::~CShownFolderWatch() = default;

void CShownFolderWatch::WatchShownFolder()
{
    if (!m_watcher) {
        m_watcher = new CFolderWatcher(CFolderWatcher::kBatchMs, this);
        // The shown folder is the only one watched.
        connect(
            m_watcher, &CFolderWatcher::Changed, this,
            [this](const FolderBatch& batch) {
                for (const auto& [path, change] : batch)
                    OnFolderChanged(change.named, change.rewritten, change.overflowed);
            },
            Qt::DirectConnection);
        m_relisting = std::make_unique<CFolderRelisting>();
        // One timer for every later look, so that looks never pile up.
        m_folderRetry = new QTimer(this);
        m_folderRetry->setSingleShot(true);
        connect(m_folderRetry, &QTimer::timeout, this, [this] { OnFolderChanged({}, {}, false); });
    }
    m_folderRetry->stop();
    // What was gathered for the folder shown before is of no use now.
    m_relisting->Stop();
    m_relistWanted = false;
    m_deferredNamed.clear();
    m_deferredRewritten.clear();
    // A file opened alone has no folder listed yet: nothing to keep current.
    const CShellFolder* folder = m_frame->Loader()->BoundFolder();
    m_watcher->Watch(folder && !m_frame->FolderPending() ? folder->Path() : std::string());
}

void CShownFolderWatch::TakeRewritten(const std::vector<std::string>& names)
{
    if (!m_watcher || names.empty())
        return;
    m_deferredNamed.insert(names.begin(), names.end());
    m_deferredRewritten.insert(names.begin(), names.end());
    // The watch's own report of them comes within a batch: one look takes both.
    m_folderRetry->start(CFolderWatcher::kBatchMs);
}

// What replaces the shown item: itself or its rewritten version, else the
// nearest that stays after it, else before it.
static ImageItem* ItemToShow(ImageItem* shown, const FolderChanges& changes)
{
    if (!shown)
        return nullptr;
    if (ImageItem* same = changes.Successor(shown))
        return same;
    for (ImageItem* item = shown->next; item; item = item->next)
        if (ImageItem* stays = changes.Successor(item))
            return stays;
    for (ImageItem* item = shown->previous; item; item = item->previous)
        if (ImageItem* stays = changes.Successor(item))
            return stays;
    return nullptr;
}

// The named files are looked at alone; after an overflow the folder is
// listed whole on a thread of its own, and the window goes on meanwhile.
void CShownFolderWatch::OnFolderChanged(const std::set<std::string>& named,
                                        const std::set<std::string>& rewritten, bool overflowed)
{
    if (m_frame->FolderPending())
        return;
    m_deferredNamed.insert(named.begin(), named.end());
    m_deferredRewritten.insert(rewritten.begin(), rewritten.end());
    m_relistWanted = m_relistWanted || overflowed;
    if (m_relistWanted && !m_relisting->Running()) {
        // The listing covers what was named so far; names that come while
        // it runs are looked at after it.
        m_relisting->Start(m_watcher->Path());
        m_deferredNamed.clear();
    }
    if (m_relisting->Running() && !m_relisting->Done()) {
        m_folderRetry->start(kRelistPollMs);
        return;
    }
    // A dialog, a drag or a file operation of the pane may be under way in
    // a nested event loop, holding items of the list, or a name is being
    // edited in place: the list changes only once that is over.
    const QWidget* renaming = m_frame->ControlPanel()->ThumbnailPane()->RenameEdit();
    if (m_frame->PaneOperationRunning() || QApplication::activeModalWidget()
        || QApplication::activePopupWidget() || QThread::currentThread()->loopLevel() > 1
        || (renaming && renaming->isVisible())) {
        m_folderRetry->start(CFolderWatcher::kBatchMs);
        return;
    }
    FolderChanges changes;
    if (m_relisting->Done()) {
        std::vector<FileEntry> files;
        const bool listed = m_relisting->Take(&files);
        m_relistWanted = false;
        if (listed)
            m_frame->Loader()->CompareListing(files, std::exchange(m_deferredRewritten, {}), &changes);
        TakeFolderChanges(changes);
        if (!m_deferredNamed.empty())
            m_folderRetry->start(0);
        return;
    }
    m_frame->Loader()->CheckNames(std::exchange(m_deferredNamed, {}), std::exchange(m_deferredRewritten, {}),
                                  &changes);
    TakeFolderChanges(changes);
}

void CShownFolderWatch::TakeFolderChanges(FolderChanges& changes)
{
    if (changes.Empty())
        return;
    CThumbLoader* loader = m_frame->Loader();
    CThumbView* pane = m_frame->ControlPanel()->ThumbnailPane();
    const int scroll = pane->ScrollPosition();
    ImageItem* const shown = m_frame->CurrentItem();
    ImageItem* const show = ItemToShow(shown, changes);
    std::vector<ImageItem*> selected;
    for (ImageItem* item : pane->SelectedItems())
        if (ImageItem* stays = changes.Successor(item))
            selected.push_back(stays);
    const bool wasEmpty = !loader->FirstItem();
    // Nothing may point at an item the loader is about to free.
    if (show != shown)
        m_frame->LetGoOfCurrentItem();
    // The places of the leaving items, while they are still there.
    std::vector<int> removedAt = changes.RemovedPlaces();
    std::vector<ImageItem*> added = changes.AddedItems();
    loader->ApplyFolderChanges(changes);
    if (wasEmpty && loader->FirstItem())
        m_frame->StartThumbnails();
    pane->Rebuild(std::move(removedAt), std::move(added));
    if (show != shown) {
        if (show)
            m_frame->StepTo(show);
        else
            m_frame->ClearImage();
    }
    pane->RestoreSelection(m_frame->CurrentItem(), selected);
    pane->ScrollTo(scroll);
    m_frame->Windows()->ShowPropertiesOf(m_frame->CurrentItem());
    m_frame->UpdateActions();
}
