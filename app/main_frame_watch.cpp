// Folders that stay current: the main window watches the folder the loader
// lists, and takes in what other programs create, delete, rename or
// rewrite there, keeping the image shown (or showing the next one when it
// is gone), the pane's selection and its scroll position.

#include <QApplication>
#include <QThread>
#include <QTimer>

#include "app/control_panel.h"
#include "app/main_frame.h"
#include "browse/shell_folder.h"
#include "display/image_view.h"
#include "thumbs/folder_watcher.h"
#include "thumbs/rename_edit.h"
#include "thumbs/thumb_loader.h"
#include "thumbs/thumbnail_pane.h"

void CMainFrame::WatchShownFolder()
{
    if (!m_watcher) {
        m_watcher = new CFolderWatcher(this);
        connect(m_watcher, &CFolderWatcher::Changed, this, &CMainFrame::OnFolderChanged,
                Qt::DirectConnection);
    }
    // A file opened alone has no folder listed yet: nothing to keep current.
    const CShellFolder* folder = m_loader->BoundFolder();
    m_watcher->Watch(folder && !m_folderPending ? folder->Path() : std::string());
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

void CMainFrame::OnFolderChanged(const std::set<std::string>& rewritten, bool)
{
    if (m_folderPending)
        return;
    m_deferredRewritten.insert(rewritten.begin(), rewritten.end());
    // A dialog, a drag or a file operation of the pane may be under way in
    // a nested event loop, holding items of the list, or a name is being
    // edited in place: the list changes only once that is over.
    const QWidget* renaming = m_controlPanel->ThumbnailPane()->RenameEdit();
    if (m_paneOperation || QApplication::activeModalWidget() || QApplication::activePopupWidget()
        || QThread::currentThread()->loopLevel() > 1 || (renaming && renaming->isVisible())) {
        QTimer::singleShot(CFolderWatcher::kBatchMs, this, [this] { OnFolderChanged({}, false); });
        return;
    }
    std::set<std::string> names;
    names.swap(m_deferredRewritten);
    FolderChanges changes;
    if (!m_loader->CheckFolder(names, &changes) || changes.Empty())
        return;
    CThumbView* pane = m_controlPanel->ThumbnailPane();
    const int scroll = pane->ScrollPosition();
    ImageItem* const shown = m_currentItem;
    ImageItem* const show = ItemToShow(shown, changes);
    std::vector<ImageItem*> selected;
    for (ImageItem* item : pane->SelectedItems())
        if (ImageItem* stays = changes.Successor(item))
            selected.push_back(stays);
    const bool wasEmpty = !m_loader->FirstItem();
    // Nothing may point at an item the loader is about to free.
    if (show != shown) {
        m_view->SetImage(nullptr);
        m_currentItem = nullptr;
    }
    m_loader->ApplyFolderChanges(changes);
    if (wasEmpty && m_loader->FirstItem())
        StartThumbnails();
    pane->Rebuild();
    if (show != shown) {
        m_fitSuspended = false;
        if (show)
            ShowImage(show, true);
        else
            ClearImage();
    }
    pane->RestoreSelection(m_currentItem, selected);
    pane->ScrollTo(scroll);
    ShowPropertiesOf(m_currentItem);
    UpdateActions();
}
