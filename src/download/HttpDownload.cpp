// The HTTP side of the download dialog: it starts the download engine on an http URL and
// shows what the engine reports (header lines, redirects, the body's progress).

#include "download/TfrmAsker.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>

#include "library/DownloadEngine.h"
#include "library/DownloadPaths.h"
#include "net/HttpCli.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/MessageLoop.h"

void TfrmAsker::wireHttp() {
    Http->NoCache = false;
    Http->MultiThreaded = true;
    engine_->OnHeaderLine = [this](const QString& line) { HttpHeaderData(line); };
    engine_->OnRedirect = [this] { HttpLocationChange(); };
    engine_->OnDocBegin = [this] { HttpDocBegin(); };
    engine_->OnDocData = [this](qint64 len) {
        if (engine_->isFtp())
            ftpProgress(engine_->resumeOffset() + engine_->received());
        else
            HttpDocData(len);
    };
    engine_->OnDocEnd = [this] {
        if (!engine_->isFtp())
            HttpDocEnd();
    };
    engine_->OnNote = [this](const QString& line) { log(line); };
    engine_->OnAsk = [this](download::Question question) { return askReplace(question); };
}

void TfrmAsker::GetHTTP() {
    HandlerScope scope(*this);
    QPointer<TfrmAsker> self(this);
    try {
        setMainButton(true);
        Http->URL = DownloadURL;
        platform::processMessages();
        if (!self)
            return;
        PageControl1->setCursor(Qt::BusyCursor);
        pnlPacketSize->show();
        PerformHttpDownload();
        if (!self)
            return;
        PageControl1->unsetCursor();
        platform::processMessages();
        if (!self)
            return;
        // "Auto-Exit when complete": only a complete file closes the dialog.
        if (cbClose->isChecked() && !cancelled_ && completionRun_ && !isDownloading() &&
            isVisible())
            Button2->click();
    } catch (const std::exception& e) {
        // A refused record write, say: the user sees it and the dialog is idle again.
        if (self)
            handlerFailed(e);
    }
}

void TfrmAsker::PerformHttpDownload() {
    download::DownloadJob job;
    job.url = DownloadURL;
    // A redirect of the probe starts the download over at the new URL, after a second.
    job.stopAfterProbeRedirect = true;
    runEngine(job);
}

void TfrmAsker::HttpHeaderData(const QString& line) {
    log(line);
}

void TfrmAsker::HttpLocationChange() {
    const QString url = engine_->url();
    log(QStringLiteral("Quillbay is redirecting to: ") + url);
    DownloadURL = url;
    if (download::protocolOf(url) == QLatin1String("ftp")) {
        Protocol = QStringLiteral("ftp");
        const download::UrlParts parts = download::splitUrlDirectory(url);
        URLDirectory = parts.directory;
        FileName = parts.fileName;
    }
    // The source follows the download; it is no edit of the user's.
    edtSource->setEditText(url);
    filledSource_ = url;
    try {
        SaveDownloadInfo();
    } catch (const std::exception& e) {
        handlerFailed(e);
    }
}

void TfrmAsker::tmrRedirectTimer() {
    if (Http->State() != httpReady)
        return;
    tmrRedirect->stop();
    // Abort or a close may have come first.
    if (!isDownloading() || !isVisible())
        return;
    Http->URL = DownloadURL;
    GetHTTP();
}

void TfrmAsker::tmrDLSpeedTimer() {
    engine_->stats().tick(platform::tickCount());
    showStatistics();
}

void TfrmAsker::HttpDocBegin() {
    showStatistics();
}

void TfrmAsker::HttpDocData(qint64 /*len*/) {
    showStatisticsNowAndThen();
}

void TfrmAsker::HttpDocEnd() {
    log(QStringLiteral("Quillbay:  End Download"));
}
