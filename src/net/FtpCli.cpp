#include "FtpCli.h"

#include "WSocket.h"
#include "WSocketErrors.h"
#include "platform/Clock.h"
#include "platform/MessageLoop.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <climits>

namespace {

// A control line longer than this is not FTP.
constexpr int kMaxLine = 64 * 1024;
// Reply lines handled per turn of the event loop: a server flooding the
// control connection cannot keep timers and the user interface waiting.
constexpr int kLinesPerTurn = 64;

} // namespace

TFtpClient::TFtpClient(QObject* parent)
    : QObject(parent), control_(new TWSocket(this)), data_(new TWSocket(this)),
      timeoutTimer_(new QTimer(this)) {
    timeoutTimer_->setSingleShot(true);
    connect(timeoutTimer_, &QTimer::timeout, this, [this] { TimeoutCheck(); });
    control_->OnDnsLookupDone = [this](TWSocket&, int error) { LookupDone(error); };
    control_->OnSessionConnected = [this](TWSocket&, int error) { ControlConnected(error); };
    control_->OnDataAvailable = [this](TWSocket&, int) { ControlData(); };
    control_->OnSessionClosed = [this](TWSocket&, int error) { ControlClosed(error); };
    data_->OnSessionConnected = [this](TWSocket&, int error) { DataConnected(error); };
    data_->OnDataAvailable = [this](TWSocket&, int) { DataAvailable(); };
    data_->OnSessionClosed = [this](TWSocket&, int error) { DataClosed(error); };
}

TFtpClient::~TFtpClient() {
    // A client going away fires no more events.
    for (TWSocket* socket : {control_, data_}) {
        socket->OnDnsLookupDone = nullptr;
        socket->OnSessionConnected = nullptr;
        socket->OnDataAvailable = nullptr;
        socket->OnSessionClosed = nullptr;
    }
    delete data_;
    delete control_;
    listener_.reset();
    if (transferActive_)
        file_.discardIfUnused();
}

bool TFtpClient::Display(const QString& msg) {
    const quint64 serial = serial_;
    const quint64 aborts = aborts_;
    return Fire(OnDisplay, msg) && serial_ == serial && aborts_ == aborts;
}

bool TFtpClient::SetState(TFtpState state) {
    if (state_ == state)
        return true;
    state_ = state;
    const quint64 serial = serial_;
    return Fire(OnStateChange) && serial_ == serial && state_ == state;
}

// ---- requests -------------------------------------------------------------

void TFtpClient::RequireValue(const QString& value, const char* emptyMessage,
                              const char* property) {
    if (value.isEmpty())
        throw FtpException(QString::fromLatin1(emptyMessage));
    // A line break would end the command early and smuggle in a command of its own.
    if (ftp::breaksCommandLine(value))
        throw FtpException(QStringLiteral("%1 contains a line break").arg(property));
}

void TFtpClient::CheckCanStart(const char* name, bool needsConnection) {
    if (state_ != ftpReady || donePending_)
        throw FtpException(QStringLiteral("FTP component not ready"));
    if (needsConnection && !connected_)
        throw FtpException(QStringLiteral("%1: not connected").arg(name));
    if (!needsConnection && connected_)
        throw FtpException(QStringLiteral("FTP component already connected"));
}

void TFtpClient::LoginAsync() {
    CheckCanStart("Login", false);
    RequireValue(UserName, "UserName emtpy", "UserName");
    RequireValue(PassWord, "Password emtpy", "PassWord");
    if (HostName.isEmpty())
        throw FtpException(QStringLiteral("HostName empty"));
    if (!Begin(ftpLoginAsync, ftpDnsLookup))
        return;
    step_ = Step::Lookup;
    try {
        control_->DnsLookup(HostName);
    } catch (const ESocketException& e) {
        FailLocal(500, QStringLiteral("500 ") + e.Message());
    }
}

void TFtpClient::ChangeDirAsync() {
    CheckCanStart("ChangeDir", true);
    RequireValue(HostDirName, "HostDirName emtpy", "HostDirName");
    if (!Begin(ftpChangeDirAsync, ftpWaitingResponse))
        return;
    SendCommand(Step::Cwd, QStringLiteral("CWD ") + HostDirName);
}

void TFtpClient::SetTypeAsync() {
    CheckCanStart("SetType", true);
    if (!Begin(ftpSetTypeAsync, ftpWaitingResponse))
        return;
    SendCommand(Step::Type, Binary ? QStringLiteral("TYPE I") : QStringLiteral("TYPE A"));
}

void TFtpClient::RetrieveAsync() {
    CheckCanStart("Retrieve", true);
    StartTransfer(ftpRetrieveAsync);
}

void TFtpClient::ResumeRetrieveAsync() {
    CheckCanStart("ResumeRetrieve", true);
    StartTransfer(ftpResumeRetrieveAsync);
}

void TFtpClient::QuitAsync() {
    CheckCanStart("Quit", true);
    if (!Begin(ftpQuitAsync, ftpWaitingResponse))
        return;
    SendCommand(Step::Quit, QStringLiteral("QUIT"));
}

bool TFtpClient::Run(void (TFtpClient::*start)()) {
    QPointer<TFtpClient> self(this);
    (this->*start)();
    if (!self)
        return false; // a handler run by the start destroyed the client
    return Wait(serial_);
}

bool TFtpClient::Begin(TFtpRequest request, TFtpState state) {
    request_ = request;
    ++serial_;
    requestError_ = 0;
    errorMessage_.clear();
    return SetState(state);
}

bool TFtpClient::Wait(quint64 serial) {
    if (endedSerial_ == serial)
        return endedError_ == 0; // it ended while its start ran the caller's handlers
    Waiter waiter{serial};
    waiters_.push_back(&waiter);
    RenewDeadline();
    // A timer left by an earlier wait with a longer Timeout must not delay this one.
    const int interval = int(qMin<qint64>(qint64(Timeout) * 1000, INT_MAX));
    if (Timeout > 0 && (!timeoutTimer_->isActive() || timeoutTimer_->remainingTime() > interval))
        timeoutTimer_->start(interval);
    const auto result = platform::waitUntil(this, [&waiter] { return waiter.done; });
    if (result == platform::WaitResult::Destroyed)
        return false;
    if (result == platform::WaitResult::Ending && !waiter.done) {
        // The program is ending: the request is dropped, nothing is waited for.
        waiters_.erase(std::remove(waiters_.begin(), waiters_.end(), &waiter), waiters_.end());
        QPointer<TFtpClient> self(this);
        Abort();
        if (self) {
            errorMessage_ = lastReply_ = QStringLiteral("426 The program is ending");
            statusCode_ = 426;
        }
        return false;
    }
    waiters_.erase(std::remove(waiters_.begin(), waiters_.end(), &waiter), waiters_.end());
    return waiter.done && waiter.error == 0;
}

void TFtpClient::RenewDeadline() {
    deadline_ = platform::tickCount() + qint64(Timeout) * 1000;
}

void TFtpClient::TimeoutCheck() {
    // Only a blocking call times out, and only while its request runs.
    if (waiters_.empty() || Timeout <= 0 || step_ == Step::None)
        return;
    const qint64 left = deadline_ - platform::tickCount();
    if (left > 0) {
        timeoutTimer_->start(int(qMin<qint64>(left, INT_MAX)));
        return;
    }
    errorMessage_ = lastReply_ = QStringLiteral("426 Timeout");
    statusCode_ = 426;
    EndRequest(426);
    control_->CancelLookup();
    control_->Close();
}

void TFtpClient::SendCommand(Step step, const QString& command) {
    step_ = step;
    if (!SetState(ftpWaitingResponse) || step_ != step)
        return;
    const quint64 serial = serial_;
    try {
        control_->SendStr(command.toUtf8() + "\r\n");
    } catch (const ESocketException&) {
        if (serial_ == serial && step_ != Step::None)
            FailSocket(control_->LastError());
        return;
    }
    // The password stays off the screen and out of copied logs.
    const QString shown =
        command.startsWith(QLatin1String("PASS ")) ? QStringLiteral("PASS ********") : command;
    if (!Display(QStringLiteral("> ") + shown))
        return;
    Fire(OnCommand, command);
}

void TFtpClient::EndRequest(int error) {
    if (donePending_)
        return;
    requestError_ = error;
    step_ = Step::None;
    if (transferActive_)
        CloseTransfer(error != 0);
    donePending_ = true;
    const quint64 serial = serial_;
    // Posted, so that OnRequestDone runs outside the socket event that ended
    // the request and its handler may start the next one.
    QMetaObject::invokeMethod(
        this, [this, serial] { RequestDoneEvent(serial); }, Qt::QueuedConnection);
}

void TFtpClient::RequestDoneEvent(quint64 serial) {
    if (!donePending_ || serial != serial_)
        return;
    donePending_ = false;
    const TFtpRequest request = request_;
    const int error = requestError_;
    endedSerial_ = serial;
    endedError_ = error;
    for (Waiter* waiter : waiters_) {
        if (waiter->serial == serial) {
            waiter->done = true;
            waiter->error = error;
        }
    }
    QPointer<TFtpClient> self(this);
    SetState(ftpReady);
    if (self)
        Fire(OnRequestDone, request, error);
}

void TFtpClient::FailReply(int code) {
    errorMessage_ = lastReply_;
    EndRequest(code);
}

void TFtpClient::FailLocal(int code, const QString& text) {
    errorMessage_ = lastReply_ = text;
    statusCode_ = code;
    EndRequest(code);
}

QString TFtpClient::SocketErrorText(int error) {
    return QStringLiteral("%1 (Winsock error #%2)").arg(WSocketErrorDesc(error)).arg(error);
}

void TFtpClient::FailSocket(int error) {
    FailLocal(500, QStringLiteral("500 ") + SocketErrorText(error));
}

void TFtpClient::Abort() {
    ++aborts_;
    const quint64 serial = serial_;
    const bool interrupted = state_ != ftpReady || donePending_;
    QPointer<TFtpClient> self(this);
    SetState(ftpAbort);
    if (!self)
        return;
    step_ = Step::None;
    donePending_ = false;
    if (transferActive_)
        CloseTransfer(true);
    control_->CancelLookup();
    lineBuffer_.clear();
    replies_.reset();
    control_->Close();
    if (!self)
        return;
    connected_ = false;
    if (interrupted) {
        endedSerial_ = serial;
        endedError_ = 426;
        for (Waiter* waiter : waiters_) {
            if (waiter->serial == serial) {
                waiter->done = true;
                waiter->error = 426;
            }
        }
    }
    SetState(ftpReady);
}

// ---- control connection -----------------------------------------------------

void TFtpClient::LookupDone(int error) {
    if (step_ != Step::Lookup)
        return;
    RenewDeadline();
    if (error) {
        FailSocket(error);
        return;
    }
    step_ = Step::Connect;
    if (!SetState(ftpConnecting) || step_ != Step::Connect)
        return;
    try {
        control_->SetAddr(control_->DnsResult());
        control_->SetPort(Port);
        control_->Connect();
    } catch (const ESocketException& e) {
        if (e.Message().startsWith(QLatin1String("Error ")) && control_->LastError())
            FailSocket(control_->LastError());
        else
            FailLocal(500, QStringLiteral("500 ") + e.Message());
    }
}

void TFtpClient::ControlConnected(int error) {
    if (step_ != Step::Connect)
        return;
    RenewDeadline();
    if (!error) {
        connected_ = true;
        step_ = Step::Greeting;
        if (!SetState(ftpWaitingResponse) || step_ != Step::Greeting)
            return;
    }
    const quint64 serial = serial_;
    if (!Fire(OnSessionConnected, error))
        return;
    if (error && serial_ == serial && step_ == Step::Connect)
        FailSocket(error);
}

void TFtpClient::ControlData() {
    QPointer<TFtpClient> self(this);
    char buffer[4096];
    int lines = 0;
    for (;;) {
        int lf;
        while ((lf = lineBuffer_.indexOf('\n')) >= 0) {
            if (lines++ == kLinesPerTurn) {
                // The rest waits for the next turn; other events run first.
                if (!controlTurnPosted_) {
                    controlTurnPosted_ = true;
                    QMetaObject::invokeMethod(
                        this,
                        [this] {
                            controlTurnPosted_ = false;
                            ControlData();
                        },
                        Qt::QueuedConnection);
                }
                return;
            }
            QByteArray line = lineBuffer_.left(lf);
            lineBuffer_.remove(0, lf + 1);
            if (line.endsWith('\r'))
                line.chop(1);
            HandleLine(QString::fromUtf8(line));
            if (!self)
                return;
        }
        if (lineBuffer_.size() > kMaxLine) {
            lineBuffer_.clear();
            if (step_ != Step::None)
                FailLocal(500, QStringLiteral("500 Reply line too long"));
            control_->Close();
            return;
        }
        if (control_->State() != wsConnected)
            return;
        const qint64 n = control_->Receive(buffer, sizeof buffer);
        if (n <= 0)
            return;
        lineBuffer_.append(buffer, int(n));
    }
}

void TFtpClient::HandleLine(const QString& line) {
    lastReply_ = line;
    if (!Display(QStringLiteral("< ") + line))
        return;
    if (!replies_.addLine(line))
        return; // not progress: an endless multi-line reply must still time out
    RenewDeadline();
    if (replies_.code() < 100 || replies_.code() > 599) {
        // "000 OK" is no answer at all; the server is not speaking FTP.
        if (step_ != Step::None && !donePending_) {
            FailLocal(500, QStringLiteral("500 Not an FTP reply: ") + line.left(200));
            control_->Close();
        }
        return;
    }
    statusCode_ = replies_.code();
    const quint64 serial = serial_;
    const Step step = step_;
    if (!Fire(OnResponse) || serial_ != serial || step_ != step)
        return;
    ReplyDone(statusCode_);
}

void TFtpClient::ReplyDone(int code) {
    const auto accept = [&](std::initializer_list<int> codes) {
        if (std::find(codes.begin(), codes.end(), code) != codes.end()) {
            EndRequest(0);
        } else {
            FailReply(code);
        }
    };
    switch (step_) {
    case Step::Greeting:
        if (code >= 100 && code < 200)
            return; // "ready in a few minutes": the greeting itself follows
        if (code != 220)
            return FailReply(code);
        return SendCommand(Step::User, QStringLiteral("USER ") + UserName);
    case Step::User:
        if (code == 230)
            return EndRequest(0);
        if (code != 331)
            return FailReply(code);
        return SendCommand(Step::Pass, QStringLiteral("PASS ") + PassWord);
    case Step::Pass:
        return accept({230});
    case Step::Cwd:
        return accept({200, 250, 257});
    case Step::Type:
        return accept({200});
    case Step::Quit:
        return accept({221});
    case Step::Passive:
        return PassiveReply(code);
    case Step::Port:
        if (code != 200)
            return FailReply(code);
        return SendRestOrRetr();
    case Step::Rest:
        if (code != 350)
            return FailReply(code);
        resumePos_ = restPos_;
        return SendRetr();
    case Step::Retr:
        return RetrReply(code);
    case Step::DataConnect:
        // Nothing is asked while the data connection opens; only a failure means anything.
        if (code >= 400)
            FailReply(code);
        return;
    case Step::None:
    case Step::Lookup:
    case Step::Connect:
        return;
    }
}

void TFtpClient::ControlClosed(int error) {
    connected_ = false;
    lineBuffer_.clear();
    replies_.reset();
    const quint64 serial = serial_;
    if (!Fire(OnSessionClosed, error) || serial_ != serial)
        return;
    if (step_ == Step::None || donePending_)
        return;
    if (step_ == Step::Quit)
        return EndRequest(0);
    if (step_ == Step::Retr && finalReply_)
        return; // the transfer was complete; it ends when its data connection does
    if (error)
        FailSocket(error);
    else
        FailLocal(500, QStringLiteral("500 Connection closed by the server"));
}
