#include "download/BookmarkChromium.h"

#include <QDir>
#include <QFileInfo>

#include "download/BookmarkJson.h"

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

const JsonBookmarkSchema kSchema{u"name", u"url", u"folder", u"url", nullptr, nullptr};

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
    std::vector<JsonBookmarkRoot> found;
    for (const Root& root : kRoots) {
        const QJsonObject node = roots.value(QLatin1String(root.key)).toObject();
        const QString name = node.value(u"name").toString();
        found.push_back({name.isEmpty() ? QLatin1String(root.caption) : name,
                         node.value(u"children").toArray()});
    }
    return treeOfJsonRoots(found, kSchema);
}

std::optional<BookmarkNode> readChromiumBookmarks(const QString& configFolder) {
    std::vector<ProfileBookmarks> profiles;
    for (const Browser& browser : kBrowsers)
        readBrowser(browser, configFolder, profiles);
    return joinProfiles(std::move(profiles));
}

} // namespace download
