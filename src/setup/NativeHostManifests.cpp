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
        {config + "/chromium", config + "/chromium/NativeMessagingHosts", false},
        {config + "/google-chrome", config + "/google-chrome/NativeMessagingHosts", false},
        {mozilla, mozilla + "/native-messaging-hosts", true},
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

void installNativeHostManifests() {
    const QString host = nativeHostPath();
    if (host.isEmpty()) {
        warn(QStringLiteral("%1 is missing: browsers cannot hand downloads to Quillbay")
                 .arg(QString::fromLatin1(kNativeHostFileName)));
        return;
    }
    for (const HostManifestPlace& place : hostManifestPlaces()) {
        if (!QFileInfo(place.browser).isDir())
            continue; // that browser was never run by this user
        const QString path = hostManifestFile(place);
        const QByteArray content = hostManifest(host, place.firefox);
        if (sameContent(path, content))
            continue;
        QSaveFile file(path);
        if (!QDir().mkpath(place.manifestFolder) || !file.open(QIODevice::WriteOnly) ||
            file.write(content) != content.size() || !file.commit())
            warn(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    }
}

void removeNativeHostManifests() {
    for (const HostManifestPlace& place : hostManifestPlaces()) {
        const QString path = hostManifestFile(place);
        if (QFileInfo::exists(path) && !QFile::remove(path))
            warn(QStringLiteral("cannot remove %1").arg(path));
    }
}

} // namespace setup
