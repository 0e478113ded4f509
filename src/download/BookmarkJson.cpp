#include "download/BookmarkJson.h"

#include <QJsonDocument>

namespace download {

namespace {

void addChildren(const QJsonArray& children, const JsonBookmarkSchema& schema,
                 BookmarkTreeBuilder& builder) {
    for (const QJsonValue& value : children) {
        if (builder.full())
            return;
        const QJsonObject node = value.toObject();
        const QString type = node.value(u"type").toString();
        const QString caption = node.value(QStringView(schema.caption)).toString();
        if (type == QStringView(schema.folderType)) {
            builder.openFolder(caption);
            addChildren(node.value(u"children").toArray(), schema, builder);
            builder.closeFolder();
        } else if (type == QStringView(schema.linkType)) {
            const QString url = node.value(QStringView(schema.url)).toString();
            if (!schema.hiddenScheme || !url.startsWith(QStringView(schema.hiddenScheme)))
                builder.addLink(caption.isEmpty() ? url : caption, url);
        } else if (schema.separatorType && type == QStringView(schema.separatorType)) {
            builder.addSeparator();
        }
    }
}

} // namespace

std::optional<QJsonObject> parseJsonObject(const QByteArray& bytes) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return doc.object();
}

std::optional<BookmarkNode> treeOfJsonRoots(const std::vector<JsonBookmarkRoot>& roots,
                                            const JsonBookmarkSchema& schema) {
    BookmarkNode tree = BookmarkNode::folder({});
    BookmarkTreeBuilder builder(tree);
    for (const JsonBookmarkRoot& root : roots) {
        if (root.children.isEmpty())
            continue;
        builder.openFolder(root.caption);
        addChildren(root.children, schema, builder);
        builder.closeFolder();
    }
    if (!builder.hasLinks())
        return std::nullopt;
    return tree;
}

} // namespace download
