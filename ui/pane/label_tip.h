#pragma once
// CLabelTip: a small frameless pop-up that shows the whole name of an item
// whose label the thumbnail pane had to cut. It never takes the mouse: it is
// transparent for input where the platform allows it, and otherwise hands
// every mouse event on to the pane's viewport, so a click on the tip is a
// click on the label beneath.
//
// Ownership: a child object of the pane (a tool-tip window of its own);
// the pane shows and hides it. User-interface thread only.

#include <QString>
#include <QWidget>

class CLabelTip : public QWidget {
    Q_OBJECT

public:
    // target: the widget that receives the mouse events (the pane's viewport).
    CLabelTip(QWidget* owner, QWidget* target);

    // Shows `text` with its first character at the global point (x, y) (the
    // tip's own margin lies around it); kept inside the screen's available
    // area, a name wider than it cut in the middle. The same text again
    // changes nothing; an empty text hides the tip.
    void ShowText(const QString& text, int x, int y);
    // The tip's rectangle moved (and cut) to lie inside `area`.
    static QRect KeptOn(QRect tip, const QRect& area);
    void HideTip();
    QString Text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void Forward(QMouseEvent* event);

    QWidget* m_target;
    QString m_text;
};
