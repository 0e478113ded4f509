// The data side of TFtpClient: data connection set-up, REST and RETR, and the
// local file the received bytes go to.
#include "FtpCli.h"

#include "WSocket.h"
#include "platform/Clock.h"

#include <QPointer>

#include <unistd.h>

namespace {

// One read of the data connection: large reads keep the cost per byte low.
constexpr qint64 kReadSize = 256 * 1024;
// Data taken per readiness event before other events get their turn.
constexpr qint64 kReadBudget = 4 * 1024 * 1024;
// Data a server may send before it has accepted the transfer.
constexpr qint64 kEarlyLimit = 16 * 1024 * 1024;

} // namespace

void TFtpClient::StartTransfer(TFtpRequest request) {
    if (LocalFileName.isEmpty())
        throw FtpException(QStringLiteral("LocalFileName empty"));
    RequireValue(HostFileName, "HostFileName empty", "HostFileName");
    if (!Begin(request, ftpWaitingResponse))
        return;
    data_->Close();
    transferActive_ = true;
    ++transferSerial_;
    dataOpened_ = dataClosed_ = accepted_ = finalReply_ = false;
    failureCode_ = 0;
    failureText_.clear();
    early_.clear();
    byteCount_ = resumePos_ = restPos_ = 0;
    // Opened now, so that an unusable local file is found before anything is
    // asked of the server; nothing in it changes until the server accepts.
    if (!file_.open(LocalFileName, ShareMode)) {
        FailLocal(550, QStringLiteral("550 ") + file_.errorString());
        return;
    }
    if (request == ftpResumeRetrieveAsync)
        restPos_ = file_.size();
    readBuffer_.resize(kReadSize);

    const QString peer = control_->GetPeerAddr();
    const bool v6 = peer.contains(QLatin1Char(':'));
    if (Passive) {
        SendCommand(Step::Passive, v6 ? QStringLiteral("EPSV") : QStringLiteral("PASV"));
        return;
    }
    const QString local = control_->GetXAddr();
    listener_ = std::make_unique<FtpDataListener>();
    if (!listener_->listen(local, peer, [this](int fd) { DataAccepted(fd); })) {
        FailLocal(500, QStringLiteral("500 ") + listener_->errorString());
        return;
    }
    const quint16 port = listener_->port();
    if (DisplayFlag &&
        !Display(QStringLiteral("! Waiting for the data connection on %1:%2").arg(local).arg(port)))
        return;
    SendCommand(Step::Port, v6 ? QStringLiteral("EPRT ") + ftp::extendedPortArgument(local, port)
                               : QStringLiteral("PORT ") + ftp::portArgument(local, port));
}

void TFtpClient::PassiveReply(int code) {
    const QString peer = control_->GetPeerAddr();
    const bool v6 = peer.contains(QLatin1Char(':'));
    if (v6 ? code != 229 : code != 227 && code != 200)
        return FailReply(code);
    // Only the port is taken from the reply: the data connection goes to the
    // server we are talking to, never to an address the server names.
    const quint16 port = v6 ? ftp::extendedPassivePort(lastReply_) : ftp::passivePort(lastReply_);
    if (port == 0)
        return FailLocal(500, QStringLiteral("500 No data port in the reply: ") + lastReply_);
    step_ = Step::DataConnect;
    if (DisplayFlag && !Display(QStringLiteral("! Data connection to %1:%2").arg(peer).arg(port)))
        return;
    try {
        data_->SetAddr(peer);
        data_->SetPort(QString::number(port));
        data_->Connect();
    } catch (const ESocketException& e) {
        if (data_->LastError())
            FailSocket(data_->LastError());
        else
            FailLocal(500, QStringLiteral("500 ") + e.Message());
    }
}

void TFtpClient::DataConnected(int error) {
    if (!transferActive_ || step_ != Step::DataConnect)
        return;
    RenewDeadline();
    if (error)
        return FailSocket(error);
    dataOpened_ = true;
    SendRestOrRetr();
}

void TFtpClient::DataAccepted(int fd) {
    if (!transferActive_) {
        ::close(fd);
        return;
    }
    RenewDeadline();
    try {
        data_->Dup(fd);
    } catch (const ESocketException&) {
        return FailSocket(data_->LastError());
    }
    dataOpened_ = true;
    if (DisplayFlag)
        Display(QStringLiteral("! Data connection from %1").arg(data_->GetPeerAddr()));
}

void TFtpClient::SendRestOrRetr() {
    if (request_ == ftpResumeRetrieveAsync && restPos_ > 0)
        SendCommand(Step::Rest, QStringLiteral("REST %1").arg(restPos_));
    else
        SendRetr();
}

void TFtpClient::SendRetr() {
    transferStart_ = platform::tickCount();
    SendCommand(Step::Retr, QStringLiteral("RETR ") + HostFileName);
}

void TFtpClient::RetrReply(int code) {
    if (code == 125 || code == 150) {
        if (!accepted_ && !failureCode_)
            BeginWriting();
        return;
    }
    if (code >= 100 && code < 200)
        return; // a mark; the real answer follows
    if (failureCode_ || code == 226 || code == 250) {
        // After a local failure any answer ends the transfer: the failure is what counts.
        QPointer<TFtpClient> self(this);
        const quint64 transfer = transferSerial_;
        if (!accepted_ && !failureCode_) {
            BeginWriting();
            if (!self || transferSerial_ != transfer)
                return;
        }
        // The server connected before it could send a byte, let alone report the end:
        // its connection waits to be accepted even when its event has not come yet.
        if (!dataOpened_ && listener_) {
            listener_->acceptWaiting();
            if (!self || transferSerial_ != transfer)
                return;
        }
        finalReply_ = true;
        FinishTransferIfDone();
        return;
    }
    FailReply(code);
}

void TFtpClient::BeginWriting() {
    accepted_ = true;
    if (!file_.begin(resumePos_)) {
        const quint64 transfer = transferSerial_;
        if (!Display(QStringLiteral("! Error writing local file")) || transferSerial_ != transfer)
            return;
        return TransferFailure(426, QStringLiteral("426 ") + file_.errorString());
    }
    if (!early_.isEmpty()) {
        const QByteArray early = early_;
        early_.clear();
        WritePiece(early.constData(), early.size());
    }
}

void TFtpClient::DataAvailable() {
    QPointer<TFtpClient> self(this);
    const quint64 transfer = transferSerial_;
    for (qint64 budget = kReadBudget; budget > 0;) {
        if (readBuffer_.size() < kReadSize)
            readBuffer_.resize(kReadSize);
        const qint64 n = data_->Receive(readBuffer_.data(), readBuffer_.size());
        if (n <= 0)
            return;
        budget -= n;
        if (!transferActive_)
            continue; // stray data after the end: read and dropped
        if (!TakePiece(readBuffer_.constData(), n) || !self || transferSerial_ != transfer)
            return;
    }
}

bool TFtpClient::TakePiece(const char* data, qint64 len) {
    RenewDeadline();
    if (failureCode_)
        return false;
    if (!accepted_) {
        if (early_.size() + len > kEarlyLimit) {
            TransferFailure(426, QStringLiteral("426 Data came before the transfer was accepted"));
            return false;
        }
        early_.append(data, int(len));
        return true;
    }
    return WritePiece(data, len);
}

bool TFtpClient::WritePiece(const char* data, qint64 len) {
    const quint64 transfer = transferSerial_;
    if (!file_.write(data, len)) {
        if (!Display(QStringLiteral("! Error writing local file")) || transferSerial_ != transfer)
            return false;
        TransferFailure(426, QStringLiteral("426 ") + file_.errorString());
        return false;
    }
    byteCount_ += len;
    if (DisplayFileFlag && OnDisplayFile &&
        (!Fire(OnDisplayFile, QString::fromLocal8Bit(data, int(len))) ||
         transferSerial_ != transfer))
        return false;
    bool abort = false;
    if (!Fire(OnProgress, byteCount_ + resumePos_, abort) || transferSerial_ != transfer)
        return false;
    if (abort) {
        if (!Display(QStringLiteral("! Abort requested")) || transferSerial_ != transfer)
            return false;
        TransferFailure(426, QStringLiteral("426 Transfer aborted on request"));
        return false;
    }
    return true;
}

void TFtpClient::TransferFailure(int code, const QString& text) {
    if (!failureCode_) {
        failureCode_ = code;
        failureText_ = text;
    }
    // The server notices the closed data connection and answers RETR; the
    // request ends with that answer, so that the control connection stays in step.
    listener_.reset();
    dataClosed_ = true;
    early_.clear();
    data_->Close();
    FinishTransferIfDone();
}

void TFtpClient::DataClosed(int error) {
    if (!transferActive_ || dataClosed_)
        return;
    RenewDeadline();
    dataClosed_ = true;
    if (error && !failureCode_) {
        const quint64 transfer = transferSerial_;
        if (!Display(QStringLiteral("! Data: Receive error")) || transferSerial_ != transfer)
            return;
        failureCode_ = 426;
        failureText_ = QStringLiteral("426 Data: ") + SocketErrorText(error);
    }
    FinishTransferIfDone();
}

void TFtpClient::FinishTransferIfDone() {
    if (!transferActive_ || !finalReply_ || (dataOpened_ && !dataClosed_))
        return;
    if (!dataOpened_ && !failureCode_) {
        // "Complete" without a data connection: whatever the file should hold never came.
        failureCode_ = 425;
        failureText_ = QStringLiteral("425 Transfer reported complete without a data connection");
    }
    const quint64 transfer = transferSerial_;
    if (!Display(ftp::transferSummary(byteCount_, platform::tickCount() - transferStart_)) ||
        transferSerial_ != transfer)
        return;
    if (failureCode_)
        FailLocal(failureCode_, failureText_);
    else
        EndRequest(0);
}

void TFtpClient::CloseTransfer(bool failed) {
    transferActive_ = false;
    ++transferSerial_;
    listener_.reset();
    data_->Close();
    if (failed)
        file_.discardIfUnused();
    file_.close();
    early_ = QByteArray();
    readBuffer_ = QByteArray();
    resumePos_ = restPos_ = 0;
}
