#pragma once

#include <QString>

#include <functional>
#include <optional>

// Progress of a download: bytes of the local file so far (a resumed part
// included) and the size the server announced, -1 when it announced none.
using ProgressSink = std::function<void(qint64 done, qint64 total)>;

// The parts of an ftp:// URL, percent escapes decoded.
struct FtpUrl {
    QString user;
    QString password;
    QString host;
    QString port;
    // With its leading and trailing "/": "/pub/" or "/".
    QString directory;
    QString file;
};

// Splits "ftp://[user[:password]@]host[:port]/dir/file"; nothing, with
// `error` set, when the text is not such a URL or names no file.
std::optional<FtpUrl> parseFtpUrl(const QString& url, QString* error);

// Downloads an ftp:// URL into `file` the way the download dialog drives the
// FTP client: anonymous login (or the URL's user), CWD, TYPE I, passive mode,
// REST when resuming a partial file, RETR, QUIT. Prints the reason of a
// failure on stderr and returns the process exit code: 0 when the whole file
// arrived, 1 otherwise. Needs a Qt application object.
// `timeout`: seconds without a reply or data before the download fails; 0 = never.
int ftpGet(const QString& url, const QString& file, bool resume, const ProgressSink& progress,
           int timeout = 300);
