#include "thumbs/label_tip.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>

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
    const int textWidth = fm.horizontalAdvance(text);
    int left = x - kTextLeft;
    const QScreen* screen = QGuiApplication::screenAt(QPoint(x, y));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->geometry();
        if (x + textWidth + kTextLeft > area.right() + 1)
            left = area.right() + 1 - textWidth - 2 * kTextLeft;
    }
    setGeometry(left, y - kTextTop, textWidth + 2 * kTextLeft, fm.height() + 2 * kTextTop);
    show();
    update();
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
    painter.drawText(QPoint(kTextLeft, kTextTop + QFontMetrics(font()).ascent()), m_text);
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
