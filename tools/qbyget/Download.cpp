// qbyget's download: the engine decides resume, range and completeness exactly as it does
// for the download dialog; this file only words its results for a terminal.
#include "Download.h"
#include "ProgressBar.h"

#include "library/DownloadEngine.h"
#include "net/FtpCli.h"
#include "net/HttpCli.h"

#include <QFileInfo>

using download::DownloadEngine;
using download::EngineState;
using download::FailedStep;

namespace {

// The engine's log lines start with "Failed : "; the tool's own prefix replaces it.
QString withoutPrefix(QString line) {
    const QString prefix = QStringLiteral("Failed : ");
    if (line.startsWith(prefix))
        line.remove(0, prefix.size());
    return line;
}

} // namespace

int runDownload(const DownloadRequest& request, ProgressBar& progress) {
    THttpCli http;
    http.MultiThreaded = true;
    TFtpClient ftp;
    DownloadEngine engine(http, ftp);
    bool completeAlready = false;
    engine.OnAsk = [&](download::Question question) {
        // Without a terminal to ask, a complete file stays as it is and a refused restart
        // point is reported.
        completeAlready = question == download::Question::CompleteExists;
        return false;
    };
    engine.OnNote = [](const QString& line) {
        if (line.contains(QLatin1String("ignored the range")))
            printError(QStringLiteral("the server ignored the range; downloading from the start "
                                      "into a new file beside the old one"));
    };
    engine.OnDocBegin = [&] { progress.begin(engine.resumeOffset(), engine.expectedTotal()); };
    engine.OnDocData = [&](qint64) { progress.update(engine.resumeOffset() + engine.received()); };

    download::DownloadJob job;
    job.url = request.url;
    job.target = request.file;
    job.timeout = request.timeout;
    job.caFile = request.caFile;
    job.ftpPassword = QStringLiteral("qbyget@localhost");
    job.existing =
        request.resume ? download::ExistingFile::Resume : download::ExistingFile::Replace;
    const EngineState state = engine.run(job);
    progress.finish();
    switch (state) {
    case EngineState::Complete:
        return ExitOk;
    case EngineState::Declined:
        if (completeAlready) {
            printError(QStringLiteral("%1 is complete already (%2 bytes)")
                           .arg(request.file)
                           .arg(QFileInfo(request.file).size()));
            return ExitOk;
        }
        printError(QStringLiteral("the server does not permit resuming; download without "
                                  "--resume to start over"));
        return ExitFailed;
    case EngineState::Failed:
        break;
    default:
        printError(QStringLiteral("the download stopped"));
        return ExitFailed;
    }
    const QString failure = withoutPrefix(engine.failure());
    if (engine.failedStep() == FailedStep::Transfer && engine.expectedTotal() >= 0 &&
        failure.startsWith(QLatin1String("the connection ended after"))) {
        printError(QStringLiteral("the connection ended after %1 of %2 bytes; run again with "
                                  "--resume to continue")
                       .arg(engine.resumeOffset() + engine.received())
                       .arg(engine.expectedTotal()));
        return ExitFailed;
    }
    // After a redirect the message names the hop that failed, not the URL that was asked for.
    const QString hop = engine.url() != request.url
                            ? QStringLiteral(" (after a redirect to %1)").arg(engine.url())
                            : QString();
    if (engine.failedStep() == FailedStep::Ftp && !engine.failureReason().isEmpty()) {
        printError(engine.failureReason() + hop);
        return ExitFailed;
    }
    printError(failure + hop);
    return ExitFailed;
}
