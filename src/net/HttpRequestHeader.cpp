#include "HttpRequestHeader.h"

#include <QLocale>
#include <QTimeZone>

namespace {

QByteArray basicCredentials(const QString& user, const QString& password) {
    return (user + QLatin1Char(':') + password).toUtf8().toBase64();
}

} // namespace

QString Rfc1123Date(const QDateTime& when) {
    return QLocale::c().toString(when.toUTC(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss"));
}

QList<QByteArray> BuildRequestHeaderLines(const HttpRequestHeaderFields& f) {
    const bool post = f.method == QLatin1String("POST");
    QList<QByteArray> lines;
    lines << f.method.toLatin1() + ' ' + f.target + " HTTP/" + f.version.toLatin1();
    if (!f.sender.isEmpty())
        lines << "From: " + f.sender.toUtf8();
    if (!f.reference.isEmpty())
        lines << "Referer: " + f.reference.toUtf8();
    if (post && !f.contentTypePost.isEmpty())
        lines << "Content-Type: " + f.contentTypePost.toUtf8();
    if (!f.agent.isEmpty())
        lines << "User-Agent: " + f.agent.toUtf8();
    lines << "Host: " + f.host.toUtf8();
    if (f.noCache)
        lines << "Pragma: no-cache";
    if (post)
        lines << "Content-Length: " + QByteArray::number(qMax<qint64>(f.postLength, 0));
    if (f.modifiedSince.isValid())
        lines << "If-Modified-Since: " + Rfc1123Date(f.modifiedSince).toLatin1() + " GMT";
    if (!f.username.isEmpty())
        lines << "Authorization: Basic " + basicCredentials(f.username, f.password);
    if (f.viaProxy && !f.proxyUsername.isEmpty())
        lines << "Proxy-Authorization: Basic " + basicCredentials(f.proxyUsername, f.proxyPassword);
    if (!f.cookie.isEmpty())
        lines << "Cookie: " + f.cookie.toUtf8();
    if (!f.rangeBegin.isEmpty() || !f.rangeEnd.isEmpty())
        lines << "Range: bytes=" + f.rangeBegin.toLatin1() + '-' + f.rangeEnd.toLatin1();
    // A header value never carries a line break into the request.
    for (QByteArray& line : lines) {
        line.replace('\r', ' ');
        line.replace('\n', ' ');
    }
    return lines;
}
