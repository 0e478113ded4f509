#pragma once

#include <QString>

#include <optional>

// Where a download goes on disk and what a URL names: widget-free rules of the download
// dialog, so that they are tested without a display.
namespace download {

// Why `name` cannot be the name of a downloaded file, or an empty text when it can. A
// name stays inside its folder: no "/", no control character, not "." or "..". Blank
// names are the caller's own check (they have a message of their own).
QString fileNameProblem(const QString& name);

// The file a download writes: the section's directory, the folder's directory in it and
// the name. Empty when the section has no absolute location to put it under.
QString downloadTargetPath(const QString& sectionLocation, const QString& folder,
                           const QString& name);

// A URL split at its last "/": the directory part (scheme, host and path up to and
// including that "/") and the file name after it.
struct UrlParts {
    QString directory;
    QString fileName;
};
UrlParts splitUrlDirectory(const QString& url);

// "http" or "ftp" (lower case) for a URL of that scheme; a URL without a scheme is an
// http URL, as the HTTP client takes it.
QString protocolOf(const QString& url);

// Where an FTP download goes: the server, its port and the directory of the file, read
// from the URL directory ("ftp://" + host + path + "/"). A port, user and password in
// the URL are used; without them the port is 21 and the login anonymous.
struct FtpLocation {
    QString host;
    QString port = QStringLiteral("21");
    QString directory = QStringLiteral("/");
    QString user;
    QString password;
};
// Empty when the text names no server.
std::optional<FtpLocation> ftpLocation(const QString& urlDirectory);

} // namespace download
