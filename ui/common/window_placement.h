#pragma once
// Where the program's own windows go. On X a client chooses where its
// windows go and learns where they are; a Wayland compositor places every
// window itself and tells no client its position, so there Qt answers a
// window's position with whatever was last asked for. Code that centres a
// window or remembers a window's position asks here first. User-interface
// thread only.

#include <QRect>

// True when windows go where the program puts them (X); false on Wayland.
bool ProgramPlacesWindows();

// The rectangle to remember for a window that now has `current`: on Wayland
// only its size is known, so the position stays the one in `remembered`.
QRect RectToRemember(const QRect& current, const QRect& remembered);
