#pragma once

#include "FtpDataListener.h"
#include "FtpLocalFile.h"
#include "FtpReply.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

class QTimer;
class TWSocket;

// A request refused before it starts (busy client, missing property...).
class FtpException : public std::runtime_error {
public:
    explicit FtpException(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};

// The request that ended, as OnRequestDone reports it.
enum TFtpRequest {
    ftpNone,
    ftpLoginAsync,
    ftpChangeDirAsync,
    ftpSetTypeAsync,
    ftpRetrieveAsync,
    ftpResumeRetrieveAsync,
    ftpQuitAsync
};

// ftpReady is the only idle state.
enum TFtpState { ftpReady, ftpDnsLookup, ftpConnecting, ftpWaitingResponse, ftpAbort };

// Event-driven FTP client on two TWSockets: the control connection and the
// data connection. Each request sends one command or a fixed sequence of
// commands, checks every reply against the codes the command accepts, and
// ends with OnRequestDone(request, error), error 0 on success or the failing
// reply's code. OnRequestDone is posted, so a handler may start the next request.
//
// The blocking forms (Login, ChangeDir, ...) start the request and sleep in the
// event loop until it ends, so the caller's handlers (Abort included) run
// inside them. They give up after Timeout seconds without any reply or data
// ("426 Timeout"). They return true when the request ended without error.
//
// Every event receives the client first; a handler may call Abort, start a
// request from OnRequestDone, or pump messages.
class TFtpClient : public QObject {
    Q_OBJECT
public:
    explicit TFtpClient(QObject* parent = nullptr);
    ~TFtpClient() override;
    TFtpClient(const TFtpClient&) = delete;
    TFtpClient& operator=(const TFtpClient&) = delete;

    // Seconds a blocking call waits without a reply or data; 0 waits for ever.
    int Timeout = 15;
    // Kept for the callers' configuration; blocking calls always sleep on the event loop.
    bool MultiThreaded = false;
    QString HostName;
    // Port number or service name of the control connection.
    QString Port = QStringLiteral("21");
    QString UserName;
    QString PassWord;
    QString HostDirName;
    QString HostFileName;
    QString LocalFileName;
    // Adds the client's notes on the data connection to OnDisplay.
    bool DisplayFlag = false;
    // Passes received file data to OnDisplayFile as text.
    bool DisplayFileFlag = false;
    // TYPE I when true, TYPE A otherwise.
    bool Binary = false;
    TFtpShareMode ShareMode = ftpShareExclusive;
    // PASV (the client connects) instead of PORT (the server connects).
    bool Passive = false;

    QString ErrorMessage() const { return errorMessage_; }
    // The last line received on the control connection, or the client's own
    // "500 ..." line for a failed connection or local file.
    QString LastReply() const { return lastReply_; }
    int StatusCode() const { return statusCode_; }
    bool Connected() const { return connected_; }
    TFtpState State() const { return state_; }
    TFtpRequest RequestType() const { return request_; }
    // Bytes of the current (or last) transfer, and where it started in the local file.
    qint64 ByteCount() const { return byteCount_; }
    qint64 ResumePos() const { return resumePos_; }

    // Name lookup, connect, greeting, USER and, when asked for, PASS.
    bool Login() { return Run(&TFtpClient::LoginAsync); }
    bool ChangeDir() { return Run(&TFtpClient::ChangeDirAsync); }
    bool SetType() { return Run(&TFtpClient::SetTypeAsync); }
    // RETR into LocalFileName, replacing it once the server has accepted.
    bool Retrieve() { return Run(&TFtpClient::RetrieveAsync); }
    // REST with the local file's size (when it has any bytes) and RETR, appending after 350.
    bool ResumeRetrieve() { return Run(&TFtpClient::ResumeRetrieveAsync); }
    bool Quit() { return Run(&TFtpClient::QuitAsync); }
    void LoginAsync();
    void ChangeDirAsync();
    void SetTypeAsync();
    void RetrieveAsync();
    void ResumeRetrieveAsync();
    void QuitAsync();
    // Closes both connections and the local file and returns to ftpReady at
    // once; the request it interrupts ends without OnRequestDone.
    void Abort();

    std::function<void(TFtpClient&, const QString& msg)> OnDisplay;
    std::function<void(TFtpClient&, const QString& msg)> OnDisplayFile;
    std::function<void(TFtpClient&, const QString& command)> OnCommand;
    // After each complete reply; LastReply and StatusCode hold it.
    std::function<void(TFtpClient&)> OnResponse;
    // Count = bytes of the local file so far; set abort to stop the transfer.
    std::function<void(TFtpClient&, qint64 count, bool& abort)> OnProgress;
    std::function<void(TFtpClient&, int error)> OnSessionConnected;
    std::function<void(TFtpClient&, int error)> OnSessionClosed;
    std::function<void(TFtpClient&, TFtpRequest request, int error)> OnRequestDone;
    std::function<void(TFtpClient&)> OnStateChange;

private:
    enum class Step {
        None,
        Lookup,
        Connect,
        Greeting,
        User,
        Pass,
        Cwd,
        Type,
        Passive,
        Port,
        DataConnect,
        Rest,
        Retr,
        Quit
    };
    struct Waiter {
        quint64 serial;
        bool done = false;
        int error = 0;
    };

    template <typename Handler, typename... Args> bool Fire(const Handler& handler, Args&&... args);
    // Fires OnDisplay; false when its handler destroyed the client, aborted or started a request.
    bool Display(const QString& msg);
    // Fires OnStateChange on a change; false when its handler destroyed the client or
    // ended (or replaced) the request that was running.
    bool SetState(TFtpState state);

    // Requests (FtpCli.cpp).
    // Raises the FtpException that keeps a request from starting now.
    void CheckCanStart(const char* name, bool needsConnection);
    // Raises `emptyMessage` for an empty value, and refuses one with a line break.
    static void RequireValue(const QString& value, const char* emptyMessage, const char* property);
    // Starts numbering a request and enters `state`; false when a handler ended it at once.
    bool Begin(TFtpRequest request, TFtpState state);
    // Starts a request and waits for its end.
    bool Run(void (TFtpClient::*start)());
    bool Wait(quint64 serial);
    void RenewDeadline();
    void TimeoutCheck();
    void SendCommand(Step step, const QString& command);
    void EndRequest(int error);
    void RequestDoneEvent(quint64 serial);
    void FailReply(int code);
    void FailLocal(int code, const QString& text);
    void FailSocket(int error);
    static QString SocketErrorText(int error);

    // Control connection (FtpCli.cpp).
    void LookupDone(int error);
    void ControlConnected(int error);
    void ControlData();
    void ControlClosed(int error);
    void HandleLine(const QString& line);
    void ReplyDone(int code);

    // Data connection and local file (FtpCliTransfer.cpp).
    void StartTransfer(TFtpRequest request);
    void PassiveReply(int code);
    void DataConnected(int error);
    void DataAccepted(int fd);
    void SendRestOrRetr();
    void SendRetr();
    void RetrReply(int code);
    void BeginWriting();
    void DataAvailable();
    bool TakePiece(const char* data, qint64 len);
    bool WritePiece(const char* data, qint64 len);
    void TransferFailure(int code, const QString& text);
    void DataClosed(int error);
    void FinishTransferIfDone();
    void CloseTransfer(bool failed);

    TWSocket* control_;
    TWSocket* data_;
    std::unique_ptr<FtpDataListener> listener_;
    FtpLocalFile file_;
    QTimer* timeoutTimer_;

    TFtpState state_ = ftpReady;
    TFtpRequest request_ = ftpNone;
    Step step_ = Step::None;
    // Numbers the requests; a posted end or a waiter belongs to one of them.
    quint64 serial_ = 0;
    // Counts the aborts, so that code resumed after an event can tell one came.
    quint64 aborts_ = 0;
    bool donePending_ = false;
    int requestError_ = 0;
    QString errorMessage_;
    QString lastReply_;
    int statusCode_ = 0;
    bool connected_ = false;
    QByteArray lineBuffer_;
    bool controlTurnPosted_ = false;
    ftp::ReplyAssembler replies_;

    // The running transfer.
    bool transferActive_ = false;
    // Changes whenever a transfer ends, so that code resumed after an event can
    // tell that the transfer it worked on is gone.
    quint64 transferSerial_ = 0;
    qint64 restPos_ = 0;
    qint64 resumePos_ = 0;
    qint64 byteCount_ = 0;
    qint64 transferStart_ = 0;
    bool dataOpened_ = false;
    bool dataClosed_ = false;
    bool accepted_ = false;
    bool finalReply_ = false;
    int failureCode_ = 0;
    QString failureText_;
    // Data that came before the server accepted the transfer.
    QByteArray early_;
    QByteArray readBuffer_;

    // The blocking calls waiting, innermost last.
    std::vector<Waiter*> waiters_;
    // The last request that ended, for a blocking call whose request ended
    // before it began to wait.
    quint64 endedSerial_ = 0;
    int endedError_ = 0;
    qint64 deadline_ = 0;
};

template <typename Handler, typename... Args>
inline bool TFtpClient::Fire(const Handler& handler, Args&&... args) {
    if (!handler)
        return true;
    QPointer<TFtpClient> self(this);
    // A copy, so that a handler may replace itself.
    Handler call = handler;
    try {
        call(*this, std::forward<Args>(args)...);
    } catch (const std::exception& e) {
        qWarning("TFtpClient: an event handler failed: %s", e.what());
    } catch (...) {
        qWarning("TFtpClient: an event handler failed");
    }
    return !self.isNull();
}
