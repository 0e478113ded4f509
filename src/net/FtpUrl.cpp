#include "net/FtpUrl.h"

#include <QUrl>

namespace ftp {

namespace {
QString decoded(const QString& text) {
    return QUrl::fromPercentEncoding(text.toUtf8());
}
} // namespace

std::optional<ServerLocation> parseServerLocation(const QString& url) {
    QString rest = url.trimmed();
    if (rest.startsWith(QLatin1String("ftp://"), Qt::CaseInsensitive))
        rest = rest.mid(6);
    const int slash = rest.indexOf(QLatin1Char('/'));
    QString authority = slash < 0 ? rest : rest.left(slash);
    ServerLocation location;
    location.rawPath = slash < 0 ? QString() : rest.mid(slash);
    const int at = authority.lastIndexOf(QLatin1Char('@'));
    if (at >= 0) {
        const QString userInfo = authority.left(at);
        authority = authority.mid(at + 1);
        const int colon = userInfo.indexOf(QLatin1Char(':'));
        location.user = decoded(colon < 0 ? userInfo : userInfo.left(colon));
        if (colon >= 0)
            location.password = decoded(userInfo.mid(colon + 1));
    }
    QString port;
    if (authority.startsWith(QLatin1Char('['))) {
        // An IPv6 address: its colons are not the port's.
        const int close = authority.indexOf(QLatin1Char(']'));
        if (close < 0)
            return std::nullopt;
        const QString after = authority.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(QLatin1Char(':')))
            return std::nullopt;
        port = after.mid(1);
        authority = authority.mid(1, close - 1);
    } else {
        const int colon = authority.lastIndexOf(QLatin1Char(':'));
        if (colon >= 0) {
            port = authority.mid(colon + 1);
            authority = authority.left(colon);
        }
    }
    if (authority.isEmpty())
        return std::nullopt;
    location.host = authority;
    if (!port.isEmpty()) {
        bool ok = false;
        const uint number = port.toUInt(&ok);
        if (!ok || number < 1 || number > 65535)
            return std::nullopt;
        location.port = QString::number(number);
    }
    return location;
}

} // namespace ftp
