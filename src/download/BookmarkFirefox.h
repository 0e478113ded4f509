#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

#include "download/BookmarkTree.h"

namespace download {

// Firefox's compressed JSON files hold at most this much once decompressed here, so
// that a broken size field cannot make us allocate gigabytes.
inline constexpr qint64 kMaxMozLz4Size = qint64(64) * 1024 * 1024;

// The content of a Firefox "mozLz4" file: the magic "mozLz40\0", the decompressed size
// (4 bytes, little-endian), then one LZ4 block. Nothing when the magic is wrong, the
// size is 0 or above maxSize, or the block does not decompress to exactly that size.
std::optional<QByteArray> decodeMozLz4(const QByteArray& file, qint64 maxSize = kMaxMozLz4Size);

// The tree of a Firefox bookmark backup (JSON): below the root container the folders
// "menu", "toolbar", "unfiled" and "mobile" as Firefox captions them, left out when
// empty (the tags folder is never shown: it only repeats bookmarks). Containers become
// folders, places links, separators separators; "place:" queries are left out. Nothing
// when the content is not such a backup or holds no bookmark.
std::optional<BookmarkNode> parseFirefoxBackup(const QByteArray& json);

// The bookmarks of the Firefox profiles in a Firefox folder (~/.mozilla/firefox): the
// profiles profiles.ini lists, else every folder there with a "bookmarkbackups" folder
// or a "bookmarks.html" export. A profile gives its newest readable
// bookmarkbackups/*.jsonlz4, else its bookmarks.html. Nothing when no profile gives an
// entry; see joinProfiles for the shape.
std::optional<BookmarkNode> readFirefoxBookmarks(const QString& firefoxFolder);

} // namespace download
