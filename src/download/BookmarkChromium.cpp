#include "download/BookmarkChromium.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

namespace download {

namespace {

struct Browser {
    const char* folder;
    const char* name;
};

const Browser kBrowsers[] = {
    {"chromium", "Chromium"},
    {"google-chrome", "Google Chrome"},
    {"google-chrome-beta", "Google Chrome Beta"},
    {"google-chrome-unstable", "Google Chrome Dev"},
    {"BraveSoftware/Brave-Browser", "Brave"},
    {"microsoft-edge", "Microsoft Edge"},
    {"vivaldi", "Vivaldi"},
};

struct Root {
    const char* key;
    const char* caption; // when the file names none
};

const Root kRoots[] = {
    {"bookmark_bar", "Bookmarks bar"},
    {"other", "Other bookmarks"},
    {"synced", "Mobile bookmarks"},
};

// Local State is small; a big one is not the browser's.
constexpr qint64 kMaxLocalStateSize = 16 * 1024 * 1024;

void addChildren(const QJsonArray& children, BookmarkTreeBuilder& builder) {
    for (const QJsonValue& value : children) {
        if (builder.full())
            return;
        const QJsonObject node = value.toObject();
        const QString type = node.value(u"type").toString();
        const QString name = node.value(u"name").toString();
        if (type == u"folder") {
            builder.openFolder(name);
            addChildren(node.value(u"children").toArray(), builder);
            builder.closeFolder();
        } else if (type == u"url") {
            const QString url = node.value(u"url").toString();
            builder.addLink(name.isEmpty() ? url : name, url);
        }
    }
}

// Profile folder -> the name the user gave the profile.
QJsonObject profileNames(const QString& browserFolder) {
    const auto bytes = readBoundedFile(browserFolder + "/Local State", kMaxLocalStateSize);
    const auto state = bytes ? parseJsonObject(*bytes) : std::nullopt;
    if (!state)
        return {};
    return state->value(u"profile").toObject().value(u"info_cache").toObject();
}

void readBrowser(const Browser& browser, const QString& configFolder,
                 std::vector<ProfileBookmarks>& out) {
    const QString folder = configFolder + '/' + QLatin1String(browser.folder);
    if (!QFileInfo(folder).isDir())
        return;
    const QJsonObject names = profileNames(folder);
    const QFileInfoList profiles =
        QDir(folder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    int read = 0;
    for (const QFileInfo& profile : profiles) {
        if (read == kMaxBrowserProfiles)
            return;
        const auto bytes = readBoundedFile(profile.filePath() + "/Bookmarks");
        if (!bytes)
            continue;
        ++read;
        if (auto tree = parseChromiumBookmarks(*bytes)) {
            QString name = names.value(profile.fileName()).toObject().value(u"name").toString();
            if (name.isEmpty())
                name = profile.fileName();
            out.push_back({QLatin1String(browser.name) + " - " + name, std::move(*tree)});
        }
    }
}

} // namespace

std::optional<BookmarkNode> parseChromiumBookmarks(const QByteArray& json) {
    const auto doc = parseJsonObject(json);
    if (!doc)
        return std::nullopt;
    const QJsonObject roots = doc->value(u"roots").toObject();
    BookmarkNode tree = BookmarkNode::folder({});
    BookmarkTreeBuilder builder(tree);
    for (const Root& root : kRoots) {
        const QJsonObject node = roots.value(QLatin1String(root.key)).toObject();
        const QJsonArray children = node.value(u"children").toArray();
        if (children.isEmpty())
            continue;
        const QString name = node.value(u"name").toString();
        builder.openFolder(name.isEmpty() ? QLatin1String(root.caption) : name);
        addChildren(children, builder);
        builder.closeFolder();
    }
    // Folders alone are no reason to show the group.
    if (!builder.hasLinks())
        return std::nullopt;
    return tree;
}

std::optional<BookmarkNode> readChromiumBookmarks(const QString& configFolder) {
    std::vector<ProfileBookmarks> profiles;
    for (const Browser& browser : kBrowsers)
        readBrowser(browser, configFolder, profiles);
    return joinProfiles(std::move(profiles));
}

} // namespace download
