#pragma once
// CControlPanel: the browsing half of the main window. The toolbar across
// its top, and below it the folder tree on the left and the thumbnail pane on
// the right with the panel splitter between them. The panel has no commands
// of its own: the toolbar shares the main window's actions, and the tree's
// and the pane's notifications pass through it to the main window.
//
// Ownership: the tree, the pane, the splitter and the toolbar are its
// children; the loader and the display bitmap are lent by the main window,
// which outlives the panel. User-interface thread only.

#include <QWidget>

#include <functional>

class CDisplayBitmap;
class CFolderTree;
class CPanelToolBar;
class CSplitBar;
class CThumbLoader;
class CThumbView;
class QAction;
struct FolderNotify;
struct ThumbPaneNotify;

class CControlPanel : public QWidget {
    Q_OBJECT

public:
    // treeWidth: the folder tree's width until the user drags the splitter.
    CControlPanel(CThumbLoader* loader, CDisplayBitmap* displayBitmap, int treeWidth,
                  QWidget* parent = nullptr);

    // Makes the tree, the pane, the splitter and the toolbar, whose buttons
    // run the actions `actionOf` gives. False when a part can't be made.
    bool Create(const std::function<QAction*(int)>& actionOf);

    CFolderTree* FolderTree() const { return m_tree; }
    CThumbView* ThumbnailPane() const { return m_pane; }
    CPanelToolBar* ToolBar() const { return m_toolBar; }
    CSplitBar* Splitter() const { return m_splitter; }

    // Whether the widget with the focus is the panel, its tree or its pane
    // (or one of their editors).
    bool HasFocusInside() const;

    // Off: the children's notifications are swallowed.
    void SetNotifyEnabled(bool on) { m_notify = on; }

signals:
    // Passed on synchronously: the main window has acted when they return.
    void FolderNotified(FolderNotify* notify);
    void ThumbPaneNotified(ThumbPaneNotify* notify);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void LayOut();

    CThumbLoader* m_loader;
    CDisplayBitmap* m_displayBitmap;
    int m_treeWidth;
    bool m_notify = true;
    CFolderTree* m_tree = nullptr;
    CThumbView* m_pane = nullptr;
    CSplitBar* m_splitter = nullptr;
    CPanelToolBar* m_toolBar = nullptr;
};
