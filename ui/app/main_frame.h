#pragma once
// CMainFrame: the program's only top-level window and its hub. It owns the
// display bitmap, the thumbnail loader and every pane, holds the current
// image, carries out every command (menus, keys, context menu, toolbar),
// lays the panes out, switches full-screen mode and draws the name bar. The
// panes report to it with signals (direct connections) and never call each
// other. Its parts are classes it owns: the watch of the shown folder
// (CShownFolderWatch), its other windows (CFrameWindows) and the dialogs
// and drags of the loader's file operations (CLoaderDialogs).
//
// Ownership: the settings belong to CImageApp and outlive the window; the
// window is their only writer after start-up. Everything here runs on the
// user-interface thread; decoded images arrive through the loader's ready
// events, polled by timer 0 and at once when the display worker's wake (the
// one call from another thread, which only posts) comes in.

#include <QBasicTimer>
#include <QMainWindow>

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "common/app_settings.h"
#include "app/view_steps.h"
#include "browse/shell_pidl.h"
#include "display/display_bitmap.h"

class CControlPanel;
class CFrameWindows;
class CLoaderDialogs;
class ILoaderHost;
class CShownFolderWatch;
class CImageBitmap;
class CImageView;
class CSplitBar;
class CThumbLoader;
class QAction;
class QKeyEvent;
class QMenu;
struct FolderNotify;
struct ImageItem;
struct ThumbPaneNotify;

class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int kImageTimerMs = 50;
    static constexpr int kSlideTimerMs = 200;
    static constexpr int kSlideTicksPerSecond = 1000 / kSlideTimerMs;

    CMainFrame();
    ~CMainFrame() override;

    // Builds the window, its panes and its commands, opens the command-line
    // file or the start folder and applies full-screen mode. False when a
    // part can't be made or the start path names something unusable.
    bool Create(AppSettings* settings);
    // Shows the window in the state Create left it in (full screen or not).
    void ShowAtStart();

    // Off while a name is edited in place, so that the keys reach the editor.
    void SetAcceleratorsEnabled(bool on);
    bool AcceleratorsEnabled() const { return m_acceleratorsOn; }

    // Asks the loader for the item's display image (null: nothing; the same
    // item again only when forced).
    void ShowImage(ImageItem* item, bool force);
    // Shows another image with fitting in force again; null: nothing.
    void StepTo(ImageItem* item);
    // The view and the window let go of the current item, which the loader
    // is about to free.
    void LetGoOfCurrentItem();
    void ClearImage();
    void ShowControlPanel(bool show);
    void UpdateSlideTimer();

    // Builds the display bitmap for the primary screen with the dithering
    // setting and repaints; at creation and whenever the screen or the
    // dithering option changes. False (the old state kept) on failure.
    bool SetUpDisplayBitmap();
    // Hands changed decode options to the loader, restarts the thumbnails
    // and asks for the current image again.
    void ApplyLoaderOptions();
    // Hands the loader the shared thumbnail cache when the option is on.
    void ApplyThumbnailCache();
    // The view has its size: asks for the image noted before.
    void ViewReady();
    // Hands the loader the request for the current image at the view's size.
    void RequestCurrentImage();
    // Thumbnails are made unless the pane lists names, and wait while the
    // pane is hidden.
    void StartThumbnails();

    // Runs one command by number, as its menu item, key or button would.
    void RunCommand(int id);
    // The command's action (one per command number), null for an unknown one.
    QAction* Action(int id) const;
    // Sets every action's check mark from the current state.
    void UpdateActions();

    // The work of timer 0 (every 50 ms: hands the decoded image to the view)
    // and timer 1 (every 200 ms while the slide show runs).
    void OnImageTick();
    void OnSlideTick();
    // Posted by the display worker when the shown image has something new
    // to paint: does at once what both timers would do at their next tick.
    void OnDisplayWake();

    // Pane notifications.
    void OnViewKey(int key, Qt::KeyboardModifiers modifiers);
    void OnWheelNotch(bool forward);
    void OnContextMenu(const QPoint& globalPos);
    void OnFolderNotify(FolderNotify* notify);
    void OnThumbPaneNotify(ThumbPaneNotify* notify);
    void OnSplitterLaidOut();

    // State, for the panes to come and for tests.
    AppSettings* Settings() const { return m_settings; }
    ImageItem* CurrentItem() const { return m_currentItem; }
    bool FitSuspended() const { return m_fitSuspended; }
    bool SlideShowRunning() const { return m_slideShowRunning; }
    int SlideTicks() const { return m_slideTicks; }
    bool NameBarVisible() const { return m_nameBarVisible; }
    bool FolderPending() const { return m_folderPending; }
    // A pane's notification is being carried out (its dialogs and drags run
    // nested event loops): folder changes wait for its end.
    bool PaneOperationRunning() const { return m_paneOperation; }
    bool ControlPanelShown() const;
    // The text the name bar shows now (empty without a current item).
    QString NameBarText() const;
    int NameBarHeight() const { return m_nameBarHeight; }
    CImageView* ImageView() const { return m_view; }
    CThumbLoader* Loader() const { return m_loader.get(); }
    CControlPanel* ControlPanel() const { return m_controlPanel; }
    QWidget* ClientArea() const { return m_client; }
    QMenu* ContextMenu() const { return m_contextMenu; }
    // Made by Create.
    CFrameWindows* Windows() const { return m_windows.get(); }
    QWidget* PropertiesWindow() const;
    QWidget* AboutWindow() const;

    // The loader's questions and drags, as the window's dialogs and QDrag.
    ILoaderHost* LoaderHost() const;

    // Called by the client area.
    void OnClientResized(int cx, int cy);
    void PaintNameBar(QPainter& painter, const QRect& updateRect);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Whether the current image is completely decoded: its display image
    // exists and the display worker is done with it. The slide show counts
    // its delay only while this holds.
    virtual bool CurrentImageComplete() const;

private:
    // Creation (main_frame.cpp).
    bool OpenStartPath();
    void ApplyFullScreen();
    void InvalidateNameBar();
    void LayoutPanes(const QRect& rect);
    // Asks for the fitted image again when the view's size changed.
    void CheckViewSize();
    void CompleteFolder();
    void StartThumbnailRun();
    int ThumbnailPixels() const;
    // Commands and the control panel's notifications (main_frame_commands.cpp).
    void ConnectPanes();
    void ApplyThumbnailMode();
    void OpenFolder(const CShellPidl& folder, int error = 0);
    void RemoveItems(const ThumbPaneNotify& notify);
    void CreateActions();
    void BuildMenus();
    void SetFitMode(bool horizontally, bool vertically);
    void SetRotation(int rotation);
    void SetThumbnailMode(ThumbnailMode mode);
    void SetSortCommand(int id);
    void ToggleNameBar();
    void ToggleFullScreen();
    // Turns the chosen photos' files losslessly (main_frame_transform.cpp).
    void TransformPhotos(int command);
    // Keys and steps (main_frame_keys.cpp).
    bool TranslateKeypadKey(const QKeyEvent& key);
    bool ApplyEscapeRule();
    void ZoomStep(bool in);

    AppSettings* m_settings = nullptr;
    bool m_acceleratorsOn = false;
    CDisplayBitmap m_displayBitmap;
    std::unique_ptr<CLoaderDialogs> m_loaderDialogs;
    std::unique_ptr<CThumbLoader> m_loader;
    QWidget* m_client = nullptr;
    CImageView* m_view = nullptr;
    CControlPanel* m_controlPanel = nullptr;
    CSplitBar* m_mainSplitBar = nullptr;
    std::unique_ptr<CFrameWindows> m_windows;
    int m_nameBarHeight = 0;
    bool m_nameBarVisible = false;
    bool m_folderPending = false;
    ImageItem* m_currentItem = nullptr;
    bool m_fitSuspended = false;
    bool m_slideShowRunning = false;
    int m_slideTicks = 0;
    QSize m_lastViewSize;
    // The view has its size: the window is shown and laid out. Until then a
    // shown image is only noted (m_requestPending) and asked for after.
    bool m_viewReady = false;
    bool m_requestPending = false;
    QBasicTimer m_imageTimer;  // timer 0
    QBasicTimer m_slideTimer;  // timer 1
    // A wake is posted and not yet handled: the worker posts no other.
    std::atomic<bool> m_wakePending {false};
    std::map<int, QAction*> m_actions;
    QMenu* m_contextMenu = nullptr;
    std::unique_ptr<CShownFolderWatch> m_folderWatch;
    bool m_paneOperation = false;
};
