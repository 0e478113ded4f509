#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// What goes into one request header.
struct HttpRequestHeaderFields {
    QString method;    // "GET", "HEAD", "POST"
    QByteArray target; // path, or the whole URL through a proxy
    QString version = QStringLiteral("1.0");
    QString sender;
    QString reference;
    QString contentTypePost; // POST only
    QString agent;
    QString host;
    bool noCache = false;
    qint64 postLength = -1; // POST only
    QDateTime modifiedSince;
    QString username;
    QString password;
    bool viaProxy = false;
    QString proxyUsername;
    QString proxyPassword;
    QString cookie;
    QString rangeBegin;
    QString rangeEnd;
};

// The header lines in the order servers have always seen from this program,
// without line ends and without the empty line that closes the header.
QList<QByteArray> BuildRequestHeaderLines(const HttpRequestHeaderFields& fields);

// "Sun, 06 Nov 1994 08:49:37" in UTC (the caller appends " GMT").
QString Rfc1123Date(const QDateTime& when);
