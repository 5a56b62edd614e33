#include "common/window_placement.h"

#include <QGuiApplication>

bool ProgramPlacesWindows()
{
    // Qt has no public query for this; its Wayland plugins are "wayland"
    // and "wayland-egl".
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QRect RectToRemember(const QRect& current, const QRect& remembered)
{
    if (ProgramPlacesWindows())
        return current;
    return QRect(remembered.topLeft(), current.size());
}
