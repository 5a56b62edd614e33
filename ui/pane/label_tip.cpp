#include "pane/label_tip.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>

#include <algorithm>

namespace {
// The text sits this far inside the tip's border.
constexpr int kTextLeft = 3;
constexpr int kTextTop = 2;
}  // namespace

CLabelTip::CLabelTip(QWidget* owner, QWidget* target)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput), m_target(target)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setBackgroundRole(QPalette::ToolTipBase);
    setForegroundRole(QPalette::ToolTipText);
    setAutoFillBackground(true);
    setCursor(Qt::ArrowCursor);
}

void CLabelTip::ShowText(const QString& text, int x, int y)
{
    if (text.isEmpty()) {
        HideTip();
        return;
    }
    if (text == m_text && isVisible())
        return;
    m_text = text;
    const QFontMetrics fm(font());
    QRect tip(x - kTextLeft, y - kTextTop, fm.horizontalAdvance(text) + 2 * kTextLeft,
              fm.height() + 2 * kTextTop);
    const QScreen* screen = QGuiApplication::screenAt(QPoint(x, y));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        tip = KeptOn(tip, screen->availableGeometry());
    setGeometry(tip);
    show();
    update();
}

QRect CLabelTip::KeptOn(QRect tip, const QRect& area)
{
    // Pushed back from the right and bottom edges, then from the left and
    // top ones; a name wider than the screen is cut to its width.
    tip.setWidth(std::min(tip.width(), area.width()));
    tip.setHeight(std::min(tip.height(), area.height()));
    tip.moveLeft(std::max(std::min(tip.left(), area.right() + 1 - tip.width()), area.left()));
    tip.moveTop(std::max(std::min(tip.top(), area.bottom() + 1 - tip.height()), area.top()));
    return tip;
}

void CLabelTip::HideTip()
{
    m_text.clear();
    hide();
}

void CLabelTip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor ink = palette().color(QPalette::ToolTipText);
    painter.setPen(ink);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setFont(font());
    const QFontMetrics fm(font());
    const QString shown = fm.elidedText(m_text, Qt::ElideMiddle, width() - 2 * kTextLeft);
    painter.drawText(QPoint(kTextLeft, kTextTop + fm.ascent()), shown);
}

// Where the platform does not pass input through the tip, the pane still
// gets the events at the same screen point.
void CLabelTip::Forward(QMouseEvent* event)
{
    if (!m_target) {
        event->ignore();
        return;
    }
    const QPointF global = event->globalPosition();
    QMouseEvent copy(event->type(), m_target->mapFromGlobal(global), global, event->button(),
                     event->buttons(), event->modifiers());
    QApplication::sendEvent(m_target, &copy);
    event->accept();
}

void CLabelTip::mousePressEvent(QMouseEvent* event)
{
    Forward(event);
}

void CLabelTip::mouseReleaseEvent(QMouseEvent* event)
{
    Forward(event);
}

void CLabelTip::mouseMoveEvent(QMouseEvent* event)
{
    Forward(event);
}

void CLabelTip::mouseDoubleClickEvent(QMouseEvent* event)
{
    Forward(event);
}

void CLabelTip::wheelEvent(QWheelEvent* event)
{
    if (!m_target) {
        event->ignore();
        return;
    }
    QWheelEvent copy(m_target->mapFromGlobal(event->globalPosition()), event->globalPosition(),
                     event->pixelDelta(), event->angleDelta(), event->buttons(), event->modifiers(),
                     event->phase(), event->inverted());
    QApplication::sendEvent(m_target, &copy);
    event->accept();
}
