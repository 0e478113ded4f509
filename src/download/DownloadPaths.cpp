#include "download/DownloadPaths.h"

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
    QString rest = urlDirectory.trimmed();
    if (rest.startsWith(QLatin1String("ftp://"), Qt::CaseInsensitive))
        rest = rest.mid(6);
    const int slash = rest.indexOf('/');
    QString authority = slash < 0 ? rest : rest.left(slash);
    FtpLocation location;
    if (slash >= 0)
        location.directory = QUrl::fromPercentEncoding(rest.mid(slash).toUtf8());
    const int at = authority.lastIndexOf('@');
    if (at >= 0) {
        const QString userInfo = authority.left(at);
        authority = authority.mid(at + 1);
        const int colon = userInfo.indexOf(':');
        location.user = QUrl::fromPercentEncoding(userInfo.left(colon).toUtf8());
        if (colon >= 0)
            location.password = QUrl::fromPercentEncoding(userInfo.mid(colon + 1).toUtf8());
    }
    QString port;
    if (authority.startsWith('[')) {
        // An IPv6 address: its colons are not the port's.
        const int close = authority.indexOf(']');
        if (close < 0)
            return std::nullopt;
        port = authority.mid(close + 1);
        authority = authority.mid(1, close - 1);
        if (!port.isEmpty() && !port.startsWith(':'))
            return std::nullopt;
        port = port.mid(1);
    } else {
        const int colon = authority.lastIndexOf(':');
        if (colon >= 0) {
            port = authority.mid(colon + 1);
            authority = authority.left(colon);
        }
    }
    bool numeric = port.isEmpty();
    const int number = numeric ? 0 : port.toInt(&numeric);
    if (authority.isEmpty() || !numeric || (!port.isEmpty() && (number < 1 || number > 65535)))
        return std::nullopt;
    location.host = authority;
    if (!port.isEmpty())
        location.port = port;
    return location;
}

} // namespace download
