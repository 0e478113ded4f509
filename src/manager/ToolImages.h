#pragma once

#include <QIcon>
#include <QImage>

namespace manager {

// The tool bar's pictures, by index: 0 new, 1 delete, 2 options, 3 report, 4 help,
// 5 file info, 6 browser, 7 scanner, 8 view style.
inline constexpr int kToolImageCount = 9;

// One picture, `size` pixels square: in colour when `hot` (under the mouse), else in the
// muted greys of a resting flat button. An index out of range gives a transparent image.
QImage toolImage(int index, bool hot, int size = 32);

// Both pictures in one icon: the grey one for the normal state, the coloured one for the
// active (hovered) state.
QIcon toolIcon(int index);

} // namespace manager
