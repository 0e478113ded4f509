// The HTTP side of the download dialog: probe, resume or re-download, redirects, and the
// body streamed into the library folder.

#include "download/TfrmAsker.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>

#include "download/DownloadPaths.h"
#include "download/HeaderLines.h"
#include "net/HttpCli.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/MessageLoop.h"
#include "widgets/TActivityBar.h"

namespace {

QString responseText(const EHttpException& e) {
    return QStringLiteral("%1 %2").arg(e.ErrorCode).arg(e.Message());
}

} // namespace

void TfrmAsker::wireHttp() {
    Http->NoCache = false;
    Http->MultiThreaded = true;
    // A server that falls silent ends the transfer instead of holding the dialog.
    Http->Timeout = 30;
    Http->OnHeaderData = [this](THttpCli&) { HttpHeaderData(); };
    Http->OnDocBegin = [this](THttpCli&) { HttpDocBegin(); };
    Http->OnDocData = [this](THttpCli&, const char* buffer, qint64 len) {
        HttpDocData(buffer, len);
    };
    Http->OnDocEnd = [this](THttpCli&) { HttpDocEnd(); };
    Http->OnLocationChange = [this](THttpCli&) { HttpLocationChange(); };
    // The client's own notes (a length that is no number, a broken connection) go to the log.
    Http->OnTrace = [this](THttpCli&, const QString& text) { log(text); };
}

void TfrmAsker::GetHTTP() {
    HandlerScope scope(*this);
    QPointer<TfrmAsker> self(this);
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
    if (cbClose->isChecked() && !cancelled_ && completionRun_ && !isDownloading() && isVisible())
        Button2->click();
}

void TfrmAsker::PerformHttpDownload() {
    QPointer<TfrmAsker> self(this);
    cancelled_ = false;
    // A new attempt: an abort of an earlier one does not keep this one from opening its file.
    failed_ = false;
    redirected_ = false;
    redirectedToFtp_ = false;
    completionRun_ = false;
    documentEnded_ = false;
    // Only this probe's answer says how long the file is.
    expectedSize_.reset();
    probing_ = true;
    try {
        Http->Head();
    } catch (const EHttpException& e) {
        if (!self)
            return;
        probing_ = false;
        log(QStringLiteral("Failed : ") + responseText(e));
        bringToFront();
        platform::showMessage(QStringLiteral("Download Failed\r\rServer Response : %1 \"%2\"")
                                  .arg(e.ErrorCode)
                                  .arg(e.Message()));
        AbortDownload();
        return;
    }
    if (!self)
        return;
    probing_ = false;
    if (redirectedToFtp_) {
        // The HTTP client leaves an ftp Location to us; its request has ended by now.
        GetFTP(true);
        return;
    }
    if (redirected_) {
        if (!tmrRedirect->isActive()) {
            failTransfer(QStringLiteral("The server redirects to %1, which Quillbay cannot "
                                        "download.")
                             .arg(DownloadURL));
            return;
        }
        // The redirect timer starts the download again at the new URL.
        cancelled_ = true;
        return;
    }
    if (cancelled_)
        return;
    const QString path = targetPath();
    if (path.isEmpty()) {
        failTransfer(QStringLiteral("The section \"%1\" has no folder on disk to put the file in.")
                         .arg(cbSection->currentText()));
        return;
    }
    if (!openTarget(path))
        return;
    runGet();
}

bool TfrmAsker::openTarget(const QString& path) {
    QPointer<TfrmAsker> self(this);
    cancelled_ = false;
    auto file = std::make_unique<QFile>(path);
    const bool existed = file->exists();
    if (!file->open(QIODevice::ReadWrite)) {
        failTransfer(
            QStringLiteral("The file %1 cannot be written: %2").arg(path, file->errorString()));
        return false;
    }
    resumeOffset_ = existed ? file->size() : 0;
    if (resumeOffset_ != 0) {
        if (expectedSize_ && resumeOffset_ >= *expectedSize_) {
            const int answer = platform::messageBox(
                QStringLiteral("Complete file exists already, would you like to re-download?"),
                QStringLiteral("File Exists"),
                platform::MB_YESNO | platform::MB_ICONQUESTION | platform::MB_DEFBUTTON2);
            if (!self)
                return false;
            if (answer != platform::IDYES) {
                file.reset();
                AbortDownload();
                EndDownload();
                return false;
            }
            resumeOffset_ = 0;
            file->resize(0);
        }
        log(QStringLiteral("Quillbay:  Starting download at byte %1").arg(resumeOffset_));
        Http->ContentRangeBegin = QString::number(resumeOffset_);
        Http->ContentRangeEnd.clear();
    }
    stream_ = std::move(file);
    return true;
}

void TfrmAsker::runGet() {
    QPointer<TfrmAsker> self(this);
    const QString path = stream_->fileName();
    stream_->seek(stream_->size());
    stats_.start(platform::tickCount());
    // With a range the answer's own length is what remains; the probe's was the whole file.
    if (resumeOffset_ > 0)
        expectedSize_.reset();
    tmrDLSpeed->start();
    gActive->start();
    transferRunning_ = true;
    showStatistics();
    bool answered = false;
    try {
        Http->Get();
        answered = true;
    } catch (const EHttpException& e) {
        if (self)
            log(QStringLiteral("Failed : ") + responseText(e));
    } catch (...) {
    }
    if (!self)
        return;
    if (isVisible())
        PageControl1->setCursor(Qt::BusyCursor);
    tmrDLSpeed->stop();
    transferRunning_ = false;
    // An answer without a body (an empty file) still ends the document.
    if (answered && !documentEnded_ && !cancelled_ && stream_) {
        HttpDocBegin();
        HttpDocEnd();
        if (!self)
            return;
    }
    if (!answered) {
        // Nothing runs any more; the dialog waits for Abort.
        gActive->stop();
        showStatistics();
    }
    closeStream();
    platform::processMessages();
    if (!self)
        return;
    openWhenDone(path);
}

void TfrmAsker::closeStream() {
    Http->ReceiveStream = nullptr;
    if (stream_) {
        stream_->close();
        stream_.reset();
    }
}

void TfrmAsker::failTransfer(const QString& reason) {
    QPointer<TfrmAsker> self(this);
    log(QStringLiteral("Failed : ") + reason);
    bringToFront();
    platform::showMessage(QStringLiteral("Download Failed\r\r") + reason);
    if (self)
        AbortDownload();
}

void TfrmAsker::HttpHeaderData() {
    const QString line = Http->CurrentLine();
    log(line);
    const std::optional<download::HeaderField> field = download::headerField(line);
    if (!field)
        return;
    if (field->is("Location")) {
        redirected_ = true;
        const QString url = download::redirectTarget(field->value, DownloadURL);
        DownloadURL = url;
        log(QStringLiteral("Quillbay is redirecting to: ") + url);
        if (download::protocolOf(url) == QLatin1String("ftp")) {
            Protocol = QStringLiteral("ftp");
            const download::UrlParts parts = download::splitUrlDirectory(url);
            URLDirectory = parts.directory;
            FileName = parts.fileName;
            edtSource->setEditText(URLDirectory + FileName);
            SaveDownloadInfo();
            redirectedToFtp_ = true;
        }
    } else if (field->is("Content-Length")) {
        // A length that is no number leaves the size unknown (the client logs why).
        expectedSize_ = download::parseContentLength(field->value);
    }
}

void TfrmAsker::HttpLocationChange() {
    edtSource->setEditText(DownloadURL);
    SaveDownloadInfo();
    // A redirect of the probe starts the download again at the new URL; the GET follows its
    // own redirects and needs no second start.
    if (probing_)
        tmrRedirect->start();
}

void TfrmAsker::tmrRedirectTimer() {
    if (Http->State() != httpReady)
        return;
    tmrRedirect->stop();
    Http->URL = DownloadURL;
    GetHTTP();
}

void TfrmAsker::tmrDLSpeedTimer() {
    stats_.tick(platform::tickCount());
    showStatistics();
}

void TfrmAsker::HttpDocBegin() {
    if (resumeOffset_ > 0 && Http->StatusCode() == 200 && stream_) {
        // The server ignored the range and sends the whole file: write it from the start,
        // or the part on disk would be followed by a second copy of its beginning.
        log(QStringLiteral("Quillbay:  The server sends the whole file; downloading it from "
                           "the start"));
        stream_->resize(0);
        stream_->seek(0);
        resumeOffset_ = 0;
    }
    stats_.documentBegin(expectedSize_, resumeOffset_);
    showStatistics();
}

void TfrmAsker::HttpDocData(const char* buffer, qint64 len) {
    if (!stream_ || len <= 0)
        return;
    // Written here, before the completion can look at the file.
    if (stream_->write(buffer, len) != len) {
        failTransfer(QStringLiteral("The file %1 cannot be written: %2")
                         .arg(stream_->fileName(), stream_->errorString()));
        return;
    }
    const bool complete = stats_.addChunk(len);
    showStatistics();
    if (complete && !completionRun_ && !cancelled_) {
        completionRun_ = true;
        HttpDone();
    }
}

void TfrmAsker::HttpDocEnd() {
    QPointer<TfrmAsker> self(this);
    documentEnded_ = true;
    transferRunning_ = false;
    if (!cancelled_ && !completionRun_) {
        if (!stats_.sizeKnown() || stats_.value() >= stats_.maximum()) {
            // Without an announced size the file is complete when the server ends it.
            stats_.end();
            completionRun_ = true;
            HttpDone();
            if (!self)
                return;
        } else {
            log(QStringLiteral("Quillbay:  The connection ended after %1 of %2 bytes; press "
                               "Download to resume")
                    .arg(stats_.value())
                    .arg(stats_.maximum()));
        }
    }
    redirected_ = false;
    log(QStringLiteral("Quillbay:  End Download"));
    platform::processMessages();
    if (self)
        EndDownload();
}
