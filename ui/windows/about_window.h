#pragma once
// CAboutWnd: the About box, drawn entirely by the window from its list of
// items (the picture, the product line, two lines about the product, two
// links, the acknowledgement and the Close button). It measures its texts,
// lays the items out, sizes itself around them with a 20-pixel margin and
// centres itself on the screen; it handles painting, hovering and clicks
// itself. A 100 ms timer ends a hover that no mouse move reported.
//
// Ownership: a top-level window owned by the main window (its Qt parent),
// deleted when it closes (Close, the close box or ESC); the main window
// keeps a guarded pointer and makes a new one on the next About command.
// User-interface thread only.

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include <QBasicTimer>
#include <QWidget>

#include "display/display_bitmap.h"

class CAboutItem;
class QUrl;

// The rectangles of the window's eleven items, in their order, from their
// measured sizes: the positions of the item table, moved by the margin, the
// button centred. `clientSize` gets the window's client size.
std::array<QRect, 11> LayoutAboutItems(const std::array<QSize, 11>& sizes, QSize* clientSize);

class CAboutWnd : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMargin = 20;
    static constexpr int kHoverTimerMs = 100;
    static constexpr int kStripSize = 64;

    explicit CAboutWnd(QWidget* owner);
    ~CAboutWnd() override;

    // False when the picture or the display bitmap could not be made; the
    // window is then not to be shown.
    bool IsCreated() const { return m_created; }

    // Opens a link's target with the desktop's handler; tests replace it.
    std::function<void(const QUrl&)> openUrl;
    void OpenLink(const QString& target);

    const std::vector<std::unique_ptr<CAboutItem>>& Items() const { return m_items; }
    CAboutItem* HoverItem() const { return m_hover; }
    // The first item whose rectangle holds the point, or null.
    CAboutItem* ItemAt(const QPoint& point) const;

    // The README the links open: the installed one when the program lies
    // in an installed tree, else the copy next to the program; empty when
    // there is neither.
    static QString DocumentationPath(const QString& programDir);
    // A file URL of the documentation, at a section when one is named;
    // empty without documentation.
    static QString LinkTarget(const QString& documentation, const QString& section);
    // The documentation's section that tells how to report a problem.
    static constexpr const char* kProblemSection = "reporting-problems";

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void BuildItems();
    void SetHover(CAboutItem* item);

    CDisplayBitmap m_displayBitmap;
    std::vector<std::unique_ptr<CAboutItem>> m_items;
    CAboutItem* m_hover = nullptr;
    QBasicTimer m_timer;
    bool m_created = false;
};
