#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QString>

namespace platform {

// The program's own icon (tray, windows, desktop entry). Needs a QGuiApplication.
QIcon applicationIcon();

// ---- folder icons ----------------------------------------------------------------------------
//
// The folder icons ship in one file ("icons.dll" by default, a name kept from the library's
// settings; it is no Windows library). Its format, all numbers little-endian:
//
//   offset 0   8 bytes   "QBYICONS"
//   offset 8   uint16    format version, 1
//   offset 10  uint16    count N of icons (at most kMaxIconFileEntries)
//   offset 12  N uint32  byte length of each icon's PNG image, in index order
//   then       the N PNG images, one after another; the file ends with the last one
//
// The icons are square; the program shows them at kFolderIconSize pixels.

// Number of folder icons the program ships, and the side they are drawn at.
constexpr int kShippedIconCount = 62;
constexpr int kFolderIconSize = 32;
constexpr int kMaxIconFileEntries = 1024;

// The icon file's bytes for `icons` (each saved as PNG). Empty when there are too many.
QByteArray iconFileBytes(const QList<QImage>& icons);

// Icon `index` of an icon file. A missing or damaged file, an index it does not hold or an
// image in it that does not decode all give the plain folder icon: a folder never goes without.
QImage iconImageFromFile(const QString& iconFile, int index);
QIcon iconFromFile(const QString& iconFile, int index); // needs a QGuiApplication
// The first `count` icons by the same rules, the file read and decoded once.
QList<QImage> iconImagesFromFile(const QString& iconFile, int count);
QList<QIcon> iconsFromFile(const QString& iconFile, int count); // needs a QGuiApplication

// The icon file named by a setting: a relative name is one of the program's shipped files.
QString folderIconFile(const QString& setting);

// The plain folder shown when the icon file has no picture for a folder.
QImage plainFolderImage();

// The shipped icon `index` (0 to kShippedIconCount - 1), as the build writes it into the
// icon file: the default library's folders carry a picture of what they hold, every other
// index is a plain folder in a colour of its own.
QImage drawShippedIcon(int index);

// The indexes of the shipped icons that carry a picture, in increasing order.
QList<int> pictureIconIndexes();

} // namespace platform
