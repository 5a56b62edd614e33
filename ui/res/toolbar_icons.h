#pragma once
// The toolbar's pictures and the application icon, drawn from the SVG files
// compiled into the program's resources. The icons render themselves at any
// size, so they stay crisp at 200 % scaling. GUI thread only.

#include <QIcon>

namespace res {

inline constexpr int kToolbarImageCount = 18;

// Toolbar image i (0..17) as an icon drawn from its SVG at 20 px and 40 px
// (and any size Qt asks for), so it stays crisp at 200 % scaling. A null icon
// for an index out of range.
QIcon ToolbarIcon(int index);

QIcon AppIcon();  // the application icon, all sizes

}  // namespace res
