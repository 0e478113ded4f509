#include "download/BookmarkFirefox.h"

#include <QDir>
#include <QFileInfo>
#include <QtEndian>

#include <climits>

#include <lz4.h>

#include "download/BookmarkHtml.h"
#include "download/BookmarkJson.h"
#include "platform/Profile.h"

namespace download {

namespace {

constexpr char kMagic[] = "mozLz40"; // and its terminating NUL: 8 bytes
constexpr qsizetype kHeaderSize = 12;
// A broken newest backup falls back to the ones before it, but not without end.
constexpr int kBackupsTried = 3;

const QString kContainer = QStringLiteral("text/x-moz-place-container");

struct Root {
    const char* name;
    const char* caption; // empty: never shown
};

const Root kRoots[] = {
    {"bookmarksMenuFolder", "Bookmarks Menu"},
    {"toolbarFolder", "Bookmarks Toolbar"},
    {"unfiledBookmarksFolder", "Other Bookmarks"},
    {"mobileFolder", "Mobile Bookmarks"},
    {"tagsFolder", ""},
};

const JsonBookmarkSchema kSchema{u"title",
                                 u"uri",
                                 u"text/x-moz-place-container",
                                 u"text/x-moz-place",
                                 u"text/x-moz-place-separator",
                                 u"place:"};

QString rootCaption(const QJsonObject& node) {
    const QString name = node.value(u"root").toString();
    for (const Root& root : kRoots) {
        if (name == QLatin1String(root.name))
            return QLatin1String(root.caption);
    }
    return node.value(u"title").toString();
}

struct Profile {
    QString name;
    QString folder;
};

std::vector<Profile> listedProfiles(const QString& firefoxFolder) {
    const platform::IniFile ini(firefoxFolder + "/profiles.ini");
    std::vector<Profile> out;
    ini.inspect([&](const platform::IniContent& content) {
        for (const QString& section : content.readSections()) {
            const QString path = content.readString(section, "Path", {});
            if (!section.startsWith(u"Profile", Qt::CaseInsensitive) || path.isEmpty())
                continue;
            const bool relative = content.readBool(section, "IsRelative", true);
            out.push_back({content.readString(section, "Name", QFileInfo(path).fileName()),
                           relative ? firefoxFolder + '/' + path : path});
            if (int(out.size()) == kMaxBrowserProfiles)
                return;
        }
    });
    return out;
}

std::vector<Profile> foundProfiles(const QString& firefoxFolder) {
    std::vector<Profile> out;
    for (const QFileInfo& dir :
         QDir(firefoxFolder)
             .entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name)) {
        const QString folder = dir.filePath();
        if (QFileInfo(folder + "/bookmarkbackups").isDir() ||
            QFileInfo(folder + "/bookmarks.html").isFile())
            out.push_back({dir.fileName(), folder});
        if (int(out.size()) == kMaxBrowserProfiles)
            break;
    }
    return out;
}

std::optional<BookmarkNode> readProfile(const QString& folder) {
    const QFileInfoList backups =
        QDir(folder + "/bookmarkbackups")
            .entryInfoList({QStringLiteral("*.jsonlz4")}, QDir::Files, QDir::Time);
    for (qsizetype i = 0; i < backups.size() && i < kBackupsTried; ++i) {
        const auto file = readBoundedFile(backups[i].filePath());
        const auto json = file ? decodeMozLz4(*file) : std::nullopt;
        if (auto tree = json ? parseFirefoxBackup(*json) : std::nullopt)
            return tree;
    }
    return readNetscapeBookmarkFile(folder + "/bookmarks.html");
}

} // namespace

std::optional<QByteArray> decodeMozLz4(const QByteArray& file, qint64 maxSize) {
    if (file.size() < kHeaderSize || !file.startsWith(QByteArrayView(kMagic, sizeof kMagic)))
        return std::nullopt;
    const quint32 size = qFromLittleEndian<quint32>(file.constData() + sizeof kMagic);
    const qint64 compressed = file.size() - kHeaderSize;
    if (size == 0 || size > maxSize || size > quint32(INT_MAX) || compressed > INT_MAX)
        return std::nullopt;
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    const int produced =
        LZ4_decompress_safe(file.constData() + kHeaderSize, out.data(), int(compressed), int(size));
    if (produced != int(size))
        return std::nullopt;
    return out;
}

std::optional<BookmarkNode> parseFirefoxBackup(const QByteArray& json) {
    const auto doc = parseJsonObject(json);
    if (!doc || doc->value(u"type").toString() != kContainer)
        return std::nullopt;
    std::vector<JsonBookmarkRoot> found;
    for (const QJsonValue& value : doc->value(u"children").toArray()) {
        const QJsonObject node = value.toObject();
        const QString caption = rootCaption(node);
        if (node.value(u"type").toString() == kContainer && !caption.isEmpty())
            found.push_back({caption, node.value(u"children").toArray()});
    }
    return treeOfJsonRoots(found, kSchema);
}

std::optional<BookmarkNode> readFirefoxBookmarks(const QString& firefoxFolder) {
    std::vector<Profile> profiles = listedProfiles(firefoxFolder);
    if (profiles.empty())
        profiles = foundProfiles(firefoxFolder);
    std::vector<ProfileBookmarks> read;
    for (const Profile& profile : profiles) {
        if (auto tree = readProfile(profile.folder))
            read.push_back({profile.name, std::move(*tree)});
    }
    return joinProfiles(std::move(read));
}

} // namespace download
