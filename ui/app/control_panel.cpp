#include "app/control_panel.h"

#include <QApplication>

#include "app/panel_toolbar.h"
#include "common/split_bar.h"
#include "tree/folder_tree.h"
#include "pane/thumbnail_pane.h"

CControlPanel::CControlPanel(CThumbLoader* loader, CDisplayBitmap* displayBitmap, int treeWidth,
                             QWidget* parent)
    : QWidget(parent), m_loader(loader), m_displayBitmap(displayBitmap), m_treeWidth(treeWidth)
{
    setObjectName(QStringLiteral("controlPanel"));
    setAutoFillBackground(true);
}

bool CControlPanel::Create(const std::function<QAction*(int)>& actionOf)
{
    m_tree = new CFolderTree;
    if (!m_tree->Create())
        return false;
    m_pane = new CThumbView(m_loader, m_displayBitmap);
    m_splitter = new CSplitBar(m_tree, m_pane, true, m_treeWidth, this);
    m_toolBar = new CPanelToolBar(this);
    if (!m_toolBar->AddButtons(actionOf))
        return false;
    connect(
        m_tree, &CFolderTree::FolderNotified, this,
        [this](FolderNotify* notify) {
            if (m_notify)
                emit FolderNotified(notify);
        },
        Qt::DirectConnection);
    connect(
        m_pane, &CThumbView::Notified, this,
        [this](ThumbPaneNotify* notify) {
            if (m_notify)
                emit ThumbPaneNotified(notify);
        },
        Qt::DirectConnection);
    LayOut();
    return true;
}

bool CControlPanel::HasFocusInside() const
{
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus == this || isAncestorOf(focus));
}

void CControlPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayOut();
}

// The toolbar takes the rows its buttons need at the panel's width; the
// splitter lays the tree and the pane out below it.
void CControlPanel::LayOut()
{
    if (!m_toolBar)
        return;
    const int toolBarHeight = m_toolBar->HeightForWidth(width());
    m_toolBar->setGeometry(0, 0, width(), toolBarHeight);
    m_splitter->Layout(QRect(0, toolBarHeight, width(), std::max(height() - toolBarHeight, 0)));
}
