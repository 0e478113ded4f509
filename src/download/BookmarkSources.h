#pragma once

#include <QString>

#include <optional>
#include <vector>

#include "download/BookmarkTree.h"

namespace download {

// Where the browsers' bookmarks are found. The registry values locate the bookmarks of
// the Windows-born browsers; the two folders those of today's browsers.
struct BookmarkLocations {
    // The user's configuration folder, where Chromium-family browsers keep their profiles.
    QString configFolder;
    // The Firefox folder, holding profiles.ini and the profiles.
    QString firefoxFolder;

    // ~/.config (or $XDG_CONFIG_HOME) and ~/.mozilla/firefox.
    static BookmarkLocations forUser();
};

// The groups of the bookmark menu, each a folder captioned with the group's name, in menu
// order and only those whose source is present:
// - "MS IE Favorites": the directory the current user's Shell Folders value Favorites
//   names;
// - "Navigator Bookmarks": the file the current user's Netscape Bookmark List value
//   "File Location" names;
// - "Communicator Users Bookmarks": a folder per subkey of the local machine's Netscape
//   Users key, captioned with its name, filled from DirRoot + "/bookmark.htm" when DirRoot
//   is set and the file exists;
// - "Chromium Bookmarks" and "Firefox Bookmarks", when they hold a bookmark.
std::vector<BookmarkNode> readBookmarkGroups(const BookmarkLocations& where);

} // namespace download
