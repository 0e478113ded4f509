#pragma once

#include <QByteArray>
#include <QStringList>

namespace platform {

// The titles of the mapped top-level windows of the X display, in stacking order (bottom
// first), windows without a title left out. A window manager's frames are looked through to
// the client windows inside them. Empty without a display, when the display cannot be
// reached, and when the program runs on a headless platform ("offscreen", "minimal").
QStringList topLevelWindowTitles();

// The same on a named X display (":1"), whatever the program's own platform.
QStringList topLevelWindowTitles(const QByteArray& display);

} // namespace platform
