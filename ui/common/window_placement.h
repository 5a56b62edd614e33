#pragma once
// Where the program's windows and the pointer are, as far as the display
// server tells. On X a client chooses where its windows go and learns where
// they and the pointer are; a Wayland compositor places every window itself
// and tells no client its position, so there Qt answers a window's position
// with whatever was last asked for. Code that centres or remembers a window,
// or looks where the pointer is, asks here first. User-interface thread only.

#include <QRect>

class QWidget;

// True when windows go where the program puts them (X); false on Wayland.
bool ProgramPlacesWindows();

// Whether the pointer is over `widget` itself, not over a window above it.
// X reports the pointer anywhere on the screen; Wayland only while it is
// over one of the program's windows, whose positions it keeps to itself:
// there the widget's enter and leave events decide.
bool PointerOver(const QWidget* widget);

// The rectangle to remember for a window that now has `current`: on Wayland
// only its size is known, so the position stays the one in `remembered`.
QRect RectToRemember(const QRect& current, const QRect& remembered);
