#include "library/DownloadPaths.h"

#include "net/FtpUrl.h"

#include <QDir>
#include <QUrl>

#include "library/LibraryPaths.h"

namespace download {

QString fileNameProblem(const QString& name) {
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("\"%1\" cannot be used as a filename.").arg(name);
    if (name.contains('/'))
        return QStringLiteral("The filename may not contain \"/\": the file must stay in the "
                              "folder you choose.");
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QStringLiteral("The filename may not contain control characters.");
    }
    return {};
}

QString downloadTargetPath(const QString& sectionLocation, const QString& folder,
                           const QString& name) {
    if (sectionLocation.isEmpty() || !QDir::isAbsolutePath(sectionLocation))
        return {};
    return library::folderDirectory(sectionLocation, folder) + name;
}

UrlParts splitUrlDirectory(const QString& url) {
    const int slash = url.lastIndexOf('/');
    return {url.left(slash + 1), url.mid(slash + 1)};
}

QString protocolOf(const QString& url) {
    const int separator = url.indexOf(QLatin1String("://"));
    if (separator <= 0)
        return QStringLiteral("http");
    return url.left(separator).trimmed().toLower();
}

std::optional<FtpLocation> ftpLocation(const QString& urlDirectory) {
    const std::optional<ftp::ServerLocation> server = ftp::parseServerLocation(urlDirectory);
    if (!server)
        return std::nullopt;
    FtpLocation location;
    location.host = server->host;
    location.port = server->port;
    location.user = server->user;
    location.password = server->password;
    if (!server->rawPath.isEmpty())
        location.directory = QUrl::fromPercentEncoding(server->rawPath.toUtf8());
    return location;
}

} // namespace download
