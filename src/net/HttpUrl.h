#pragma once

#include <QString>

// The parts of an http URL the client needs.
struct HttpUrl {
    QString scheme = QStringLiteral("http");
    QString user;
    QString password;
    bool hasUserInfo = false;
    QString host;
    QString port = QStringLiteral("80");
    // Starts with "/"; keeps its query, drops any fragment.
    QString path = QStringLiteral("/");
};

// "http" and "https", the schemes the client fetches itself.
bool IsHttpScheme(const QString& scheme);
// A scheme's port when the URL names none: "443" for https, "80" otherwise.
QString DefaultPortOf(const QString& scheme);

// Parses the URL given to the client. Forms: "scheme://[user[:password]@]host[:port][/path]";
// "host[:port]/path" without a scheme (http assumed); and the relative forms
// "/path", "http:/path" and "http:path", which keep `base`'s scheme, host and port.
HttpUrl ParseHttpUrl(const QString& url, const HttpUrl& base = HttpUrl());

// The target of a Location value seen while fetching `current`: an absolute URL
// replaces scheme, host, port and path; "/path" replaces the path; any other
// text is relative to the current path's folder.
HttpUrl ResolveLocation(const QString& location, const HttpUrl& current);

// The file name part of a path: a trailing "/" removed, the text after the last
// "/", cut before any "?"; "document.htm" when that leaves nothing.
QString DocumentNameOf(const QString& path);

// The path as it goes on the request line: blanks, control characters and
// non-ASCII characters percent-encoded (UTF-8), everything else kept.
QByteArray EncodeRequestPath(const QString& path);
