#pragma once
// CSplitBar: the bar between two sibling panes (the control panel above the
// image view, the folder tree beside the thumbnail pane). It lays the panes
// out in its own rectangle and lets the user drag the bar to change the first
// pane's size. While dragging only a ghost of the bar moves; the panes are
// laid out once, when the button is released.
//
// The first pane keeps its size (width beside, height above) when the bar's
// rectangle grows or shrinks; the second pane takes the rest, down to zero.
// After every layout the bar emits LaidOut, which its parent connects
// directly.
//
// Alt or Escape during a drag ends it and leaves the panes as they were.
//
// Ownership: the panes become children of the bar. User-interface thread only.

#include <QSplitter>

class CSplitBar : public QSplitter {
    Q_OBJECT

public:
    // vertical: a vertical bar with the panes side by side (first on the
    // left); otherwise a horizontal bar with the panes stacked (first above).
    // size: the first pane's width or height.
    CSplitBar(QWidget* first, QWidget* second, bool vertical, int size, QWidget* parent = nullptr);

    bool IsVertical() const { return orientation() == Qt::Horizontal; }
    QWidget* FirstPane() const { return widget(0); }
    QWidget* SecondPane() const { return widget(1); }

    // The first pane's width (vertical bar) or height (horizontal bar) as
    // last set or dragged; kept even while the rectangle is too small for it.
    int Size() const { return m_size; }
    void SetSize(int size);

    // Places the bar's rectangle (parent coordinates) and lays the panes out
    // in it; emits LaidOut even when nothing moved.
    void Layout(const QRect& rect);

signals:
    void LaidOut();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ApplySize();
    void OnSplitterMoved(int pos, int index);
    void EndDragWatch();

    int m_size = 0;
    bool m_dragging = false;       // the left button went down on the bar
    bool m_dragCancelled = false;  // Alt or Escape ended the drag before the release
    bool m_restoreOnMove = false;  // the release of a cancelled drag: keep the size
};
