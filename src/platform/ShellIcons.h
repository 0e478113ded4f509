#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

namespace platform {

// The program's own icon (tray, windows, desktop entry). Needs a QGuiApplication.
QIcon applicationIcon();

// Number of folder icons the program draws itself.
constexpr int kBuiltInIconCount = 62;

// Side of one icon in an icon strip, in pixels.
constexpr int kStripIconSize = 32;

// The built-in folder icons as one horizontal strip, kStripIconSize pixels high, icon i at
// x = i * kStripIconSize. Drawn once, at first use.
QImage builtInIconStrip();

// Icon `index` of an icon file. An image file (any format Qt reads, whatever its suffix) is a
// horizontal strip of square icons as high as the image. A file that is missing or no image
// (the Windows resource library "icons.dll" is not shipped here) gives the built-in icons.
// An index outside the strip gives a null icon. Needs a QGuiApplication.
QIcon iconFromFile(const QString& iconFile, int index);

// The image behind iconFromFile; a null image for an index outside the strip.
QImage iconImageFromFile(const QString& iconFile, int index);

} // namespace platform
