// How the download dialog runs one transfer through the download engine and turns the
// engine's end state into what the user sees: the notice for a whole file, a log line
// for a failure, a question before anything on disk is replaced.

#include "download/TfrmAsker.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "library/DownloadEngine.h"
#include "net/FtpCli.h"
#include "net/HttpCli.h"
#include "platform/Dialogs.h"
#include "platform/MessageLoop.h"
#include "widgets/TActivityBar.h"

namespace {

// The instruments follow the bytes at this rate; faster only costs the transfer time.
constexpr int kDisplayIntervalMs = 100;
constexpr int kSilentServerSeconds = 30;

} // namespace

void TfrmAsker::runEngine(download::DownloadJob job) {
    QPointer<TfrmAsker> self(this);
    completionRun_ = false;
    cancelled_ = false;
    target_ = targetPath();
    if (target_.isEmpty()) {
        failTransfer(QStringLiteral("The section \"%1\" has no folder on disk to put the file in.")
                         .arg(cbSection->currentText()));
        return;
    }
    job.target = target_;
    // A server that falls silent ends the transfer instead of holding the dialog.
    job.timeout = kSilentServerSeconds;
    // A source the user typed or picked may name another file than the one on disk.
    if (job.existing == download::ExistingFile::Resume && sourceEdited())
        job.existing = download::ExistingFile::Ask;
    tmrDLSpeed->start();
    gActive->start();
    transferRunning_ = true;
    paintClock_.invalidate();
    showStatistics();
    const download::EngineState state = engine_->run(job);
    if (!self)
        return;
    tmrDLSpeed->stop();
    transferRunning_ = false;
    switch (state) {
    case download::EngineState::Complete:
        completionRun_ = true;
        filledSource_ = edtSource->currentText().trimmed();
        if (engine_->isFtp())
            FTPDone();
        else
            HttpDone();
        if (!self)
            return;
        EndDownload();
        openWhenDone(target_);
        return;
    case download::EngineState::Redirected:
        // The redirect timer starts the download again at the new URL.
        cancelled_ = true;
        tmrRedirect->start();
        showStatistics();
        return;
    case download::EngineState::Declined:
        AbortDownload();
        if (self)
            EndDownload();
        return;
    case download::EngineState::Aborted:
        if (!engine_->failure().isEmpty())
            log(engine_->failure());
        if (isDownloading())
            AbortDownload();
        return;
    case download::EngineState::Failed:
        reportFailure();
        return;
    case download::EngineState::Idle:
    case download::EngineState::Probing:
    case download::EngineState::Connecting:
    case download::EngineState::Fetching:
        break;
    }
    AbortDownload();
}

void TfrmAsker::reportFailure() {
    QPointer<TfrmAsker> self(this);
    const QString line = engine_->failure();
    switch (engine_->failedStep()) {
    case download::FailedStep::Probe:
        log(line);
        bringToFront();
        platform::showMessage(QStringLiteral("Download Failed\r\rServer Response : %1 \"%2\"")
                                  .arg(engine_->failureCode())
                                  .arg(engine_->failureReason()));
        if (self)
            AbortDownload();
        return;
    case download::FailedStep::Ftp:
        // ftpRequestDone has logged the refusal itself.
        if (!line.startsWith(QLatin1String("FTP Error#")))
            log(line);
        cancelled_ = true;
        AbortDownload();
        return;
    case download::FailedStep::Transfer:
    case download::FailedStep::None:
        break;
    }
    log(line);
    gActive->stop();
    PageControl1->unsetCursor();
    if (engine_->failureCode() != 0) {
        // The server refused the GET: the dialog waits for Abort, as after any failed GET.
        showStatistics();
        return;
    }
    // Cut short or unwritable: what arrived stays on disk, and Download resumes it.
    EndDownload();
}

bool TfrmAsker::sourceEdited() const {
    const QString source = edtSource->currentText().trimmed();
    return !source.isEmpty() && source != filledSource_;
}

bool TfrmAsker::askReplace(download::Question question) {
    QPointer<TfrmAsker> self(this);
    bringToFront();
    int answer = platform::IDNO;
    switch (question) {
    case download::Question::CompleteExists:
        answer = platform::messageBox(
            QStringLiteral("Complete file exists already, would you like to re-download?"),
            QStringLiteral("File Exists"),
            platform::MB_YESNO | platform::MB_ICONQUESTION | platform::MB_DEFBUTTON2);
        break;
    case download::Question::OtherSource:
        answer = platform::messageBox(
            QStringLiteral("A file named \"%1\" is already in this folder, and it may not come "
                           "from %2.\r\rWould you like to replace it with this download?  No "
                           "keeps the file as it is.")
                .arg(edtName->text(), engine_->url()),
            QStringLiteral("File Exists"),
            platform::MB_YESNO | platform::MB_ICONQUESTION | platform::MB_DEFBUTTON2);
        break;
    case download::Question::RestartFromZero:
        answer = platform::messageBox(
            QStringLiteral("A partial copy of this file exists on your system already, however "
                           "this site does not permit download resuming.  Would you like to "
                           "restart the download from the beginning?"),
            QStringLiteral("Can't resume download"),
            platform::MB_YESNO | platform::MB_ICONQUESTION);
        break;
    }
    return self && answer == platform::IDYES;
}

void TfrmAsker::handlerFailed(const std::exception& e) {
    QPointer<TfrmAsker> self(this);
    const QString text = QString::fromLocal8Bit(e.what());
    log(QStringLiteral("Failed : ") + text);
    engine_->abort();
    platform::errorBox(text);
    if (self)
        AbortDownload();
}

void TfrmAsker::showStatisticsNowAndThen() {
    if (paintClock_.isValid() && paintClock_.elapsed() < kDisplayIntervalMs)
        return;
    paintClock_.start();
    showStatistics();
}

void TfrmAsker::HttpDone() {
    engine_->stats().complete();
    showStatistics();
    log(QStringLiteral("Received %1 bytes").arg(QFileInfo(target_).size()));
    PageControl1->unsetCursor();
    bringToFront();
    completionNotice(target_);
}

void TfrmAsker::failTransfer(const QString& reason) {
    QPointer<TfrmAsker> self(this);
    log(QStringLiteral("Failed : ") + reason);
    bringToFront();
    platform::showMessage(QStringLiteral("Download Failed\r\r") + reason);
    if (self)
        AbortDownload();
}
