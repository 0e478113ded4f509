#pragma once

#include <QString>
#include <QStringList>

#include "download/BookmarkTree.h"

namespace bmtest {

// A folder's entries, a line each, indented two blanks per level: "Caption/" for a folder,
// "Caption = URL" for a link, "---" for a separator.
inline QString outline(const download::BookmarkNode& folder, int level = 0) {
    QString out;
    const QString indent(2 * level, u' ');
    for (const download::BookmarkNode& node : folder.children) {
        switch (node.kind) {
        case download::BookmarkNode::Kind::Folder:
            out += indent + node.caption + "/\n" + outline(node, level + 1);
            break;
        case download::BookmarkNode::Kind::Link:
            out += indent + node.caption + " = " + node.url + '\n';
            break;
        case download::BookmarkNode::Kind::Separator:
            out += indent + "---\n";
            break;
        }
    }
    return out;
}

// Every line of an outline one level deeper.
inline QString indented(const QString& outline) {
    QString out;
    for (const QString& line : outline.split(u'\n', Qt::SkipEmptyParts))
        out += "  " + line + '\n';
    return out;
}

} // namespace bmtest
