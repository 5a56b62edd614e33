// The command set: one action per command number, the menus built from the
// tables, the check rules and the command handlers; and the control panel's
// notifications (the folder tree's and the thumbnail pane's), with what they
// make the loader do.

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScopedValueRollback>

#include "app/control_panel.h"
#include "app/copy_image.h"
#include "app/frame_windows.h"
#include "app/main_frame.h"
#include "app/shown_folder_watch.h"
#include "browse/folder_listing.h"
#include "tree/folder_tree.h"
#include "view/image_view.h"
#include "res/accelerators.h"
#include "res/command_table.h"
#include "res/menus.h"
#include "loader/thumb_loader.h"
#include "pane/thumbnail_pane.h"

using namespace res;

namespace {
// The keys of a command that Qt's shortcut map matches. Keypad keys are left
// out: on X11 that map drops the keypad modifier and never matches them, so
// the main window's event filter translates them (TranslateKeypadKey).
QList<QKeySequence> ShortcutsOf(int id)
{
    QList<QKeySequence> keys;
    for (const AcceleratorEntry& accel : Accelerators())
        if (accel.command == id && !(accel.modifiers & Qt::KeypadModifier))
            keys.append(
                QKeySequence(QKeyCombination(Qt::KeyboardModifiers(accel.modifiers), Qt::Key(accel.key))));
    return keys;
}
}  // namespace

void CMainFrame::CreateActions()
{
    for (const CommandEntry& command : Commands()) {
        auto* action = new QAction(QString::fromUtf8(command.menuText), this);
        action->setData(command.id);
        action->setCheckable(command.checkable);
        // The menu text names the keys after its tab, so Qt adds no text of its own.
        action->setShortcuts(ShortcutsOf(command.id));
        action->setShortcutContext(Qt::ApplicationShortcut);
        // Accelerators reach the window even while the menu bar is hidden.
        addAction(action);
        const int id = command.id;
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        m_actions[id] = action;
    }
}

void CMainFrame::BuildMenus()
{
    QMenu* popup = nullptr;
    for (const MenuEntry& entry : MainMenu()) {
        if (!entry.nested.empty()) {
            QMenu* inner = popup->addMenu(QString::fromUtf8(entry.popupTitle));
            for (const int id : entry.nested)
                inner->addAction(Action(id));
        } else if (entry.popupTitle) {
            popup = menuBar()->addMenu(QString::fromUtf8(entry.popupTitle));
            connect(popup, &QMenu::aboutToShow, this, &CMainFrame::UpdateActions);
        } else if (entry.command == kSeparator) {
            popup->addSeparator();
        } else {
            popup->addAction(Action(entry.command));
        }
    }
    m_contextMenu = new QMenu(this);
    for (const MenuEntry& entry : res::ContextMenu()) {
        if (entry.popupTitle)
            continue;
        if (entry.command == kSeparator)
            m_contextMenu->addSeparator();
        else
            m_contextMenu->addAction(Action(entry.command));
    }
}

QAction* CMainFrame::Action(int id) const
{
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::SetAcceleratorsEnabled(bool on)
{
    if (on == m_acceleratorsOn)
        return;
    m_acceleratorsOn = on;
    // Without shortcuts the keys go to the focused editor instead.
    for (const auto& [id, action] : m_actions)
        action->setShortcuts(on ? ShortcutsOf(id) : QList<QKeySequence>());
}

void CMainFrame::UpdateActions()
{
    if (!m_settings)
        return;
    const AppSettings& s = *m_settings;
    const auto check = [this](int id, bool on) {
        if (QAction* action = Action(id))
            action->setChecked(on);
    };
    check(kCmdSmallThumbnails, s.thumbnailMode == ThumbnailMode::Small);
    check(kCmdBigThumbnails, s.thumbnailMode == ThumbnailMode::Big);
    check(kCmdList, s.thumbnailMode == ThumbnailMode::List);
    check(kCmdFullScreen, s.fullScreen);
    check(kCmdNameBar, m_nameBarVisible);
    // The fit marks show the fit flags, whether or not fitting is suspended.
    check(kCmdNoFitting, !s.fitHorizontally && !s.fitVertically);
    check(kCmdFitHorizontally, s.fitHorizontally && !s.fitVertically);
    check(kCmdFitVertically, !s.fitHorizontally && s.fitVertically);
    check(kCmdFitBoth, s.fitHorizontally && s.fitVertically);
    for (int r = 0; r < 4; ++r)
        check(kCmdNoRotation + r, s.rotation == r);
    check(kCmdFlipHorizontally, s.flipHorizontally);
    check(kCmdFlipVertically, s.flipVertically);
    check(kCmdStartStopSlideShow, m_slideShowRunning);
    for (int k = 0; k < 4; ++k)
        check(kCmdSortByName + k, s.sortOrder.key == SortKey(k));
    check(kCmdSortReverse, s.sortOrder.reverse);
}

void CMainFrame::RunCommand(int id)
{
    if (!m_settings)
        return;
    AppSettings& s = *m_settings;
    switch (id) {
    case kCmdControlPanel: ShowControlPanel(!ControlPanelShown()); break;
    case kCmdSmallThumbnails: SetThumbnailMode(ThumbnailMode::Small); break;
    case kCmdBigThumbnails: SetThumbnailMode(ThumbnailMode::Big); break;
    case kCmdList: SetThumbnailMode(ThumbnailMode::List); break;
    case kCmdCopyImage:
        CopyImageToClipboard(m_currentItem ? m_loader->ItemPath(m_currentItem) : std::string(), this,
                             m_settings->Picture());
        break;
    case kCmdExit: close(); return;
    case kCmdFullScreen: ToggleFullScreen(); break;
    case kCmdNameBar: ToggleNameBar(); break;
    case kCmdNoFitting: SetFitMode(false, false); break;
    case kCmdFitHorizontally: SetFitMode(true, false); break;
    case kCmdFitVertically: SetFitMode(false, true); break;
    case kCmdFitBoth: SetFitMode(true, true); break;
    case kCmdIncreaseGamma: m_view->SetGamma(IncreaseGamma(m_view->Gamma())); break;
    case kCmdDecreaseGamma: m_view->SetGamma(DecreaseGamma(m_view->Gamma())); break;
    case kCmdResetGamma: m_view->SetGamma(kGammaOff); break;
    case kCmdNoRotation:
    case kCmdRotateClockwise:
    case kCmdRotateUpsideDown:
    case kCmdRotateCounterClockwise: SetRotation(id - kCmdNoRotation); break;
    case kCmdFlipHorizontally:
        s.flipHorizontally = !s.flipHorizontally;
        ShowImage(m_currentItem, true);
        break;
    case kCmdFlipVertically:
        s.flipVertically = !s.flipVertically;
        ShowImage(m_currentItem, true);
        break;
    case kCmdImageProperties: m_windows->OnImagePropertiesCommand(); break;
    case kCmdSortByName:
    case kCmdSortByDateTaken:
    case kCmdSortByDateModified:
    case kCmdSortBySize:
    case kCmdSortReverse: SetSortCommand(id); break;
    case kCmdAdjustSlideShow: m_windows->AdjustSlideShow(); break;
    case kCmdStartStopSlideShow:
        m_slideShowRunning = !m_slideShowRunning;
        UpdateSlideTimer();
        break;
    case kCmdOptions: m_windows->OnOptionsCommand(); break;
    case kCmdLosslessRotateLeft:
    case kCmdLosslessRotateRight:
    case kCmdLosslessRotate180:
    case kCmdLosslessFlipHorizontally:
    case kCmdLosslessFlipVertically:
    case kCmdLosslessApplyExif: TransformPhotos(id); break;
    case kCmdAbout: m_windows->OnAboutCommand(); break;
    default: return;
    }
    UpdateActions();
}

// A fit command runs unless its mode is on already and not suspended, so
// after a zoom it brings the fitted image back.
void CMainFrame::SetFitMode(bool horizontally, bool vertically)
{
    AppSettings& s = *m_settings;
    const bool same = bool(s.fitHorizontally) == horizontally && bool(s.fitVertically) == vertically;
    if (same && !m_fitSuspended)
        return;
    s.fitHorizontally = horizontally;
    s.fitVertically = vertically;
    m_fitSuspended = false;
    ShowImage(m_currentItem, true);
}

void CMainFrame::SetRotation(int rotation)
{
    if (rotation == m_settings->rotation)
        return;
    m_settings->rotation = rotation;
    m_fitSuspended = false;
    ShowImage(m_currentItem, true);
}

// A sort command re-orders the list; the image shown, its prefetched
// neighbours and the thumbnails made stay, and the pane follows the new
// order with the shown image selected.
void CMainFrame::SetSortCommand(int id)
{
    SortOrder order = m_settings->sortOrder;
    if (id == kCmdSortReverse) {
        order.reverse = !order.reverse;
    } else {
        order.key = SortKey(id - kCmdSortByName);
        // An order picked from the menu compares names as people count.
        order.natural = true;
    }
    if (order == m_settings->sortOrder)
        return;
    m_settings->sortOrder = order;
    m_loader->SetSortOrder(order);
    m_controlPanel->ThumbnailPane()->Rebuild();
    if (m_currentItem && ControlPanelShown())
        m_controlPanel->ThumbnailPane()->SelectItem(m_currentItem, false);
}

void CMainFrame::SetThumbnailMode(ThumbnailMode mode)
{
    if (m_settings->thumbnailMode == mode)
        return;
    m_settings->thumbnailMode = mode;
    if (mode == ThumbnailMode::List)
        m_loader->PauseThumbnails();
    else
        StartThumbnails();
    ApplyThumbnailMode();
}

void CMainFrame::ToggleNameBar()
{
    m_nameBarVisible = !m_nameBarVisible;
    m_settings->nameBar = m_nameBarVisible;
    if (m_client) {
        OnClientResized(m_client->width(), m_client->height());
        m_client->update();
    }
}

void CMainFrame::ToggleFullScreen()
{
    m_settings->fullScreen = !m_settings->fullScreen;
    ApplyFullScreen();
}

void CMainFrame::UpdateSlideTimer()
{
    if (m_slideShowRunning) {
        m_slideTicks = 0;
        m_slideTimer.start(kSlideTimerMs, this);
    } else {
        m_slideTimer.stop();
    }
}

// ---- The control panel's notifications ----

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
    case 4: TransformPhotos(notify->command); break;
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
