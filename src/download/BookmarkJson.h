#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

#include "download/BookmarkTree.h"

// What the JSON bookmark files of today's browsers share: a few top-level folders, and
// below them nodes whose "type" says folder, link or separator.
namespace download {

// The object a JSON document holds; nothing when the bytes are not a JSON object.
std::optional<QJsonObject> parseJsonObject(const QByteArray& bytes);

// The member names and type values of one browser's bookmark nodes.
struct JsonBookmarkSchema {
    const char16_t* caption;
    const char16_t* url;
    const char16_t* folderType;
    const char16_t* linkType;
    const char16_t* separatorType; // null: the browser has none
    const char16_t* hiddenScheme;  // null: every link is shown
};

// A top-level folder and the nodes below it.
struct JsonBookmarkRoot {
    QString caption;
    QJsonArray children;
};

// A tree with a folder per root that has entries. Folders hold "children"; a link
// without a caption is captioned with its URL; unknown types are left out. Nothing when
// no link came of it: folders alone are no reason to show a group.
std::optional<BookmarkNode> treeOfJsonRoots(const std::vector<JsonBookmarkRoot>& roots,
                                            const JsonBookmarkSchema& schema);

} // namespace download
