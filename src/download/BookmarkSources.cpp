#include "download/BookmarkSources.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "download/BookmarkChromium.h"
#include "download/BookmarkFavorites.h"
#include "download/BookmarkFirefox.h"
#include "download/BookmarkHtml.h"
#include "platform/Registry.h"

namespace download {

namespace {

using platform::Registry;

const QString kShellFolders =
    QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
const QString kBookmarkList =
    QStringLiteral("Software\\Netscape\\Netscape Navigator\\Bookmark List");
const QString kUsers = QStringLiteral("Software\\Netscape\\Netscape Navigator\\Users");

void addGroup(std::vector<BookmarkNode>& groups, const QString& caption,
              std::optional<BookmarkNode> content) {
    if (!content)
        return;
    content->caption = caption;
    groups.push_back(std::move(*content));
}

std::optional<BookmarkNode> favorites() {
    const QString dir = Registry(Registry::CurrentUser).readString(kShellFolders, "Favorites");
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        return std::nullopt;
    return readFavoritesDirectory(dir);
}

std::optional<BookmarkNode> navigator() {
    const QString file = Registry(Registry::CurrentUser).readString(kBookmarkList, "File Location");
    if (file.isEmpty())
        return std::nullopt;
    return readNetscapeBookmarkFile(file);
}

std::optional<BookmarkNode> communicatorUsers() {
    const Registry machine(Registry::LocalMachine);
    const QStringList users = machine.subKeys(kUsers);
    if (users.isEmpty())
        return std::nullopt;
    BookmarkNode group = BookmarkNode::folder({});
    for (const QString& user : users) {
        const QString root = machine.readString(kUsers + '\\' + user, "DirRoot");
        std::optional<BookmarkNode> tree;
        if (!root.isEmpty())
            tree = readNetscapeBookmarkFile(root + "/bookmark.htm");
        BookmarkNode folder = tree ? std::move(*tree) : BookmarkNode::folder({});
        folder.caption = user;
        group.children.push_back(std::move(folder));
    }
    return group;
}

} // namespace

BookmarkLocations BookmarkLocations::forUser() {
    return {QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
            QDir::homePath() + "/.mozilla/firefox"};
}

std::vector<BookmarkNode> readBookmarkGroups(const BookmarkLocations& where) {
    std::vector<BookmarkNode> groups;
    addGroup(groups, QStringLiteral("MS IE Favorites"), favorites());
    addGroup(groups, QStringLiteral("Navigator Bookmarks"), navigator());
    addGroup(groups, QStringLiteral("Communicator Users Bookmarks"), communicatorUsers());
    addGroup(groups, QStringLiteral("Chromium Bookmarks"),
             readChromiumBookmarks(where.configFolder));
    addGroup(groups, QStringLiteral("Firefox Bookmarks"),
             readFirefoxBookmarks(where.firefoxFolder));
    return groups;
}

} // namespace download
