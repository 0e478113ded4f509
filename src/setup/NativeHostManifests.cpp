#include "setup/NativeHostManifests.h"

#include "platform/Resources.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>

namespace setup {

namespace {

QString manifestName() {
    return QString::fromLatin1(kNativeHostName) + ".json";
}

void warn(const QString& text) {
    std::fprintf(stderr, "Quillbay: %s\n", qPrintable(text));
}

bool sameContent(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.size() == content.size() &&
           file.readAll() == content;
}

} // namespace

QList<HostManifestPlace> hostManifestPlaces() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString mozilla = QDir::homePath() + "/.mozilla";
    return {
        {"Chromium", "Chromium", config + "/chromium", config + "/chromium/NativeMessagingHosts",
         false},
        {"Google Chrome", "GoogleChrome", config + "/google-chrome",
         config + "/google-chrome/NativeMessagingHosts", false},
        {"Firefox", "Firefox", mozilla, mozilla + "/native-messaging-hosts", true},
    };
}

QString nativeHostPath() {
    const QString programDir = QFileInfo(platform::executablePath()).absolutePath();
    const QString name = QString::fromLatin1(kNativeHostFileName);
    for (const QString& candidate :
         {programDir + "/" + name, programDir + "/../lib/quillbay/" + name}) {
        const QFileInfo host(candidate);
        if (host.isFile() && host.isExecutable())
            return host.canonicalFilePath();
    }
    return {};
}

QByteArray hostManifest(const QString& hostPath, bool firefox) {
    QJsonObject manifest{{"name", kNativeHostName},
                         {"description", "Quillbay download hand-off"},
                         {"path", hostPath},
                         {"type", "stdio"}};
    if (firefox)
        manifest.insert("allowed_extensions", QJsonArray{kFirefoxExtensionId});
    else
        manifest.insert("allowed_origins",
                        QJsonArray{QStringLiteral("chrome-extension://%1/")
                                       .arg(QString::fromLatin1(kChromiumExtensionId))});
    return QJsonDocument(manifest).toJson(QJsonDocument::Indented);
}

QString hostManifestFile(const HostManifestPlace& place) {
    return place.manifestFolder + "/" + manifestName();
}

namespace {

QString writeManifest(const HostManifestPlace& place, const QString& host) {
    const QString path = hostManifestFile(place);
    const QByteArray content = hostManifest(host, place.firefox);
    if (sameContent(path, content))
        return {};
    if (!QDir().mkpath(place.manifestFolder))
        return QStringLiteral("cannot make %1").arg(place.manifestFolder);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return {};
}

QString missingHost() {
    return QStringLiteral("%1 is missing: browsers cannot hand downloads to Quillbay")
        .arg(QString::fromLatin1(kNativeHostFileName));
}

} // namespace

void installNativeHostManifests(const QStringList& refused) {
    const QString host = nativeHostPath();
    if (host.isEmpty()) {
        warn(missingHost());
        return;
    }
    for (const HostManifestPlace& place : hostManifestPlaces()) {
        if (refused.contains(place.name)) {
            removeNativeHostManifest(place); // left by an older run
            continue;
        }
        if (!QFileInfo(place.browser).isDir())
            continue; // that browser was never run by this user
        if (const QString error = writeManifest(place, host); !error.isEmpty())
            warn(error);
    }
}

QString installNativeHostManifest(const HostManifestPlace& place) {
    const QString host = nativeHostPath();
    return host.isEmpty() ? missingHost() : writeManifest(place, host);
}

bool removeNativeHostManifest(const HostManifestPlace& place) {
    const QString path = hostManifestFile(place);
    if (QFileInfo::exists(path) && !QFile::remove(path)) {
        warn(QStringLiteral("cannot remove %1").arg(path));
        return false;
    }
    return true;
}

void removeNativeHostManifests() {
    for (const HostManifestPlace& place : hostManifestPlaces())
        removeNativeHostManifest(place);
}

QStringList executableSearchPath() {
    return QString::fromLocal8Bit(qgetenv("PATH")).split(':', Qt::SkipEmptyParts);
}

QList<BridgeBrowser> findBridgeBrowsers(const QStringList& searchPath, const QString& root) {
    struct Programs {
        const char* name;
        QStringList onPath;        // program names looked for in the search path
        QStringList installPlaces; // below `root`
    };
    // Snap and Flatpak browsers read host manifests inside their sandboxes, which these
    // manifests do not reach, so only the packages' own places count.
    const QList<Programs> programs = {
        {"Chromium",
         {"chromium", "chromium-browser"},
         {"usr/lib/chromium/chromium", "usr/lib/chromium-browser/chromium-browser"}},
        {"Google Chrome",
         {"google-chrome", "google-chrome-stable"},
         {"opt/google/chrome/google-chrome", "opt/google/chrome/chrome"}},
        {"Firefox",
         {"firefox", "firefox-esr"},
         {"usr/lib/firefox/firefox", "usr/lib/firefox-esr/firefox-esr", "opt/firefox/firefox"}},
    };
    const auto runnable = [](const QString& path) {
        const QFileInfo file(path);
        if (!file.isFile() || !file.isExecutable())
            return false;
        const QString real = file.canonicalFilePath();
        return !real.contains("/snap/bin/") && !real.startsWith("/snap/") &&
               !real.contains("/flatpak/exports/bin/");
    };
    const QString base = root.endsWith('/') ? root : root + '/';
    QList<BridgeBrowser> found;
    for (const HostManifestPlace& place : hostManifestPlaces()) {
        const auto wanted = std::find_if(programs.begin(), programs.end(), [&](const Programs& p) {
            return place.name == QLatin1String(p.name);
        });
        if (wanted == programs.end())
            continue;
        QStringList candidates;
        for (const QString& folder : searchPath)
            for (const QString& name : wanted->onPath)
                candidates << QDir(folder).filePath(name);
        for (const QString& installed : wanted->installPlaces)
            candidates << base + installed;
        const auto program = std::find_if(candidates.begin(), candidates.end(), runnable);
        if (program != candidates.end())
            found.append({place, *program});
    }
    return found;
}

} // namespace setup
