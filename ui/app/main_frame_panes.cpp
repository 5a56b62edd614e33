// The control panel's side of the main window: the folder tree's and the
// thumbnail pane's notifications, and what they make the loader do.

#include <algorithm>

#include <QScopedValueRollback>

#include "app/control_panel.h"
#include "app/main_frame.h"
#include "app/shown_folder_watch.h"
#include "browse/folder_listing.h"
#include "tree/folder_tree.h"
#include "view/image_view.h"
#include "loader/thumb_loader.h"
#include "pane/thumbnail_pane.h"

void CMainFrame::ConnectPanes()
{
    connect(m_controlPanel, &CControlPanel::FolderNotified, this, &CMainFrame::OnFolderNotify,
            Qt::DirectConnection);
    connect(m_controlPanel, &CControlPanel::ThumbPaneNotified, this, &CMainFrame::OnThumbPaneNotify,
            Qt::DirectConnection);
    // The editors of names in place need Space, Enter, ESC and the Ctrl keys.
    connect(m_controlPanel->FolderTree(), &CFolderTree::AcceleratorsWanted, this,
            &CMainFrame::SetAcceleratorsEnabled, Qt::DirectConnection);
    connect(m_controlPanel->ThumbnailPane(), &CThumbView::AcceleratorsWanted, this,
            &CMainFrame::SetAcceleratorsEnabled, Qt::DirectConnection);
}

void CMainFrame::ApplyThumbnailMode()
{
    const ThumbnailMode mode = m_settings->thumbnailMode;
    m_controlPanel->ThumbnailPane()->SetMode(mode != ThumbnailMode::List, ThumbnailSizeOf(mode));
}

// A folder chosen in the tree: its images are listed and the first is shown.
// A folder that can't be opened leaves the view and the pane empty; the pane
// says why when the tree could not list it either (`error`).
void CMainFrame::OpenFolder(const CShellPidl& folder, int error)
{
    ClearImage();
    const bool opened = m_loader->OpenFolder(folder);
    m_folderWatch->WatchShownFolder();
    if (opened)
        StartThumbnails();
    m_controlPanel->ThumbnailPane()->ShowFolderError(opened ? 0 : error);
    m_controlPanel->ThumbnailPane()->Rebuild();
    if (opened)
        ShowImage(m_loader->FirstItem(), false);
}

void CMainFrame::OnFolderNotify(FolderNotify* notify)
{
    const QScopedValueRollback busy(m_paneOperation, true);
    if (notify->kind == 1) {
        if (notify->listing)
            OpenFolder(notify->listing->Folder(), notify->error);
        return;
    }
    // The shown folder is renamed: the loader stops its workers, which may
    // clear the image the view holds; the image is asked for again after.
    m_view->SetImage(nullptr);
    m_loader->RenameCurrentFolder(*notify->folder, *notify->newName, &notify->newList);
    m_folderWatch->WatchShownFolder();
    ShowImage(m_currentItem, true);
}

void CMainFrame::OnThumbPaneNotify(ThumbPaneNotify* notify)
{
    const QScopedValueRollback busy(m_paneOperation, true);
    switch (notify->code) {
    case 0:
        m_fitSuspended = false;
        ShowImage(notify->selected, false);
        break;
    case 1:
        m_view->SetImage(nullptr);
        m_loader->RenameItem(notify->renameItem, *notify->newName);
        m_controlPanel->ThumbnailPane()->Rebuild();
        ShowImage(m_currentItem, true);
        break;
    case 2:
    case 3: RemoveItems(*notify); break;
    default: break;
    }
}

// Deletes the selected items (code 2) or lets them be dragged out (code 3).
// Afterwards the item after the last selected one is shown, or the one
// before the first, or the first of the list.
void CMainFrame::RemoveItems(const ThumbPaneNotify& notify)
{
    const std::vector<ImageItem*>& items = notify.items;
    if (items.empty())
        return;
    ImageItem* after = items.back()->next ? items.back()->next : items.front()->previous;
    // The view lets go of the image before the loader frees any item.
    m_view->SetImage(nullptr);
    const bool removed = notify.code == 2 ? m_loader->DeleteItems(items) : m_loader->DragItemsOut(items);
    if (!removed) {
        ShowImage(m_currentItem, true);
        return;
    }
    // The current item may have left the list with its file.
    if (std::find(items.begin(), items.end(), m_currentItem) != items.end()) {
        bool listed = false;
        for (ImageItem* item = m_loader->FirstItem(); item && !listed; item = item->next)
            listed = item == m_currentItem;
        if (!listed)
            m_currentItem = nullptr;
    }
    if (!after && !m_loader->FirstItem()) {
        ClearImage();
        m_controlPanel->ThumbnailPane()->Rebuild();
        return;
    }
    if (!after)
        after = m_loader->FirstItem();
    m_fitSuspended = false;
    m_controlPanel->ThumbnailPane()->Rebuild();
    ShowImage(after, true);
}
