#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

#include "download/BookmarkTree.h"

namespace download {

// The tree of a Netscape bookmark file (Navigator, Communicator, and the HTML exports
// of today's browsers), read line by line; the first rule that matches a line applies,
// and every test is case-sensitive:
// - "<H3": a folder captioned with the text between the first ">" after "<H" and the
//   next "<"; the following lines fill it;
// - "</DL": the current folder ends (at the top level there is none to end, and the line
//   is ignored, so a stray one loses nothing that follows);
// - "<HR": a separator;
// - "<A " and "HREF": a link. After "HREF", blanks, "=" and quotation marks are skipped,
//   the last quotation mark skipped ending the URL (else a blank does); the URL also ends
//   at a blank or ">". The caption is the text between the next ">" and the "<" after it.
// Other lines are ignored; an entry spread over several lines is not recognised.
// Character references in captions (&amp;, &#39; ...) are shown as their characters.
BookmarkNode parseNetscapeBookmarks(const QByteArray& content);

// The tree of the file, or nothing when it is not a readable regular file of at most
// kMaxBookmarkFileSize bytes.
std::optional<BookmarkNode> readNetscapeBookmarkFile(const QString& path);

// Text with the character references of HTML replaced by their characters; unknown or
// broken references stay as written.
QString decodeHtmlCharacters(const QString& text);

} // namespace download
