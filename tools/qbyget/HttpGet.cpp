// The http:// download: a HEAD probe for the size, then a GET that continues
// a partial file with a byte range, written through the client's receive stream.
#include "Download.h"
#include "ProgressBar.h"
#include "net/HttpCli.h"

#include <QFile>
#include <QFileInfo>

int runHttpGet(const DownloadRequest& request, ProgressBar& progress) {
    THttpCli http;
    http.URL = request.url;
    http.MultiThreaded = true;
    http.Timeout = request.timeout;
    // Messages name the hop they are about, once a redirect has been followed.
    QString hop;
    http.OnLocationChange = [&](THttpCli& h) { hop = h.Location; };
    const auto failure = [&](const EHttpException& e) {
        const QString text = QStringLiteral("%1 %2").arg(e.ErrorCode).arg(e.Message());
        return hop.isEmpty() ? text : text + QStringLiteral(" (after a redirect to %1)").arg(hop);
    };

    qint64 expected = -1;
    try {
        http.Head();
        expected = http.ContentLength();
    } catch (const EHttpException& e) {
        // A server that refuses HEAD still gets its GET; other failures end here.
        if (e.ErrorCode != 405 && e.ErrorCode != 501) {
            printError(failure(e));
            return ExitFailed;
        }
    }
    if (http.StatusCode() >= 300 && http.StatusCode() < 400 && !http.Location.isEmpty()) {
        printError(QStringLiteral("redirected to %1, which is not an http URL").arg(http.Location));
        return ExitFailed;
    }

    QFile file(request.file);
    qint64 offset = 0;
    if (request.resume && QFileInfo(request.file).isFile())
        offset = QFileInfo(request.file).size();
    if (offset > 0 && expected >= 0 && offset >= expected) {
        if (offset == expected) {
            std::fprintf(stderr, "qbyget: %s is complete already (%lld bytes)\n",
                         request.file.toLocal8Bit().constData(), offset);
            return ExitOk;
        }
        printError(QStringLiteral("%1 is larger (%2 bytes) than the file on the server (%3 bytes)")
                       .arg(request.file)
                       .arg(offset)
                       .arg(expected));
        return ExitFailed;
    }
    const QIODevice::OpenMode mode =
        offset > 0 ? QIODevice::ReadWrite : QIODevice::WriteOnly | QIODevice::Truncate;
    if (!file.open(mode) || !file.seek(offset)) {
        printError(QStringLiteral("cannot write %1: %2").arg(request.file, file.errorString()));
        return ExitFailed;
    }
    if (offset > 0)
        http.ContentRangeBegin = QString::number(offset);

    QString problem;
    http.OnHeaderEnd = [&](THttpCli& h) {
        if (offset > 0 && h.StatusCode() == 200) {
            // The server ignored the range and sends the whole file: start over
            // rather than append it behind the bytes already there.
            std::fprintf(stderr,
                         "qbyget: the server ignored the range; downloading from the start\n");
            offset = 0;
            if (!file.resize(0) || !file.seek(0)) {
                problem =
                    QStringLiteral("cannot write %1: %2").arg(request.file, file.errorString());
                h.Abort();
                return;
            }
        } else if (offset > 0 && h.StatusCode() == 206 &&
                   h.ReceivedRangeBegin() != QString::number(offset)) {
            problem = QStringLiteral("the server sent bytes from %1 instead of %2")
                          .arg(h.ReceivedRangeBegin())
                          .arg(offset);
            h.Abort();
            return;
        }
        h.ReceiveStream = &file;
    };
    qint64 total = -1;
    http.OnDocBegin = [&](THttpCli& h) {
        total = h.ContentLength() >= 0 ? offset + h.ContentLength() : -1;
        progress.begin(offset, total);
    };
    http.OnDocData = [&](THttpCli& h, const char*, qint64) {
        progress.update(offset + h.ReceivedCount());
    };

    hop.clear();
    try {
        http.Get();
    } catch (const EHttpException& e) {
        progress.finish();
        const qint64 received = offset + http.ReceivedCount();
        if (problem.isEmpty() && total >= 0 && received < total && http.ReceivedCount() > 0)
            problem = QStringLiteral("the connection ended after %1 of %2 bytes; run again with "
                                     "--resume to continue")
                          .arg(received)
                          .arg(total);
        printError(problem.isEmpty() ? failure(e) : problem);
        return ExitFailed;
    }
    progress.finish();
    http.ReceiveStream = nullptr;
    if (!file.flush()) {
        printError(QStringLiteral("cannot write %1: %2").arg(request.file, file.errorString()));
        return ExitFailed;
    }
    file.close();
    if (http.StatusCode() >= 300 && http.StatusCode() < 400) {
        printError(QStringLiteral("redirected to %1, which is not an http URL").arg(http.Location));
        return ExitFailed;
    }
    const qint64 received = offset + http.ReceivedCount();
    if (total >= 0 && received != total) {
        printError(
            QStringLiteral(
                "the connection ended after %1 of %2 bytes; run again with --resume to continue")
                .arg(received)
                .arg(total));
        return ExitFailed;
    }
    return ExitOk;
}
