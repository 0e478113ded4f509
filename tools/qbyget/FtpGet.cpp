#include "FtpGet.h"

#include "net/FtpCli.h"
#include "net/FtpReply.h"
#include "net/FtpUrl.h"

#include <QFileInfo>
#include <QUrl>

#include <cstdio>

namespace {

QString decoded(const QString& text) {
    return QUrl::fromPercentEncoding(text.toUtf8());
}

int failure(const QString& message) {
    std::fprintf(stderr, "qbyget: %s\n", qPrintable(message));
    return 1;
}

} // namespace

std::optional<FtpUrl> parseFtpUrl(const QString& url, QString* error) {
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (!url.startsWith(QLatin1String("ftp://"), Qt::CaseInsensitive))
        return fail(QStringLiteral("not an ftp:// URL: %1").arg(url));
    const std::optional<ftp::ServerLocation> server = ftp::parseServerLocation(url);
    if (!server)
        return fail(QStringLiteral("bad host or port in URL: %1").arg(url));
    QString path = server->rawPath;
    // A ";type=i" suffix only repeats what the download does anyway.
    const int type = path.lastIndexOf(QLatin1String(";type="), -1, Qt::CaseInsensitive);
    if (type >= 0)
        path.truncate(type);

    FtpUrl parts;
    parts.user = server->user;
    parts.password = server->password;
    parts.host = server->host;
    parts.port = server->port;
    const int last = path.lastIndexOf(QLatin1Char('/'));
    parts.directory = decoded(path.left(last + 1));
    parts.file = decoded(path.mid(last + 1));
    if (last < 0 || parts.file.isEmpty())
        return fail(QStringLiteral("the URL names no file: %1").arg(url));
    return parts;
}

int ftpGet(const QString& url, const QString& file, bool resume, const ProgressSink& progress,
           int timeout) {
    QString error;
    const std::optional<FtpUrl> parts = parseFtpUrl(url, &error);
    if (!parts)
        return failure(error);

    TFtpClient ftp;
    ftp.Timeout = timeout;
    ftp.HostName = parts->host;
    ftp.Port = parts->port;
    ftp.UserName = parts->user.isEmpty() ? QStringLiteral("anonymous") : parts->user;
    ftp.PassWord = parts->user.isEmpty() || parts->password.isEmpty()
                       ? QStringLiteral("qbyget@localhost")
                       : parts->password;
    ftp.HostDirName = parts->directory;
    ftp.HostFileName = parts->file;
    ftp.LocalFileName = file;
    ftp.ShareMode = ftpShareDenyNone;
    qint64 total = -1;
    ftp.OnDisplay = [&total](TFtpClient&, const QString& msg) {
        if (msg.startsWith(QLatin1String("< 150")))
            total = ftp::announcedSize(msg);
    };
    ftp.OnProgress = [&](TFtpClient&, qint64 count, bool&) {
        if (progress)
            progress(count, total);
    };
    const auto refused = [&ftp] {
        const QString reply = ftp.ErrorMessage().isEmpty() ? ftp.LastReply() : ftp.ErrorMessage();
        return failure(reply);
    };
    try {
        if (!ftp.Login() || !ftp.ChangeDir())
            return refused();
        ftp.Binary = true;
        if (!ftp.SetType())
            return refused();
        ftp.Passive = true;
        if (!(resume ? ftp.ResumeRetrieve() : ftp.Retrieve())) {
            if (resume && (ftp.StatusCode() == 502 || ftp.StatusCode() == 504))
                return failure(QStringLiteral("the server does not permit resuming (%1); "
                                              "download without --resume to start over")
                                   .arg(ftp.LastReply()));
            return refused();
        }
    } catch (const FtpException& e) {
        return failure(e.Message());
    }
    try {
        ftp.Quit();
    } catch (const FtpException&) {
        // The file is here; a server that hung up first changes nothing.
    }
    ftp.Abort();
    const qint64 size = QFileInfo(file).size();
    if (total >= 0 && size != total)
        return failure(QStringLiteral("incomplete download: %1 of %2 bytes").arg(size).arg(total));
    return 0;
}
