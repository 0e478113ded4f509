#include "download/BookmarkFavorites.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include "platform/Profile.h"

namespace download {

namespace {

const QString kShortcutSuffix = QStringLiteral(".URL");
// Shortcuts are a few hundred bytes; a huge file with that name is not one.
constexpr qint64 kMaxShortcutSize = 1024 * 1024;

QString shortcutUrl(const QFileInfo& file) {
    const QString none = QStringLiteral("N/A");
    if (file.size() > kMaxShortcutSize)
        return none;
    return platform::IniFile(file.filePath())
        .readString(QStringLiteral("InternetShortcut"), QStringLiteral("URL"), none);
}

void walk(const QString& path, BookmarkTreeBuilder& builder, QStringList& ancestors) {
    const QDir dir(path);
    const QDir::SortFlags order = QDir::Name | QDir::IgnoreCase;

    for (const QFileInfo& sub :
         dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, order)) {
        if (builder.full())
            return;
        if (sub.fileName().startsWith(u'.'))
            continue;
        const QString canonical = sub.canonicalFilePath();
        if (canonical.isEmpty() || ancestors.contains(canonical))
            continue;
        builder.openFolder(sub.fileName());
        ancestors.append(canonical);
        walk(sub.filePath(), builder, ancestors);
        ancestors.removeLast();
        builder.closeFolder();
    }

    for (const QFileInfo& file : dir.entryInfoList(QDir::Files | QDir::Hidden, order)) {
        if (builder.full())
            return;
        const QString name = file.fileName();
        if (!name.endsWith(kShortcutSuffix, Qt::CaseInsensitive) || !file.isFile())
            continue;
        builder.addLink(name.chopped(kShortcutSuffix.size()), shortcutUrl(file));
    }
}

} // namespace

BookmarkNode readFavoritesDirectory(const QString& directory) {
    BookmarkNode root = BookmarkNode::folder({});
    BookmarkTreeBuilder builder(root);
    QStringList ancestors{QFileInfo(directory).canonicalFilePath()};
    walk(directory, builder, ancestors);
    return root;
}

} // namespace download
