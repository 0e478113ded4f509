#include "library/HeaderLines.h"

#include "net/HttpUrl.h"

namespace download {

namespace {

QString urlText(const HttpUrl& url) {
    const QString host = url.host.contains(':') ? '[' + url.host + ']' : url.host;
    const bool defaultPort = url.port == DefaultPortOf(url.scheme);
    return url.scheme + QLatin1String("://") + host + (defaultPort ? QString() : ':' + url.port) +
           url.path;
}

} // namespace

bool HeaderField::is(const char* field) const {
    return name.compare(QLatin1String(field), Qt::CaseInsensitive) == 0;
}

std::optional<HeaderField> headerField(const QString& line) {
    const int colon = line.indexOf(':');
    if (colon <= 0)
        return std::nullopt;
    const QString name = line.left(colon);
    for (const QChar c : name) {
        if (c.isSpace() || c.unicode() < 0x21 || c.unicode() > 0x7e)
            return std::nullopt;
    }
    return HeaderField{name, line.mid(colon + 1).trimmed()};
}

std::optional<qint64> parseContentLength(const QString& value) {
    // 18 digits stay well inside 64 bits; a longer "length" is not one.
    if (value.isEmpty() || value.size() > 18)
        return std::nullopt;
    for (const QChar c : value) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    return value.toLongLong();
}

QString redirectTarget(const QString& location, const QString& currentUrl) {
    const QString value = location.trimmed();
    if (value.contains(QLatin1String("://")))
        return value;
    return urlText(ResolveLocation(value, ParseHttpUrl(currentUrl)));
}

} // namespace download
