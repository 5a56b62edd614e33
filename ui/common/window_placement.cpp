#include "common/window_placement.h"

#include <QApplication>
#include <QCursor>
#include <QWidget>

bool ProgramPlacesWindows()
{
    // Qt has no public query for this; its Wayland plugins are "wayland"
    // and "wayland-egl".
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool PointerOver(const QWidget* widget)
{
    if (ProgramPlacesWindows())
        return QApplication::widgetAt(QCursor::pos()) == widget;
    return widget->underMouse();
}

QRect RectToRemember(const QRect& current, const QRect& remembered)
{
    if (ProgramPlacesWindows())
        return current;
    return QRect(remembered.topLeft(), current.size());
}
