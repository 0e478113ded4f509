#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

#include "download/BookmarkTree.h"

namespace download {

// The tree of one Chromium-family "Bookmarks" file (JSON): its roots "bookmark_bar",
// "other" and "synced" in that order, each a folder captioned with the root's name and
// left out when empty; below them nodes of type "folder" (name, children) and "url"
// (name, url). Nothing when the content is not such a file or holds no bookmark.
std::optional<BookmarkNode> parseChromiumBookmarks(const QByteArray& json);

// The bookmarks of the Chromium-family browsers (Chromium, Google Chrome and their
// kin) under the user's configuration folder: every profile folder with a readable
// "Bookmarks" file, named as the browser's "Local State" names it. Nothing when there is
// none; see joinProfiles for the shape.
std::optional<BookmarkNode> readChromiumBookmarks(const QString& configFolder);

} // namespace download
