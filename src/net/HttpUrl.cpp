#include "HttpUrl.h"

#include <QStringList>

namespace {

// Removes "." and ".." segments from a merged path, keeping its query.
QString removeDotSegments(const QString& path) {
    const int query = path.indexOf('?');
    const QString plain = query < 0 ? path : path.left(query);
    const QString tail = query < 0 ? QString() : path.mid(query);
    if (!plain.contains(QLatin1String("/.")))
        return path;
    QStringList out;
    const QStringList segments = plain.split('/');
    for (int i = 1; i < segments.size(); ++i) {
        const QString& segment = segments[i];
        const bool last = i == segments.size() - 1;
        if (segment == QLatin1String(".")) {
            if (last)
                out << QString();
        } else if (segment == QLatin1String("..")) {
            if (!out.isEmpty())
                out.removeLast();
            if (last)
                out << QString();
        } else {
            out << segment;
        }
    }
    return QLatin1Char('/') + out.join('/') + tail;
}

QString withoutFragment(const QString& text) {
    const int hash = text.indexOf('#');
    return hash < 0 ? text : text.left(hash);
}

// Splits "[user[:password]@]host[:port]" into `url`.
void parseAuthority(const QString& authority, HttpUrl& url) {
    QString hostPort = authority;
    const int at = authority.lastIndexOf('@');
    if (at >= 0) {
        const QString userInfo = authority.left(at);
        hostPort = authority.mid(at + 1);
        const int colon = userInfo.indexOf(':');
        url.user = colon < 0 ? userInfo : userInfo.left(colon);
        url.password = colon < 0 ? QString() : userInfo.mid(colon + 1);
        url.hasUserInfo = true;
    }
    // An IPv6 literal keeps its colons: the port follows "]".
    const int bracket = hostPort.lastIndexOf(']');
    const int colon = hostPort.lastIndexOf(':');
    if (colon >= 0 && colon > bracket) {
        url.host = hostPort.left(colon);
        const QString port = hostPort.mid(colon + 1);
        if (!port.isEmpty())
            url.port = port;
    } else {
        url.host = hostPort;
    }
    if (url.host.startsWith('[') && url.host.endsWith(']'))
        url.host = url.host.mid(1, url.host.size() - 2);
}

// "host...": authority up to the first "/", "?" or "#", then the path.
HttpUrl parseHostAndPath(const QString& rest, const QString& scheme) {
    HttpUrl url;
    url.scheme = scheme;
    url.port = DefaultPortOf(scheme);
    int end = rest.size();
    for (const QChar stop : {QChar('/'), QChar('?'), QChar('#')}) {
        const int at = rest.indexOf(stop);
        if (at >= 0 && at < end)
            end = at;
    }
    parseAuthority(rest.left(end), url);
    QString path = withoutFragment(rest.mid(end));
    if (!path.startsWith('/'))
        path.prepend('/');
    url.path = removeDotSegments(path);
    return url;
}

HttpUrl onBase(const HttpUrl& base, const QString& path) {
    HttpUrl url = base;
    url.hasUserInfo = false; // a relative URL brings no credentials of its own
    url.path = removeDotSegments(withoutFragment(path));
    return url;
}

QString folderOf(const QString& path) {
    const int query = path.indexOf('?');
    const QString plain = query < 0 ? path : path.left(query);
    return plain.left(plain.lastIndexOf('/') + 1);
}

} // namespace

bool IsHttpScheme(const QString& scheme) {
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

QString DefaultPortOf(const QString& scheme) {
    return scheme == QLatin1String("https") ? QStringLiteral("443") : QStringLiteral("80");
}

HttpUrl ParseHttpUrl(const QString& text, const HttpUrl& base) {
    const QString url = text.trimmed();
    const int separator = url.indexOf(QLatin1String("://"));
    if (separator >= 0)
        return parseHostAndPath(url.mid(separator + 3), url.left(separator).toLower());
    if (url.startsWith(QLatin1String("http:"), Qt::CaseInsensitive)) {
        const QString rest = url.mid(5);
        if (rest.startsWith('/'))
            return onBase(base, rest);
        return onBase(base, folderOf(base.path) + rest);
    }
    if (url.startsWith('/'))
        return onBase(base, url);
    return parseHostAndPath(url, QStringLiteral("http"));
}

HttpUrl ResolveLocation(const QString& location, const HttpUrl& current) {
    const QString value = location.trimmed();
    if (value.contains(QLatin1String("://")))
        return ParseHttpUrl(value, current);
    if (value.startsWith(QLatin1String("//")))
        return parseHostAndPath(value.mid(2), current.scheme);
    if (value.startsWith('/'))
        return onBase(current, value);
    if (value.startsWith(QLatin1String("http:"), Qt::CaseInsensitive))
        return ParseHttpUrl(value, current);
    if (value.startsWith('?')) {
        const int query = current.path.indexOf('?');
        return onBase(current, (query < 0 ? current.path : current.path.left(query)) + value);
    }
    return onBase(current, folderOf(current.path) + value);
}

QString DocumentNameOf(const QString& path) {
    QString name = path;
    if (name.endsWith('/'))
        name.chop(1);
    name = name.mid(name.lastIndexOf('/') + 1);
    const int query = name.indexOf('?');
    if (query >= 0)
        name.truncate(query);
    return name.isEmpty() ? QStringLiteral("document.htm") : name;
}

QByteArray EncodeRequestPath(const QString& path) {
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray utf8 = path.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f) {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}
