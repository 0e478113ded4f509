#pragma once

#include <QString>

#include "download/BookmarkTree.h"

namespace download {

// The tree of an Internet Explorer favourites directory: a submenu per subdirectory
// (names starting with "." are left out), then an item per "*.URL" shortcut (suffix
// matched without regard to case) captioned with its name without the suffix and
// carrying the shortcut's [InternetShortcut] URL value, "N/A" when it has none.
// Directories come before shortcuts; each kind is listed in name order, letter case
// ignored, so that the menu is the same on every file system. A directory reached again
// through a link to one of its own ancestors is left out, so a loop ends.
BookmarkNode readFavoritesDirectory(const QString& directory);

} // namespace download
