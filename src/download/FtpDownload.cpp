// The FTP side of the download dialog: anonymous login, the file's directory, a binary
// passive transfer that resumes a partial local file, and the restart when the server
// cannot resume.

#include "download/TfrmAsker.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>

#include "download/DownloadPaths.h"
#include "net/FtpCli.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/MessageLoop.h"
#include "widgets/TActivityBar.h"

namespace {

// The anonymous-FTP convention: an e-mail address as the password.
const QString kAnonymousPassword = QStringLiteral("quillbay@localhost");
constexpr int kFtpTimeoutSeconds = 30;
// Time the server gets to see the connection go before an auto-exit closes the dialog.
constexpr int kQuitGraceMs = 500;

bool isRetrieve(int request) {
    return request == ftpRetrieveAsync || request == ftpResumeRetrieveAsync;
}

} // namespace

void TfrmAsker::wireFtp() {
    ftp->Timeout = kFtpTimeoutSeconds;
    ftp->MultiThreaded = true;
    ftp->Port = QStringLiteral("21");
    ftp->UserName = QStringLiteral("anonymous");
    ftp->PassWord = kAnonymousPassword;
    ftp->DisplayFlag = false;
    ftp->DisplayFileFlag = false;
    ftp->Binary = false;
    ftp->ShareMode = ftpShareDenyNone;
    ftp->Passive = true;
    ftp->OnDisplay = [this](TFtpClient&, const QString& msg) { ftpDisplay(msg); };
    ftp->OnProgress = [this](TFtpClient&, qint64 count, bool&) { ftpProgress(count); };
    ftp->OnRequestDone = [this](TFtpClient&, TFtpRequest request, int error) {
        ftpRequestDone(request, error);
    };
}

void TfrmAsker::unwireFtp() {
    ftp->OnDisplay = nullptr;
    ftp->OnProgress = nullptr;
    ftp->OnRequestDone = nullptr;
}

bool TfrmAsker::waitForFtpReady() {
    return platform::waitUntil(this, [this] { return ftp->State() == ftpReady; }) ==
           platform::WaitResult::Done;
}

bool TfrmAsker::pumpFor(int ms) {
    return platform::waitUntil(
               this, [] { return false; }, ms) == platform::WaitResult::TimedOut;
}

void TfrmAsker::GetFTP(bool resume) {
    HandlerScope scope(*this);
    QPointer<TfrmAsker> self(this);
    const int attempt = ++ftpAttempt_;
    try {
        cancelled_ = false;
        failed_ = false;
        completionRun_ = false;
        setMainButton(true);
        Button2->setEnabled(false);
        SetDetailsState(false);

        const QString path = targetPath();
        if (path.isEmpty()) {
            failTransfer(
                QStringLiteral("The section \"%1\" has no folder on disk to put the file in.")
                    .arg(cbSection->currentText()));
            return;
        }
        const std::optional<download::FtpLocation> location = download::ftpLocation(URLDirectory);
        if (!location || FileName.isEmpty()) {
            failTransfer(
                QStringLiteral("%1 names no file on an FTP server.").arg(URLDirectory + FileName));
            return;
        }
        // A client still busy with an earlier attempt would refuse the login.
        if (ftp->State() != ftpReady || ftp->Connected()) {
            ftp->Abort();
            if (!waitForFtpReady())
                return;
        }
        ftp->LocalFileName = path;
        ftp->Passive = true;
        ftp->HostFileName = QUrl::fromPercentEncoding(FileName.toUtf8());
        ftp->HostName = location->host;
        ftp->Port = location->port;
        ftp->HostDirName = location->directory;
        ftp->UserName = location->user.isEmpty() ? QStringLiteral("anonymous") : location->user;
        ftp->PassWord = location->user.isEmpty() || location->password.isEmpty()
                            ? kAnonymousPassword
                            : location->password;

        // Binary applies to the TYPE command that the last step sends.
        ftp->Binary = true;
        // A refused step has already been reported by ftpRequestDone and aborted.
        for (bool (TFtpClient::*step)() :
             {&TFtpClient::Login, &TFtpClient::ChangeDir, &TFtpClient::SetType}) {
            (ftp->*step)();
            if (!self || cancelled_ || failed_ || attempt != ftpAttempt_)
                return;
            platform::processMessages();
            if (!self || cancelled_ || failed_)
                return;
        }

        ftpFinished_ = false;
        stats_.start(platform::tickCount());
        tmrDLSpeed->start();
        gActive->start();
        transferRunning_ = true;
        PageControl1->setCursor(Qt::BusyCursor);
        showStatistics();
        if (resume)
            ftp->ResumeRetrieve();
        else
            ftp->Retrieve();
        if (!self || attempt != ftpAttempt_ || !isVisible())
            return; // a restart nested in the wait has finished the download
        tmrDLSpeed->stop();
        transferRunning_ = false;
        PageControl1->unsetCursor();
        showStatistics();
        openWhenDone(path);

        platform::processMessages();
        if (!self)
            return;
        if (ftp->Connected() && ftp->State() == ftpReady) {
            try {
                ftp->Quit();
            } catch (const FtpException&) {
            }
            if (!self)
                return;
        }
        ftp->Abort();
        if (!waitForFtpReady() || !pumpFor(kQuitGraceMs))
            return;
        // "Auto-Exit when complete": only a complete file closes the dialog.
        if (!cancelled_ && completionRun_ && cbClose->isChecked() && !isDownloading() &&
            isVisible())
            Button2->click();
    } catch (const FtpException& e) {
        // A property the client refuses (a line break in a name, say) stops the transfer.
        if (self)
            failTransfer(e.Message());
    } catch (...) {
        if (self && attempt == ftpAttempt_)
            AbortDownload();
    }
}

void TfrmAsker::ftpDisplay(const QString& msg) {
    log(msg);
    if (msg.contains(QLatin1String("< 150"))) {
        stats_.ftpLine(msg);
        showStatistics();
    }
    if (msg.contains(QLatin1String("< 226")))
        EndDownload();
}

void TfrmAsker::ftpProgress(qint64 count) {
    const bool complete = stats_.ftpProgress(count);
    showStatistics();
    if (complete)
        FTPDone();
}

void TfrmAsker::ftpTransferEnded() {
    QPointer<TfrmAsker> self(this);
    if (!ftpFinished_ && !cancelled_) {
        // Without an announced size the file is complete when the server says so.
        if (stats_.end()) {
            showStatistics();
            FTPDone();
            if (!self)
                return;
        } else if (stats_.value() < stats_.maximum()) {
            log(QStringLiteral("Quillbay:  The transfer ended after %1 of %2 bytes; press "
                               "Download to resume")
                    .arg(stats_.value())
                    .arg(stats_.maximum()));
        }
    }
    // A server that ends the transfer with 250 instead of 226 ends it all the same.
    if (isDownloading())
        EndDownload();
}

void TfrmAsker::FTPDone() {
    if (ftpFinished_)
        return;
    QPointer<TfrmAsker> self(this);
    ftpFinished_ = true;
    completionRun_ = true;
    stats_.complete();
    tmrDLSpeed->stop();
    showStatistics();
    PageControl1->unsetCursor();
    if (!failed_) {
        bringToFront();
        completionNotice(ftp->LocalFileName);
        if (!self)
            return;
        platform::processMessages();
        if (!self)
            return;
    }
    ListBox1->setCurrentRow(ListBox1->count() - 1);
}

void TfrmAsker::ftpRequestDone(int request, int error) {
    QPointer<TfrmAsker> self(this);
    error &= 0xffff;
    if (error == 0) {
        if (isRetrieve(request))
            ftpTransferEnded();
        return;
    }
    // The file is complete by then; a refused goodbye changes nothing.
    if (request == ftpQuitAsync)
        return;
    failed_ = true;
    platform::processMessages();
    if (!self)
        return;
    if (error == 504 && request == ftpResumeRetrieveAsync) {
        log(QStringLiteral("Site does not permit download resuming."));
        const int answer = platform::messageBox(
            QStringLiteral("A partial copy of this file exists on your system already, however "
                           "this site does not permit download resuming.  Would you like to "
                           "restart the download from the beginning?"),
            QStringLiteral("Can't resume download"),
            platform::MB_YESNO | platform::MB_ICONQUESTION);
        if (!self)
            return;
        AbortDownload();
        if (!self || answer != platform::IDYES)
            return;
        platform::processMessages();
        if (!self || !waitForFtpReady())
            return;
        // The partial file stays until the server has accepted the new RETR.
        GetFTP(false);
        return;
    }
    log(QStringLiteral("FTP Error#%1 - last Response was: '%2'").arg(error).arg(ftp->LastReply()));
    failed_ = true;
    cancelled_ = true;
    AbortDownload();
}
