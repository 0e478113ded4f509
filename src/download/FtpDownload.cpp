// The FTP side of the download dialog: it starts the download engine on an ftp URL (the
// engine logs in, changes to the file's directory and resumes a partial file) and shows
// the lines and progress the engine reports.

#include "download/TfrmAsker.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>

#include "library/DownloadEngine.h"
#include "net/FtpCli.h"
#include "platform/MessageLoop.h"

namespace {

// Time the server gets to see the connection go before an auto-exit closes the dialog.
constexpr int kQuitGraceMs = 500;

} // namespace

void TfrmAsker::wireFtp() {
    ftp->MultiThreaded = true;
    ftp->DisplayFlag = false;
    ftp->DisplayFileFlag = false;
    ftp->Binary = false;
    engine_->OnFtpLine = [this](const QString& msg) { ftpDisplay(msg); };
    engine_->OnFtpRequestDone = [this](int request, int error) { ftpRequestDone(request, error); };
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
    try {
        cancelled_ = false;
        setMainButton(true);
        Button2->setEnabled(false);
        SetDetailsState(false);
        download::DownloadJob job;
        job.url = URLDirectory + FileName;
        if (!resume)
            job.existing = download::ExistingFile::Replace;
        runEngine(job);
        if (!self || !completionRun_)
            return;
        if (!pumpFor(kQuitGraceMs))
            return;
        // "Auto-Exit when complete": only a complete file closes the dialog.
        if (!cancelled_ && cbClose->isChecked() && !isDownloading() && isVisible())
            Button2->click();
    } catch (const std::exception& e) {
        if (self)
            handlerFailed(e);
    }
}

void TfrmAsker::ftpDisplay(const QString& msg) {
    log(msg);
}

void TfrmAsker::ftpProgress(qint64 /*count*/) {
    showStatisticsNowAndThen();
}

void TfrmAsker::ftpRequestDone(int request, int error) {
    // The engine decides what a refusal means; the log shows every one of them, except
    // the refused restart point, which has a question of its own.
    if (error == 0 || request == ftpQuitAsync)
        return;
    if (error == 504 && request == ftpResumeRetrieveAsync)
        return;
    log(QStringLiteral("FTP Error#%1 - last Response was: '%2'").arg(error).arg(ftp->LastReply()));
}

void TfrmAsker::FTPDone() {
    QPointer<TfrmAsker> self(this);
    engine_->stats().complete();
    showStatistics();
    PageControl1->unsetCursor();
    bringToFront();
    completionNotice(target_);
    if (!self)
        return;
    platform::processMessages();
    if (!self)
        return;
    ListBox1->setCurrentRow(ListBox1->count() - 1);
}
